// The transaction bridge without its window: runs the polling cycle on a timer in a console, for
// the demo and for trying the bridge on Linux. Messages the window would show are printed instead.
//
//   puente_consola --korvane K --zelno Z [--cliente "Zelno32.exe --dir Z"] [--intervalo s]
//                  [--tx 0|1] [--ciclos n]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>

#include "bridge/cerrojo_korvane.h"
#include "bridge/planificador.h"
#include "platform/reloj.h"

namespace {

class InterfazConsola : public InterfazUsuario {
public:
    void EstablecerEstado(const std::string& texto) override {
        if (texto != estado_) std::printf("[estado] %s\n", (estado_ = texto).c_str());
    }
    void ProcesarMensajes() override {}
    void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) override {
        std::printf("[%s] %s: %s\n", icono == Icono::Critico ? "error" : "aviso", titulo.c_str(), texto.c_str());
    }

private:
    std::string estado_;
};

// The scheduler's window, in a console: its step timer is a moment to wake at; nothing is posted,
// as every piece of work runs at once on this thread.
class VentanaConsola final : public Planificador::Ventana {
public:
    explicit VentanaConsola(Esperador& esperador) : esperador_(esperador) {}
    bool PedirTic() override { return false; }
    bool PedirPasos() override { return false; }
    bool ArmarPasos(std::uint32_t ms) override {
        pasos = esperador_.AhoraMs() + ms;
        return true;
    }
    void DesarmarPasos() override { pasos.reset(); }
    void Cerrar() override {}
    std::optional<std::int64_t> pasos;

private:
    Esperador& esperador_;
};

int Uso() {
    std::fprintf(
        stderr,
        "uso: puente_consola --korvane K --zelno Z [--cliente LINEA] [--intervalo s] [--tx 0|1] [--ciclos n]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    clsConfiguracion configuracion("puente_consola");
    configuracion.Intervalo = 1;
    configuracion.ActivarTX = 1;
    configuracion.IniciarActivo = 1;
    long ciclos = -1;
    for (int i = 1; i < argc; ++i) {
        const std::string opcion = argv[i];
        if (i + 1 >= argc) return Uso();
        const std::string valor = argv[++i];
        if (opcion == "--korvane")
            configuracion.DirectorioKorvane = valor;
        else if (opcion == "--zelno")
            configuracion.DirectorioZELNO = valor;
        else if (opcion == "--cliente") {
            configuracion.ZelnoExe = valor;
            configuracion.IniciarZelnoExe = 1;
        } else if (opcion == "--intervalo")
            configuracion.Intervalo = static_cast<std::int16_t>(std::atoi(valor.c_str()));
        else if (opcion == "--tx")
            configuracion.ActivarTX = static_cast<std::int16_t>(std::atoi(valor.c_str()));
        else if (opcion == "--ciclos")
            ciclos = std::atol(valor.c_str());
        else
            return Uso();
    }
    if (configuracion.DirectorioKorvane.empty() || configuracion.DirectorioZELNO.empty() ||
        configuracion.Intervalo <= 0)
        return Uso();
    std::setvbuf(stdout, nullptr, _IONBF, 0);

    InterfazConsola ui;
    EsperadorReal esperador;
    ControlClienteReal cliente;
    VentanaConsola ventana(esperador);
    // The same root served by a Tramiza.exe, or another console, is left to it.
    CerrojoKorvane cerrojo(ui, reloj::Ahora);
    Planificador planificador(configuracion, ui, esperador, cliente, reloj::Ahora, CarpetaFichas(), nullptr, &ventana,
                              &cerrojo);
    planificador.CargarTerminales();
    std::printf("[inicio] %zu terminales en %s\n", planificador.Terminales->size(),
                configuracion.DirectorioKorvane.c_str());

    // Sleeps until the next tick or the step timer, whichever comes first. After the last tick, the
    // turns in progress are run to their end.
    using reloj = std::chrono::steady_clock;
    const auto periodo = std::chrono::seconds(configuracion.Intervalo);
    auto siguiente = reloj::now() + periodo;
    for (long n = 0; ciclos < 0 || n < ciclos || planificador.TurnosEnCurso() != 0;) {
        const bool quedanTics = ciclos < 0 || n < ciclos;
        auto despertar = quedanTics ? siguiente : reloj::time_point::max();
        if (ventana.pasos)
            despertar =
                std::min(despertar, reloj::now() + std::chrono::milliseconds(*ventana.pasos - esperador.AhoraMs()));
        std::this_thread::sleep_until(despertar);
        if (ventana.pasos && *ventana.pasos <= esperador.AhoraMs()) planificador.TemporizadorPasos();
        if (quedanTics && reloj::now() >= siguiente) {
            planificador.Tic();
            ++n;
            siguiente = std::max(siguiente + periodo, reloj::now());
        }
    }
    return 0;
}
