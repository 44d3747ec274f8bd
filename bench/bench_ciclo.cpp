// The polling cycle's own cost.
//
// BM_TickSinTrabajo: one tick over 1,000 terminals whose STATUS.ZLN says "S" (nothing to do),
// against the floor of the same file-system calls (a stat, an open and one read of the first bytes
// of each STATUS.ZLN) in a bare loop, measured in the same run. The "ratio" counter is tick time
// over floor time. The second argument is the size of each STATUS.ZLN ("S" then a hole): a 1 GB
// file must cost a tick no more than a 1-byte one.
//
// BM_IntercambioCompleto: process CPU time (user + system) of one whole exchange, hand-off tick
// and return tick, with the real waits (about 4 s of wall time). A design that spins while it
// waits burns those 4 s of CPU; this one should stay in milliseconds.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "bridge/planificador.h"
#include "korvane_sim/terminal_korvane.h"
#include "zelno_sim/simulador_zelno.h"

namespace fs = std::filesystem;

namespace {

class InterfazMuda : public InterfazUsuario {
public:
    void EstablecerEstado(const std::string&) override {}
    void ProcesarMensajes() override {}
    void Mostrar(const std::string& texto, const std::string& titulo, Icono) override {
        std::fprintf(stderr, "%s: %s\n", titulo.c_str(), texto.c_str());
    }
};

class ClienteEnMarcha : public ControlCliente {
public:
    bool ProcesoEnEjecucion(const std::string&) override { return true; }
    std::function<std::int32_t()> IniciarCliente(const std::string&, Avisos&) override {
        return [] { return 258; };
    }
};

class SinEspera : public Esperador {
public:
    std::int64_t AhoraMs() override { return 0; }
};

// What the window does between ticks: sleeps until the earliest wait is over, then goes on with
// the turns whose wait it was.
void TerminarTurnos(Planificador& ciclo, Esperador& esperador) {
    while (const auto proximo = ciclo.ProximoPaso()) {
        const std::int64_t falta = *proximo - esperador.AhoraMs();
        if (falta > 0) std::this_thread::sleep_for(std::chrono::milliseconds(falta));
        ciclo.EjecutarPasosVencidos();
    }
}

struct Raiz {
    Raiz() : ruta(fs::temp_directory_path() / (std::string("tramiza-bench-") + std::to_string(getpid()))) {
        fs::create_directories(ruta / "K");
        fs::create_directories(ruta / "Z");
    }
    ~Raiz() { fs::remove_all(ruta); }
    fs::path ruta;
};

std::string Dos(int n) {
    char t[16];
    std::snprintf(t, sizeof t, "%04d", n);
    return t;
}

// The bare floor: what the tick must do at the least for one terminal.
std::size_t LeerBruto(const std::string& ruta) {
    struct stat st;
    if (::stat(ruta.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return 0;
    const int fd = ::open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return 0;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    return n > 0 ? static_cast<std::size_t>(n) : 0;
}

void BM_TickSinTrabajo(benchmark::State& state) {
    const int terminales = static_cast<int>(state.range(0));
    Raiz raiz;
    clsConfiguracion configuracion("bench");
    configuracion.DirectorioKorvane = (raiz.ruta / "K").string();
    configuracion.DirectorioZELNO = (raiz.ruta / "Z").string();
    configuracion.ActivarTX = 1;
    std::vector<std::string> status;
    for (int n = 1; n <= terminales; ++n) {
        const fs::path carpeta = raiz.ruta / "K" / ("TER" + Dos(n));
        fs::create_directories(carpeta);
        std::ofstream(carpeta / "STATUS.ZLN") << "S";
        fs::resize_file(carpeta / "STATUS.ZLN", static_cast<std::uintmax_t>(state.range(1)));
        status.push_back((carpeta / "STATUS.ZLN").string());
    }
    InterfazMuda ui;
    SinEspera esperador;
    ClienteEnMarcha cliente;
    const ListaTerminales lista = CargarTerminales(configuracion, ui);
    Planificador ciclo(
        configuracion, ui, esperador, cliente, [] { return archivos::FechaHora{}; }, (raiz.ruta / "estado").string());

    using reloj = std::chrono::steady_clock;
    double segundosTick = 0, segundosPiso = 0;
    std::size_t bytes = 0;
    for (auto _ : state) {
        // Alternate the two so that neither gets a warmer cache than the other.
        const auto t0 = reloj::now();
        for (const std::string& ruta : status) bytes += LeerBruto(ruta);
        const auto t1 = reloj::now();
        ciclo.Sondear(lista);
        const auto t2 = reloj::now();
        segundosPiso += std::chrono::duration<double>(t1 - t0).count();
        segundosTick += std::chrono::duration<double>(t2 - t1).count();
        state.SetIterationTime(std::chrono::duration<double>(t2 - t1).count());
    }
    benchmark::DoNotOptimize(bytes);
    state.counters["ratio"] = segundosTick / segundosPiso;
    state.counters["piso_us"] = 1e6 * segundosPiso / static_cast<double>(state.iterations());
}
BENCHMARK(BM_TickSinTrabajo)
    ->Args({1000, 1})
    ->Args({1000, 1 << 30})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->MinTime(2.0);

void BM_IntercambioCompleto(benchmark::State& state) {
    Raiz raiz;
    clsConfiguracion configuracion("bench");
    configuracion.DirectorioKorvane = (raiz.ruta / "K").string();
    configuracion.DirectorioZELNO = (raiz.ruta / "Z").string();
    configuracion.ActivarTX = 1;
    configuracion.IniciarZelnoExe = 1;
    sim::TerminalKorvane terminal((raiz.ruta / "K" / "TER01").string());
    sim::SimuladorZelno cliente((raiz.ruta / "Z").string());
    InterfazMuda ui;
    EsperadorReal esperador;
    ClienteEnMarcha control;
    const ListaTerminales lista = CargarTerminales(configuracion, ui);
    Planificador ciclo(
        configuracion, ui, esperador, control, [] { return archivos::FechaHora{}; }, (raiz.ruta / "estado").string());
    int n = 0;
    for (auto _ : state) {
        terminal.EnviarSolicitud({std::string("BENCH-") + std::to_string(n++), 336, "ACA", true});
        ciclo.Sondear(lista);  // hand-off
        cliente.Paso(0);       // the client answers at once
        ciclo.Sondear(lista);  // return, with its 1 + 2 + 1 s of waits
        TerminarTurnos(ciclo, esperador);
        if (!terminal.RespuestaLista()) state.SkipWithError("no answer");
    }
}
BENCHMARK(BM_IntercambioCompleto)->Iterations(2)->UseRealTime()->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
