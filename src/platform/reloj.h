#pragma once
// Wall-clock time of day, for file names and stamps. Waits use std::chrono::steady_clock instead.

#include "platform/archivos.h"

namespace reloj {

// The current local date and time, to the second.
archivos::FechaHora Ahora();

}  // namespace reloj
