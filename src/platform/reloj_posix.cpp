#include <ctime>

#include "platform/reloj.h"

namespace reloj {

namespace {

archivos::FechaHora Local(std::time_t segundos) {
    std::tm t{};
    localtime_r(&segundos, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

// One clock for both: std::time reads a coarse copy of it that lags by up to a
// scheduler tick, so a second stamped with it could come before one already
// stamped with milliseconds.
timespec Reloj() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return ts;
}

}  // namespace

archivos::FechaHora Ahora() { return Local(Reloj().tv_sec); }

FechaHoraMs AhoraConMs() {
    const timespec ts = Reloj();
    return {Local(ts.tv_sec), static_cast<int>(ts.tv_nsec / 1000000)};
}

}  // namespace reloj
