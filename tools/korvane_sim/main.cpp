// TerminalKorvane.exe: sends one request from a terminal folder and waits for its answer.
//
//   TerminalKorvane.exe --dir K\TER01 --id X [--longitud n] [--empresa CODE] [--sin-praxis] [--espera ms]
//                       [--hueco ms]
//
// --hueco leaves ms between the request files and the "C", as a slow till may.
// Prints what it found and ends with 0 when the answer came, 1 when --espera (default 30000 ms)
// ran out first, 2 when the arguments are wrong (or the folder cannot take the request).

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <optional>
#include <string>
#include <thread>

#include "korvane_sim/terminal_korvane.h"

namespace {

template <typename T>
std::optional<T> Numero(const std::string& texto) {
    T valor{};
    const auto [fin, ec] = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
    if (ec != std::errc() || fin != texto.data() + texto.size() || valor < 0) return std::nullopt;
    return valor;
}

// Bytes as they can be shown on any console: controls and bytes above 126 as escapes.
std::string Visible(const std::string& datos) {
    std::string r;
    for (const char c : datos) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\r') {
            r += "\\r";
        } else if (c == '\n') {
            r += "\\n";
        } else if (c == '\t') {
            r += "\\t";
        } else if (c == '\\') {
            r += "\\\\";
        } else if (b < 32 || b > 126) {
            static const char kHex[] = "0123456789ABCDEF";
            r += "\\x";
            r += kHex[b >> 4];
            r += kHex[b & 15];
        } else {
            r += c;
        }
    }
    return r;
}

void Mostrar(const char* nombre, bool hay, const std::string& contenido) {
    if (hay)
        std::printf("%s (%lu bytes): %s\n", nombre, static_cast<unsigned long>(contenido.size()),
                    Visible(contenido).c_str());
    else
        std::printf("%s: no existe\n", nombre);
}

int Uso(const char* motivo) {
    std::fprintf(stderr,
                 "%s\nUso: TerminalKorvane --dir CARPETA --id TEXTO [--longitud n] [--empresa CODIGO] "
                 "[--sin-praxis] [--espera ms] [--hueco ms]\n",
                 motivo);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    std::optional<std::string> dir;
    sim::Solicitud solicitud;
    bool hayId = false;
    std::int64_t esperaMs = 30000;
    std::int64_t huecoMs = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--sin-praxis") {
            solicitud.conPraxis = false;
            continue;
        }
        if (a != "--dir" && a != "--id" && a != "--longitud" && a != "--empresa" && a != "--espera" && a != "--hueco")
            return Uso(("argumento desconocido: " + a).c_str());
        if (i + 1 >= argc) return Uso(("falta el valor de " + a).c_str());
        const std::string v = argv[++i];
        if (a == "--dir") {
            dir = v;
        } else if (a == "--id") {
            solicitud.id = v;
            hayId = true;
        } else if (a == "--empresa") {
            solicitud.empresa = v;
        } else if (a == "--longitud") {
            const auto n = Numero<int>(v);
            if (!n) return Uso(("longitud no valida: " + v).c_str());
            solicitud.longitud = *n;
        } else {
            const auto n = Numero<std::int64_t>(v);
            if (!n) return Uso((a.substr(2) + " no valida: " + v).c_str());
            (a == "--espera" ? esperaMs : huecoMs) = *n;
        }
    }
    if (!dir || dir->empty()) return Uso("falta --dir");
    if (!hayId) return Uso("falta --id");

    try {
        sim::TerminalKorvane terminal(*dir);
        terminal.EscribirArchivos(solicitud);
        std::this_thread::sleep_for(std::chrono::milliseconds(huecoMs));
        terminal.MarcarPedido();
        using reloj = std::chrono::steady_clock;
        const auto limite = reloj::now() + std::chrono::milliseconds(esperaMs);
        bool lista = terminal.RespuestaLista();
        while (!lista && reloj::now() < limite) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            lista = terminal.RespuestaLista();
        }
        const sim::Respuesta r = terminal.LeerRespuesta();
        std::printf("estado: %s\n", lista ? "respuesta lista" : "sin respuesta (tiempo agotado)");
        Mostrar("STATUS.ZLN", true, r.status);
        Mostrar("SERESP.ZLN", r.haySeresp, r.seresp);
        Mostrar("PRAXIS.ZLN", r.hayPraxis, r.praxis);
        Mostrar("TIQUET.PRN", r.hayTiquet, r.tiquet);
        return lista ? 0 : 1;
    } catch (const std::exception& e) {
        // The folder given cannot take the request: a wrong argument too.
        std::fprintf(stderr, "%s\n", e.what());
        return 2;
    }
}
