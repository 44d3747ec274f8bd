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

std::string RespuestaSeresp(const PedidoTomado& r) { return "RESPUESTA " + r.proveedor + " " + r.id + "\r"; }

std::string RespuestaPraxis(const PedidoTomado& r) {
    return "PRAXIS RESPUESTA " + r.id + "\r\n" + (r.conPraxis ? r.praxis : std::string());
}

std::string RespuestaTiquet(const PedidoTomado& r) {
    return "TIQUET " + r.terminal + "\r\nPROVEEDOR " + r.proveedor + "\r\nSOLICITUD " + r.id + "\r\n";
}

SimuladorZelno::SimuladorZelno(std::string dirZelno, unsigned semilla, Modelo modelo)
    : dir_(std::move(dirZelno)), azar_(semilla), modelo_(modelo), azarLento_(semilla ^ 0x5eedu) {}

bool SimuladorZelno::Ocupada(const fs::path& dirTerminal) const {
    const auto suya = [&](const Entrega& e) { return e.dirTerminal == dirTerminal; };
    return std::any_of(entregas_.begin(), entregas_.end(), suya) ||
           std::any_of(tomasLentas_.begin(), tomasLentas_.end(), suya) || esperandoSvl_.count(dirTerminal) > 0;
}

void SimuladorZelno::Paso(std::int64_t ahoraMs) {
    reglas_.reset();
    TerminarTomasLentas(ahoraMs);
    // An eager take whose provider never came is answered without one.
    for (auto it = esperandoSvl_.begin(); it != esperandoSvl_.end();) {
        if (pedidos_[it->second.pedido].tomadoMs + kEsperaProveedorMs > ahoraMs) {
            ++it;
            continue;
        }
        sinSvl_.erase(it->first);
        Entrega e = std::move(it->second);
        it = esperandoSvl_.erase(it);
        const std::int64_t vence = ahoraMs + e.comportamiento.ms;
        Programar(std::move(e), Parte::Respuesta, vence);
    }
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

void SimuladorZelno::TerminarTomasLentas(std::int64_t ahoraMs) {
    std::vector<Entrega> lentas;
    lentas.swap(tomasLentas_);
    for (Entrega& e : lentas) {
        // Looked up again: the system may have written a new request meanwhile, and it goes too.
        const fs::path upload = BuscarSinCaso(e.dirTerminal, "upload");
        std::error_code ec;
        fs::remove(BuscarSinCaso(upload, "CLICAB.ZLN"), ec);
        fs::remove(BuscarSinCaso(upload, "PRAXIS.ZLN"), ec);
        RemoverMarcaTx(pedidos_[e.pedido].terminal);
        const std::int64_t vence = ahoraMs + e.comportamiento.ms;
        Programar(std::move(e), Parte::Respuesta, vence);
    }
}

void SimuladorZelno::RemoverMarcaTx(const std::string& terminal) {
    const fs::path marcaTx = BuscarSinCaso(BuscarSinCaso(dir_, "tx"), terminal);
    std::error_code ec;
    if (ExisteArchivo(marcaTx)) fs::remove(marcaTx, ec);
}

void SimuladorZelno::TomarPedido(const fs::path& dirTerminal, std::int64_t ahoraMs) {
    const fs::path upload = BuscarSinCaso(dirTerminal, "upload");
    const fs::path svl = BuscarSinCaso(upload, "_svl.0");
    std::string proveedor;
    if (ExisteArchivo(svl) && !LeerArchivo(svl, proveedor)) return;
    const std::string terminal = dirTerminal.filename().string();
    Comportamiento c;
    // An empty _svl.0 is one the system has opened but not yet written: without a written one the
    // request is not complete, and only an eager client looks further (the others spare the
    // upload files a look on every pass).
    if (proveedor.empty()) {
        c = LeerComportamiento(terminal);
        if (c.toma != Toma::Pronta) return;
    }
    const fs::path clicab = BuscarSinCaso(upload, "CLICAB.ZLN");
    const fs::path praxis = BuscarSinCaso(upload, "PRAXIS.ZLN");
    const bool hayClicab = ExisteArchivo(clicab);
    const bool hayPraxis = ExisteArchivo(praxis);
    std::error_code ec;

    // The _svl.0 of a request an eager client has already taken: it only names the provider.
    const auto sinSvl = sinSvl_.find(dirTerminal);
    if (sinSvl != sinSvl_.end() && !hayClicab && !hayPraxis) {
        if (proveedor.empty()) return;
        PedidoTomado& tomado = pedidos_[sinSvl->second];
        const bool sinProveedor = tomado.proveedor.empty();
        if (sinProveedor) tomado.proveedor = proveedor;
        fs::remove(svl, ec);
        if (ExisteArchivo(svl)) return;
        sinSvl_.erase(sinSvl);
        // The answer needs the provider: it is made now.
        const auto espera = esperandoSvl_.find(dirTerminal);
        if (espera != esperandoSvl_.end()) {
            Entrega e = std::move(espera->second);
            esperandoSvl_.erase(espera);
            if (sinProveedor) Programar(std::move(e), Parte::Respuesta, ahoraMs + e.comportamiento.ms);
        }
        return;
    }
    if (proveedor.empty() && !hayClicab && !hayPraxis) return;
    // The bank's answer to what it took is on its way: the next request waits in upload.
    if (modelo_.terminaLoTomado && Ocupada(dirTerminal)) return;
    if (!proveedor.empty()) c = LeerComportamiento(terminal);
    const bool pronto = c.toma == Toma::Pronta;

    PedidoTomado r;
    r.terminal = terminal;
    r.proveedor = proveedor;
    if (hayClicab && !LeerArchivo(clicab, r.clicab)) return;
    r.conPraxis = hayPraxis;
    if (r.conPraxis && !LeerArchivo(praxis, r.praxis)) return;

    if (pronto) {
        // Taken once its files are gone; if one cannot go, it is taken again next pass.
        fs::remove(clicab, ec);
        fs::remove(praxis, ec);
        if (ExisteArchivo(clicab) || ExisteArchivo(praxis)) return;
        if (!proveedor.empty()) fs::remove(svl, ec);
    } else {
        // The request counts as taken once _svl.0 is gone; if it cannot go, it is taken next pass.
        fs::remove(svl, ec);
        if (ExisteArchivo(svl)) return;
        // Drawn only now, so that every draw belongs to a request taken.
        const bool sorteado = c.clase == Clase::Azar || c.clase == Clase::Descortes;
        if (c.clase == Clase::Azar) c = Sortear();
        if (c.clase == Clase::Descortes) c = SortearDescortes();
        if (sorteado && modelo_.bancoLentoPorMil > 0 && azarLento_() % 1000 < modelo_.bancoLentoPorMil) {
            c = Comportamiento{};
            c.nombre = "banco-lento";
            c.ms = kBancoLentoMs;
        }
        if (c.toma != Toma::Lenta) {
            fs::remove(clicab, ec);
            fs::remove(praxis, ec);
        }
    }
    if (c.toma != Toma::Lenta) RemoverMarcaTx(terminal);

    if (hayClicab)
        r.id = PrimeraLinea(r.clicab);
    else if (hayPraxis)
        r.id = PrimeraLinea(r.praxis);
    else
        r.id = std::string(1, '#') += std::to_string(pedidos_.size() + 1);
    r.tomadoMs = ahoraMs;
    r.comportamiento = c.nombre;
    std::erase_if(entregas_, [&](const Entrega& e) {
        if (e.dirTerminal != dirTerminal) return false;
        pedidos_[e.pedido].reemplazada = true;
        return true;
    });
    if (const auto espera = esperandoSvl_.find(dirTerminal); espera != esperandoSvl_.end()) {
        pedidos_[espera->second.pedido].reemplazada = true;
        esperandoSvl_.erase(espera);
    }
    AgregarArchivo(BuscarSinCaso(dir_, "_zelno_sim.log"),
                   r.terminal + "\t" + r.comportamiento + "\t" + r.proveedor + "\t" + PrimeraLinea(r.clicab) + "\r\n");
    pedidos_.push_back(std::move(r));

    // A _svl.0 still to come, or one that would not go, belongs to this request.
    if (pronto && (proveedor.empty() || ExisteArchivo(svl)))
        sinSvl_[dirTerminal] = pedidos_.size() - 1;
    else
        sinSvl_.erase(dirTerminal);

    if (c.clase == Clase::SinRespuesta) return;
    Entrega e;
    e.dirTerminal = dirTerminal;
    e.pedido = pedidos_.size() - 1;
    e.comportamiento = std::move(c);
    if (e.comportamiento.toma == Toma::Lenta) {
        tomasLentas_.push_back(std::move(e));
        return;
    }
    if (pronto && proveedor.empty()) {
        esperandoSvl_[dirTerminal] = std::move(e);
        return;
    }
    const std::int64_t vence = ahoraMs + (e.comportamiento.clase == Clase::Normal ? e.comportamiento.ms : 0);
    Programar(std::move(e), Parte::Respuesta, vence);
}

void SimuladorZelno::Programar(Entrega e, Parte parte, std::int64_t vence) {
    e.parte = parte;
    e.vence = vence;
    e.orden = siguienteOrden_++;
    entregas_.push_back(std::move(e));
}

SimuladorZelno::Comportamiento SimuladorZelno::LeerComportamiento(const std::string& terminal) {
    if (!reglas_) {
        std::string texto;
        reglas_ = LeerArchivo(BuscarSinCaso(dir_, "_zelno_sim.cfg"), texto) ? texto : std::string();
    }
    std::istringstream lineas(*reglas_);
    const std::string buscado = Minusculas(terminal);
    for (std::string linea; std::getline(lineas, linea);) {
        if (!linea.empty() && linea.back() == '\r') linea.pop_back();
        std::size_t pos = 0;
        const std::string quien = Palabra(linea, pos);
        if (quien.empty() || quien[0] == '#') continue;
        if (quien != "*" && Minusculas(quien) != buscado) continue;

        const std::string nombre = Palabra(linea, pos);
        Comportamiento c;
        c.nombre = nombre;
        if (nombre == "falla" || nombre == "falla-con-archivos") {
            // Everything after the one blank that ends the word, so estado.rsp may start with blanks.
            c.clase = nombre == "falla" ? Clase::Falla : Clase::FallaConArchivos;
            c.texto = DecodificarEscapes(pos < linea.size() ? linea.substr(pos + 1) : std::string());
            return c;
        }
        const std::string argumento = Palabra(linea, pos);
        if (!Palabra(linea, pos).empty()) continue;
        // Behaviours with an optional delay: their class and default.
        struct ConDemora {
            const char* nombre;
            Clase clase;
            std::int64_t ms;
        };
        static const ConDemora kConDemora[] = {{"normal", Clase::Normal, 0},
                                               {"tarde", Clase::Normal, 90000},
                                               {"banco-lento", Clase::Normal, kBancoLentoMs},
                                               {"seresp-tarde", Clase::SerespTarde, 3500},
                                               {"seresp-muy-tarde", Clase::SerespTarde, 8000},
                                               {"estado-primero", Clase::EstadoPrimero, 1500}};
        // And those without arguments.
        struct SinArgumento {
            const char* nombre;
            Clase clase;
            Toma toma;
        };
        static const SinArgumento kSinArgumento[] = {
            {"sin-seresp", Clase::SinSeresp, Toma::Normal},       {"sin-praxis", Clase::SinPraxis, Toma::Normal},
            {"sin-tiquet", Clase::SinTiquet, Toma::Normal},       {"seresp-vacio", Clase::SerespVacio, Toma::Normal},
            {"sin-respuesta", Clase::SinRespuesta, Toma::Normal}, {"toma-lenta", Clase::Normal, Toma::Lenta},
            {"toma-pronto", Clase::Normal, Toma::Pronta},         {"azar", Clase::Azar, Toma::Normal},
            {"descortes", Clase::Descortes, Toma::Normal}};
        for (const ConDemora& d : kConDemora) {
            if (nombre != d.nombre) continue;
            c.clase = d.clase;
            c.ms = d.ms;
            if (argumento.empty() || LeerMs(argumento, c.ms)) return c;
        }
        for (const SinArgumento& d : kSinArgumento) {
            if (nombre != d.nombre || !argumento.empty()) continue;
            c.clase = d.clase;
            c.toma = d.toma;
            return c;
        }
    }
    return {};
}

SimuladorZelno::Comportamiento SimuladorZelno::Sortear() {
    // Plain modulo rather than a distribution: the standard fixes mt19937's output, not how a
    // library's distributions use it, and the draw must be the same in every build.
    Comportamiento c;
    switch (azar_() % 5) {
        case 0: break;
        case 1:
            c.nombre = "falla";
            c.clase = Clase::Falla;
            c.texto = TextoFalla(10 + azar_() % 90);
            break;
        case 2:
            c.nombre = "sin-seresp";
            c.clase = Clase::SinSeresp;
            break;
        case 3:
            c.nombre = "seresp-vacio";
            c.clase = Clase::SerespVacio;
            break;
        default:
            c.nombre = "seresp-tarde";
            c.clase = Clase::SerespTarde;
            c.ms = 3500;
            break;
    }
    return c;
}

SimuladorZelno::Comportamiento SimuladorZelno::SortearDescortes() {
    struct Opcion {
        unsigned peso;
        const char* nombre;
        Clase clase;
        Toma toma;
        std::int64_t ms;
    };
    // Mostly answers that come, one way or another; an answer too late for the system is rare.
    static constexpr Opcion kOpciones[] = {{10, "normal", Clase::Normal, Toma::Normal, 0},
                                           {4, "falla", Clase::Falla, Toma::Normal, 0},
                                           {3, "sin-seresp", Clase::SinSeresp, Toma::Normal, 0},
                                           {3, "seresp-vacio", Clase::SerespVacio, Toma::Normal, 0},
                                           {3, "seresp-tarde", Clase::SerespTarde, Toma::Normal, 3500},
                                           {3, "sin-praxis", Clase::SinPraxis, Toma::Normal, 0},
                                           {3, "sin-tiquet", Clase::SinTiquet, Toma::Normal, 0},
                                           {3, "estado-primero", Clase::EstadoPrimero, Toma::Normal, 1500},
                                           {3, "falla-con-archivos", Clase::FallaConArchivos, Toma::Normal, 0},
                                           {2, "seresp-muy-tarde", Clase::SerespTarde, Toma::Normal, 8000},
                                           {2, "toma-lenta", Clase::Normal, Toma::Lenta, 0},
                                           {1, "tarde", Clase::Normal, Toma::Normal, 90000}};
    constexpr unsigned kTotal = [] {
        unsigned total = 0;
        for (const Opcion& o : kOpciones) total += o.peso;
        return total;
    }();
    static_assert(kTotal == 40, "the weights are documented in 40ths");

    unsigned tirada = static_cast<unsigned>(azar_() % kTotal);
    for (const Opcion& o : kOpciones) {
        if (tirada >= o.peso) {
            tirada -= o.peso;
            continue;
        }
        Comportamiento c;
        c.nombre = o.nombre;
        c.clase = o.clase;
        c.toma = o.toma;
        c.ms = o.ms;
        if (c.clase == Clase::Falla || c.clase == Clase::FallaConArchivos) c.texto = TextoFalla(10 + azar_() % 90);
        return c;
    }
    return {};
}

void SimuladorZelno::Entregar(const Entrega& e, std::int64_t ahoraMs) {
    PedidoTomado& r = pedidos_[e.pedido];
    // A terminal folder removed meanwhile is not made again: only the last level is created.
    std::error_code ec;
    const fs::path download = BuscarSinCaso(e.dirTerminal, "download");
    if (!fs::is_directory(download, ec)) fs::create_directory(download, ec);
    const fs::path seresp = BuscarSinCaso(download, "SERESP.ZLN");
    const auto escribir = [&](const fs::path& ruta, const std::string& contenido, bool& escrito) {
        if (!EscribirArchivo(ruta, contenido)) return false;
        escrito = true;
        r.archivosMs = ahoraMs;
        return true;
    };
    const auto escribirSerespLleno = [&] {
        if (escribir(seresp, RespuestaSeresp(r), r.escribioSeresp)) r.serespLleno = true;
    };
    const Clase clase = e.comportamiento.clase;
    if (e.parte == Parte::Respuesta) {
        const auto ultimo = ultimoEstado_.find(e.dirTerminal);
        if (ultimo != ultimoEstado_.end() && ultimo->second != e.pedido &&
            ExisteArchivo(BuscarSinCaso(e.dirTerminal, "estado.rsp")))
            pedidos_[ultimo->second].pisada = true;
    }

    if (e.parte == Parte::RellenoSeresp) {
        if (ExisteArchivo(seresp)) escribirSerespLleno();
        return;
    }
    const bool conArchivos = clase != Clase::Falla && clase != Clase::EstadoPrimero;
    if (e.parte == Parte::Archivos || conArchivos) {
        if (clase == Clase::SerespVacio || clase == Clase::SerespTarde)
            escribir(seresp, std::string(), r.escribioSeresp);
        else if (clase != Clase::SinSeresp)
            escribirSerespLleno();
        if (clase != Clase::SinPraxis)
            escribir(BuscarSinCaso(download, "PRAXIS.ZLN"), RespuestaPraxis(r), r.escribioPraxis);
        if (clase != Clase::SinTiquet)
            escribir(BuscarSinCaso(download, "TIQUET.PRN"), RespuestaTiquet(r), r.escribioTiquet);
    }
    if (e.parte == Parte::Archivos) return;

    const bool falla = clase == Clase::Falla || clase == Clase::FallaConArchivos;
    const std::string estado = falla ? e.comportamiento.texto : "0";
    if (EscribirArchivo(BuscarSinCaso(e.dirTerminal, "estado.rsp"), estado)) {
        r.estado = estado;
        r.estadoMs = ahoraMs;
        ultimoEstado_[e.dirTerminal] = e.pedido;
    }

    if (clase == Clase::SerespTarde) Programar(e, Parte::RellenoSeresp, ahoraMs + e.comportamiento.ms);
    if (clase == Clase::EstadoPrimero) Programar(e, Parte::Archivos, ahoraMs + e.comportamiento.ms);
}

}  // namespace sim
