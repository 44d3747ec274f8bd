// Zelno32.exe: the exchange-client simulator as a program.
//
//   Zelno32.exe [--dir Z] [--vida ms] [--salir] [--semilla n] [--eco FILE] [--fin FILE] [--termina]
//              [--banco-lento n]
//
// --termina: each terminal's request waits until the one taken before is wholly answered, as a
// real client does; --banco-lento n: n in a thousand of drawn behaviours become banco-lento.
// --eco writes the arguments it got, one per line, to FILE (for tests of how a command line is
// split); --salir then ends at once. Otherwise it serves Z every 20 ms until --vida ms have passed
// or Z\_zelno_sim.stop exists; without --dir it only stays up. --fin creates FILE as the last
// thing before ending, so a test knows the process is going away. Unknown arguments are ignored,
// as a client started with a command line of someone else's choosing would.

#include <charconv>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <thread>

#include "comun/archivos_sim.h"
#include "zelno_sim/simulador_zelno.h"

namespace fs = std::filesystem;

namespace {

template <typename T>
std::optional<T> Numero(const std::string& texto) {
    T valor{};
    const auto [fin, ec] = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
    if (ec != std::errc() || fin != texto.data() + texto.size()) return std::nullopt;
    return valor;
}

// Written under another name and renamed, so a reader never sees half of it.
void EscribirEntero(const std::string& ruta, const std::string& contenido) {
    const std::string temporal = ruta + ".tmp";
    if (!sim::EscribirArchivo(temporal, contenido)) return;
    std::error_code ec;
    fs::rename(temporal, ruta, ec);
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> dir, eco, fin;
    std::optional<std::int64_t> vida;
    bool salir = false;
    unsigned semilla = 1;
    sim::Modelo modelo;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool conValor = i + 1 < argc;
        if (a == "--salir") {
            salir = true;
        } else if (a == "--termina") {
            modelo.terminaLoTomado = true;
        } else if (a == "--banco-lento" && conValor) {
            if (auto v = Numero<unsigned>(argv[++i])) modelo.bancoLentoPorMil = *v;
        } else if (a == "--dir" && conValor) {
            dir = argv[++i];
        } else if (a == "--eco" && conValor) {
            eco = argv[++i];
        } else if (a == "--fin" && conValor) {
            fin = argv[++i];
        } else if (a == "--vida" && conValor) {
            if (auto v = Numero<std::int64_t>(argv[++i])) vida = *v;
        } else if (a == "--semilla" && conValor) {
            if (auto v = Numero<unsigned>(argv[++i])) semilla = *v;
        }
    }

    if (eco) {
        std::string lineas;
        for (int i = 1; i < argc; ++i) lineas += std::string(argv[i]) + "\n";
        EscribirEntero(*eco, lineas);
    }

    if (!salir) {
        using reloj = std::chrono::steady_clock;
        const auto inicio = reloj::now();
        std::optional<sim::SimuladorZelno> simulador;
        if (dir) simulador.emplace(*dir, semilla, modelo);
        for (;;) {
            const std::int64_t ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(reloj::now() - inicio).count();
            if (simulador) {
                simulador->Paso(ms);
                if (sim::ExisteArchivo(sim::BuscarSinCaso(*dir, "_zelno_sim.stop"))) break;
            }
            if (vida && ms >= *vida) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }

    if (fin) EscribirEntero(*fin, "");
    return 0;
}
