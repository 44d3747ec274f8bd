#include "bridge/esperar.h"

#include <chrono>

std::int64_t EsperadorReal::AhoraMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}
