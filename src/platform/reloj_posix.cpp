#include <ctime>

#include "platform/reloj.h"

namespace reloj {

namespace {

archivos::FechaHora Local(std::time_t segundos) {
    std::tm t{};
    localtime_r(&segundos, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace

archivos::FechaHora Ahora() { return Local(std::time(nullptr)); }

FechaHoraMs AhoraConMs() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return {Local(ts.tv_sec), static_cast<int>(ts.tv_nsec / 1000000)};
}

}  // namespace reloj
