// The scheduler's policy, row by row: where a tick runs (the window or the pool), what sends the next
// tick back to the window, and how an end request waits for the turns in progress.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "banco_pruebas.h"
#include "bridge/planificador.h"
#include "platform/archivos.h"

namespace {

using prueba::Banco;

// The main window, counted: every request to post a message, the step timer, the end.
class VentanaContada final : public Planificador::Ventana {
public:
    bool PedirTic() override {
        ++tics;
        return true;
    }
    bool PedirPasos() override {
        ++avisos;
        return true;
    }
    bool ArmarPasos(std::uint32_t ms) override {
        armado = static_cast<int>(ms);
        return true;
    }
    void DesarmarPasos() override { armado = -1; }
    void Cerrar() override { cerrada = true; }
    std::atomic<int> tics{0}, avisos{0}, armado{-1};
    std::atomic<bool> cerrada{false};
};

// Waits (bounded) for a condition that threads of the pool make true.
template <typename F>
bool Llega(F condicion) {
    for (int i = 0; i < 2000 && !condicion(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return condicion();
}

}  // namespace

// The clock's ticks go to the window until one of its ticks finds the root served and its watches
// running; from then on they are looks on the pool, which post nothing. Any change made on the window
// (the settings, the toggle) sends the next tick back to it.
TEST(Planificador, TicksGoToThePoolOnceTheWindowFoundAllInOrderAndBackAfterAChange) {
    Banco b;
    VentanaContada ventana;
    prueba::EjecutorBanco ejecutor;
    Planificador p(
        b.configuracion, b.ui, b.esperador, b.cliente, [] { return archivos::FechaHora{}; }, b.CarpetaEstado(),
        &ejecutor, &ventana, nullptr, true);
    p.CargarTerminales();
    p.Aplicar(true, 1000);
    EXPECT_EQ(p.IntervaloAplicado(), 1000);

    const struct Fila {
        const char* que;
        std::function<void()> hacer;
        int tics;     // requests to the window so far
        long ciclos;  // ticks that looked so far
    } filas[] = {
        {"a tick of the clock asks the window", [&] { p.TicDelReloj(); }, 1, 0},
        {"one request at a time", [&] { p.TicDelReloj(); }, 1, 0},
        {"the window's tick looks and finds all in order", [&] { p.Tic(); }, 1, 1},
        {"the next tick is the pool's own", [&] { p.TicDelReloj(); }, 1, 2},
        {"and the one after", [&] { p.TicDelReloj(); }, 1, 3},
        {"the toggle off and on again", [&] { p.Aplicar(false, 1000), p.Aplicar(true, 1000); }, 1, 3},
        {"sends the next tick to the window", [&] { p.TicDelReloj(); }, 2, 3},
        {"whose tick sends them to the pool again", [&] { p.Tic(), p.TicDelReloj(); }, 2, 5},
        {"settings saved: the list and the watches again", [&] { p.CargarTerminales(); }, 2, 5},
        {"sends the next tick to the window", [&] { p.TicDelReloj(); }, 3, 5},
        {"an interval of 0: no clock, and a tick that comes stays on the window",
         [&] { p.Tic(), p.Aplicar(true, 0), p.TicDelReloj(); }, 4, 6},
    };
    for (const Fila& f : filas) {
        SCOPED_TRACE(f.que);
        f.hacer();
        EXPECT_EQ(ventana.tics.load(), f.tics);
        EXPECT_EQ(p.Ciclos(), f.ciclos);
    }
    EXPECT_EQ(p.IntervaloAplicado(), 0);
}

// "&Salir" while a step hangs in a file call: the program does not end while the step may still come
// back (the end is looked at again every 250 ms); once it has been in its call for 2 s, it is not
// waited for. Without turns, the end is at once; a withdrawn end request lets the clock run again.
TEST(Planificador, AnEndWaitsForTheTurnsButNotForAStepHungPastTwoSeconds) {
    Banco b;
    {
        VentanaContada ventana;
        Planificador p(
            b.configuracion, b.ui, b.esperador, b.cliente, [] { return archivos::FechaHora{}; }, b.CarpetaEstado(),
            nullptr, &ventana);
        p.Terminar();
        EXPECT_TRUE(ventana.cerrada);
    }
    std::mutex m;
    std::condition_variable cv;
    bool soltar = false;
    std::atomic<int> retenidas{0};
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (std::string(operacion) != "Existe" || ruta.find("CLICAB.ZLN") == std::string::npos) return;
        ++retenidas;
        std::unique_lock lock(m);
        cv.wait_for(lock, std::chrono::seconds(30), [&] { return soltar; });
    });
    VentanaContada ventana;
    auto ejecutor = std::make_unique<EjecutorHilos>([] {});
    Planificador p(
        b.configuracion, b.ui, b.esperador, b.cliente, [] { return archivos::FechaHora{}; }, b.CarpetaEstado(),
        ejecutor.get(), &ventana);
    p.Terminales = b.lista;
    p.Aplicar(true, 1000);
    b.Terminal(1).EnviarSolicitud({"R", 336, "ACA", true});
    p.Tic();
    // The look comes back with work; its turn starts and its step hangs at CLICAB.ZLN.
    ASSERT_TRUE(Llega([&] {
        p.PasosAvisados();
        return retenidas.load() > 0;
    }));
    p.Terminar();
    EXPECT_FALSE(ventana.cerrada);
    EXPECT_EQ(p.IntervaloAplicado(), 0);
    p.TemporizadorPasos();
    EXPECT_FALSE(ventana.cerrada);
    EXPECT_EQ(ventana.armado.load(), 250);
    b.esperador.ahora += 1999;
    p.TemporizadorPasos();
    EXPECT_FALSE(ventana.cerrada);
    b.esperador.ahora += 1;
    p.TemporizadorPasos();
    EXPECT_TRUE(ventana.cerrada);
    // Withdrawn: polling goes on.
    p.RetirarTerminar();
    EXPECT_EQ(p.IntervaloAplicado(), 1000);
    {
        const std::lock_guard lock(m);
        soltar = true;
    }
    cv.notify_all();
    ejecutor.reset();  // the pool before the scheduler whose turn its step runs
    archivos::InstalarInterceptor({});
}
