#include "zelno_sim/simulador_zelno.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <sstream>
#include <system_error>
#include <utility>

#include "comun/archivos_sim.h"

namespace fs = std::filesystem;

namespace sim {

namespace {

constexpr std::int64_t kMsMaximo = 366LL * 24 * 3600 * 1000;

bool EsBlanco(char c) { return c == ' ' || c == '\t'; }

int ValorHex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// \r \n \t \\ and \xHH; any other backslash stays as it is.
std::string DecodificarEscapes(const std::string& texto) {
    std::string r;
    for (std::size_t i = 0; i < texto.size(); ++i) {
        const char c = texto[i];
        if (c != '\\' || i + 1 == texto.size()) {
            r += c;
            continue;
        }
        const char s = texto[i + 1];
        if (s == 'r') {
            r += '\r';
            ++i;
        } else if (s == 'n') {
            r += '\n';
            ++i;
        } else if (s == 't') {
            r += '\t';
            ++i;
        } else if (s == '\\') {
            r += '\\';
            ++i;
        } else if (s == 'x' && i + 3 < texto.size() && ValorHex(texto[i + 2]) >= 0 && ValorHex(texto[i + 3]) >= 0) {
            r += static_cast<char>(ValorHex(texto[i + 2]) * 16 + ValorHex(texto[i + 3]));
            i += 3;
        } else {
            r += c;
        }
    }
    return r;
}

// The next word of `linea` from `pos` on, blanks before it skipped; `pos` ends just after it.
std::string Palabra(const std::string& linea, std::size_t& pos) {
    while (pos < linea.size() && EsBlanco(linea[pos])) ++pos;
    const std::size_t inicio = pos;
    while (pos < linea.size() && !EsBlanco(linea[pos])) ++pos;
    return linea.substr(inicio, pos - inicio);
}

bool LeerMs(const std::string& texto, std::int64_t& ms) {
    std::int64_t valor = 0;
    const auto [fin, ec] = std::from_chars(texto.data(), texto.data() + texto.size(), valor);
    // Beyond a year is a typing error, and it would overflow when added to the clock.
    if (ec != std::errc() || fin != texto.data() + texto.size() || valor < 0 || valor > kMsMaximo) return false;
    ms = valor;
    return true;
}

// Built in a buffer: GCC 12 warns falsely (-Wrestrict) about assigning a literal to a string here.
std::string TextoFalla(unsigned numero) {
    char texto[32];
    const int n = std::snprintf(texto, sizeof texto, "E%u ERROR", numero);
    return std::string(texto, n > 0 ? static_cast<std::size_t>(n) : 0);
}

}  // namespace

std::string PrimeraLinea(const std::string& texto) { return texto.substr(0, texto.find_first_of("\r\n")); }

std::string RespuestaSeresp(const RegistroPedido& r) {
    return "RESPUESTA " + r.proveedor + " " + PrimeraLinea(r.clicab) + "\r";
}

std::string RespuestaPraxis(const RegistroPedido& r) {
    return "PRAXIS RESPUESTA " + PrimeraLinea(r.clicab) + "\r\n" + (r.conPraxis ? r.praxis : std::string());
}

std::string RespuestaTiquet(const RegistroPedido& r) {
    return "TIQUET " + r.terminal + "\r\nPROVEEDOR " + r.proveedor + "\r\nSOLICITUD " + PrimeraLinea(r.clicab) + "\r\n";
}

SimuladorZelno::SimuladorZelno(std::string dirZelno, unsigned semilla) : dir_(std::move(dirZelno)), azar_(semilla) {}

void SimuladorZelno::Paso(std::int64_t ahoraMs) {
    std::error_code ec;
    std::vector<fs::path> terminales;
    for (fs::directory_iterator it(dir_, ec), fin; !ec && it != fin; it.increment(ec)) {
        std::error_code ecDir;
        if (Minusculas(it->path().filename().string()).starts_with("term") && it->is_directory(ecDir))
            terminales.push_back(it->path());
    }
    // The listing order is the file system's; a sorted walk keeps azar reproducible.
    std::sort(terminales.begin(), terminales.end());
    for (const auto& t : terminales) TomarPedido(t, ahoraMs);

    const auto antes = [](const Entrega& a, const Entrega& b) {
        return std::pair(a.vence, a.orden) < std::pair(b.vence, b.orden);
    };
    for (;;) {
        auto proxima = entregas_.end();
        for (auto it = entregas_.begin(); it != entregas_.end(); ++it)
            if (it->vence <= ahoraMs && (proxima == entregas_.end() || antes(*it, *proxima))) proxima = it;
        if (proxima == entregas_.end()) break;
        const Entrega entrega = std::move(*proxima);
        entregas_.erase(proxima);
        Entregar(entrega, ahoraMs);
    }
}

void SimuladorZelno::TomarPedido(const fs::path& dirTerminal, std::int64_t ahoraMs) {
    const fs::path upload = BuscarSinCaso(dirTerminal, "upload");
    const fs::path svl = BuscarSinCaso(upload, "_svl.0");
    if (!ExisteArchivo(svl)) return;

    RegistroPedido r;
    r.terminal = dirTerminal.filename().string();
    // An empty _svl.0 is one the system has opened but not yet written: next pass.
    if (!LeerArchivo(svl, r.proveedor) || r.proveedor.empty()) return;
    const fs::path clicab = BuscarSinCaso(upload, "CLICAB.ZLN");
    const fs::path praxis = BuscarSinCaso(upload, "PRAXIS.ZLN");
    if (ExisteArchivo(clicab) && !LeerArchivo(clicab, r.clicab)) return;
    r.conPraxis = ExisteArchivo(praxis);
    if (r.conPraxis && !LeerArchivo(praxis, r.praxis)) return;

    // The request counts as taken once _svl.0 is gone; if it cannot go, it is taken next pass.
    std::error_code ec;
    fs::remove(svl, ec);
    if (ExisteArchivo(svl)) return;
    fs::remove(clicab, ec);
    fs::remove(praxis, ec);
    const fs::path marcaTx = BuscarSinCaso(BuscarSinCaso(dir_, "tx"), r.terminal);
    if (ExisteArchivo(marcaTx)) fs::remove(marcaTx, ec);

    Comportamiento c = LeerComportamiento(r.terminal);
    if (c.clase == Clase::Azar) c = Sortear();
    switch (c.clase) {
        case Clase::Normal: r.comportamiento = "normal"; break;
        case Clase::Falla: r.comportamiento = "falla"; break;
        case Clase::SinSeresp: r.comportamiento = "sin-seresp"; break;
        case Clase::SerespVacio: r.comportamiento = "seresp-vacio"; break;
        case Clase::SerespTarde: r.comportamiento = "seresp-tarde"; break;
        case Clase::SinRespuesta: r.comportamiento = "sin-respuesta"; break;
        case Clase::Azar: break;
    }
    AgregarArchivo(BuscarSinCaso(dir_, "_zelno_sim.log"),
                   r.terminal + "\t" + r.comportamiento + "\t" + r.proveedor + "\t" + PrimeraLinea(r.clicab) + "\r\n");
    registros_.push_back(std::move(r));

    if (c.clase == Clase::SinRespuesta) return;
    Entrega e;
    e.vence = ahoraMs + (c.clase == Clase::Normal ? c.ms : 0);
    e.orden = siguienteOrden_++;
    e.dirTerminal = dirTerminal;
    e.comportamiento = std::move(c);
    e.registro = registros_.size() - 1;
    entregas_.push_back(std::move(e));
}

SimuladorZelno::Comportamiento SimuladorZelno::LeerComportamiento(const std::string& terminal) const {
    std::string texto;
    if (!LeerArchivo(BuscarSinCaso(dir_, "_zelno_sim.cfg"), texto)) return {};
    std::istringstream lineas(texto);
    const std::string buscado = Minusculas(terminal);
    for (std::string linea; std::getline(lineas, linea);) {
        if (!linea.empty() && linea.back() == '\r') linea.pop_back();
        std::size_t pos = 0;
        const std::string quien = Palabra(linea, pos);
        if (quien.empty() || quien[0] == '#') continue;
        if (quien != "*" && Minusculas(quien) != buscado) continue;

        const std::string nombre = Palabra(linea, pos);
        Comportamiento c;
        if (nombre == "falla") {
            // Everything after the one blank that ends the word, so estado.rsp may start with blanks.
            c.clase = Clase::Falla;
            c.texto = DecodificarEscapes(pos < linea.size() ? linea.substr(pos + 1) : std::string());
            return c;
        }
        const std::string argumento = Palabra(linea, pos);
        if (!Palabra(linea, pos).empty()) continue;
        bool valido = true;
        if (nombre == "normal") {
            c.clase = Clase::Normal;
            valido = argumento.empty() || LeerMs(argumento, c.ms);
        } else if (nombre == "seresp-tarde") {
            c.clase = Clase::SerespTarde;
            c.ms = 3500;
            valido = argumento.empty() || LeerMs(argumento, c.ms);
        } else if (argumento.empty() && nombre == "sin-seresp") {
            c.clase = Clase::SinSeresp;
        } else if (argumento.empty() && nombre == "seresp-vacio") {
            c.clase = Clase::SerespVacio;
        } else if (argumento.empty() && nombre == "sin-respuesta") {
            c.clase = Clase::SinRespuesta;
        } else if (argumento.empty() && nombre == "azar") {
            c.clase = Clase::Azar;
        } else {
            valido = false;
        }
        if (valido) return c;
    }
    return {};
}

SimuladorZelno::Comportamiento SimuladorZelno::Sortear() {
    // Plain modulo rather than a distribution: the standard fixes mt19937's output, not how a
    // library's distributions use it, and the draw must be the same in every build.
    Comportamiento c;
    switch (azar_() % 5) {
        case 0: c.clase = Clase::Normal; break;
        case 1:
            c.clase = Clase::Falla;
            c.texto = TextoFalla(10 + azar_() % 90);
            break;
        case 2: c.clase = Clase::SinSeresp; break;
        case 3: c.clase = Clase::SerespVacio; break;
        default:
            c.clase = Clase::SerespTarde;
            c.ms = 3500;
            break;
    }
    return c;
}

void SimuladorZelno::Entregar(const Entrega& e, std::int64_t ahoraMs) {
    const RegistroPedido& r = registros_[e.registro];
    // A terminal folder removed meanwhile is not made again: only the last level is created.
    std::error_code ec;
    const fs::path download = BuscarSinCaso(e.dirTerminal, "download");
    if (!fs::is_directory(download, ec)) fs::create_directory(download, ec);
    const fs::path seresp = BuscarSinCaso(download, "SERESP.ZLN");

    if (e.relleno) {
        if (ExisteArchivo(seresp)) EscribirArchivo(seresp, RespuestaSeresp(r));
        return;
    }
    const Clase clase = e.comportamiento.clase;
    if (clase != Clase::Falla) {
        if (clase == Clase::Normal) EscribirArchivo(seresp, RespuestaSeresp(r));
        if (clase == Clase::SerespVacio || clase == Clase::SerespTarde) EscribirArchivo(seresp, std::string());
        EscribirArchivo(BuscarSinCaso(download, "PRAXIS.ZLN"), RespuestaPraxis(r));
        EscribirArchivo(BuscarSinCaso(download, "TIQUET.PRN"), RespuestaTiquet(r));
    }
    EscribirArchivo(BuscarSinCaso(e.dirTerminal, "estado.rsp"), clase == Clase::Falla ? e.comportamiento.texto : "0");

    if (clase == Clase::SerespTarde) {
        Entrega relleno = e;
        relleno.relleno = true;
        relleno.vence = ahoraMs + e.comportamiento.ms;
        relleno.orden = siguienteOrden_++;
        entregas_.push_back(std::move(relleno));
    }
}

}  // namespace sim
