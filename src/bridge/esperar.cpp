#include "bridge/esperar.h"

#include <chrono>
#include <thread>

void EsperadorReal::Esperar(std::int32_t msEspera) {
    if (msEspera <= 0) return;
    using reloj = std::chrono::steady_clock;
    const auto fin = reloj::now() + std::chrono::milliseconds(msEspera);
    // A sleep may end early (a coarse system timer, a signal); sleep again for what is left.
    for (auto ahora = reloj::now(); ahora < fin; ahora = reloj::now()) std::this_thread::sleep_for(fin - ahora);
}
