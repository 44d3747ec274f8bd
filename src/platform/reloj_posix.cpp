#include <ctime>

#include "platform/reloj.h"

namespace reloj {

archivos::FechaHora Ahora() {
    const std::time_t ahora = std::time(nullptr);
    std::tm t{};
    localtime_r(&ahora, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace reloj
