#include <gtest/gtest.h>

#include <chrono>

#include "bridge/esperar.h"

namespace {

using reloj = std::chrono::steady_clock;

long long MsDesde(reloj::time_point inicio) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(reloj::now() - inicio).count();
}

// The wait's lower bound is the contract the exchange relies on (the client gets at least that
// long to write its files); how much later it returns depends on the machine, so it is not asserted.
TEST(Esperar, ReturnsNoEarlierThanAsked) {
    EsperadorReal esperador;
    for (int ms : {1, 15, 120}) {
        const auto inicio = reloj::now();
        esperador.Esperar(ms);
        EXPECT_GE(MsDesde(inicio), ms) << "Esperar(" << ms << ")";
    }
}

TEST(Esperar, ZeroAndNegativeReturnWithoutWaiting) {
    EsperadorReal esperador;
    const auto inicio = reloj::now();
    esperador.Esperar(0);
    esperador.Esperar(-1);
    esperador.Esperar(-2147483647 - 1);
    // A count taken as unsigned, or a wait that rounds up to a whole second, would show here.
    EXPECT_LT(MsDesde(inicio), 1000);
}

}  // namespace
