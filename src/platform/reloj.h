#pragma once
// Wall-clock time of day, for file names and stamps. Waits use std::chrono::steady_clock instead.

#include <functional>

#include "platform/archivos.h"

// Local wall-clock time as a value to pass around: the program reads the system clock, tests set the
// hour.
using RelojLocal = std::function<archivos::FechaHora()>;

namespace reloj {

// Local wall-clock time with the millisecond, for the stamps of the activity log.
struct FechaHoraMs {
    archivos::FechaHora fecha;
    int milisegundo = 0;
    friend bool operator==(const FechaHoraMs&, const FechaHoraMs&) = default;
};

// The current local date and time, to the second.
archivos::FechaHora Ahora();

// The current local date and time, to the millisecond.
FechaHoraMs AhoraConMs();

}  // namespace reloj
