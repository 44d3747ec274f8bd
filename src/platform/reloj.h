#pragma once
// Wall-clock time of day, for file names and stamps. Waits use std::chrono::steady_clock instead.

#include "platform/archivos.h"

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
