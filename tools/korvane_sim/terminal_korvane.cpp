#include "korvane_sim/terminal_korvane.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "comun/archivos_sim.h"

namespace fs = std::filesystem;

namespace sim {

std::string ContenidoClicab(const Solicitud& s) {
    const std::size_t largo = s.longitud > 0 ? static_cast<std::size_t>(s.longitud) : 0;
    static const char kRelleno[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    std::string texto(largo, ' ');
    for (std::size_t i = 0; i < largo; ++i) texto[i] = kRelleno[i % (sizeof kRelleno - 1)];
    texto.replace(0, std::min(largo, s.id.size() + 2), (s.id + "\r\n").substr(0, largo));

    std::size_t inicio = 0;  // 0-based start of the code field; 0 when there is none
    if (largo >= 336)
        inicio = 192;
    else if (largo >= 226)
        inicio = 182;
    if (inicio > 0) {
        std::string codigo = s.empresa.substr(0, 6);
        codigo.resize(6, ' ');
        texto.replace(inicio, 6, codigo);
    }
    return texto;
}

TerminalKorvane::TerminalKorvane(std::string carpeta) : carpeta_(std::move(carpeta)) {
    std::error_code ec;
    fs::create_directories(carpeta_, ec);
}

namespace {

void Escribir(const fs::path& dir, const char* nombre, const std::string& contenido) {
    const fs::path ruta = BuscarSinCaso(dir, nombre);
    if (!EscribirArchivo(ruta, contenido)) throw std::runtime_error("no se puede escribir " + ruta.string());
}

}  // namespace

void TerminalKorvane::EnviarSolicitud(const Solicitud& s) {
    EscribirArchivos(s);
    // Only once the request files are complete.
    MarcarPedido();
}

void TerminalKorvane::MarcarPedido() { Escribir(carpeta_, "STATUS.ZLN", "C"); }

void TerminalKorvane::EscribirArchivos(const Solicitud& s) {
    const fs::path dir(carpeta_);
    const auto escribir = [&](const char* nombre, const std::string& contenido) { Escribir(dir, nombre, contenido); };
    const auto remover = [&](const char* nombre) {
        std::error_code ec;
        fs::remove(BuscarSinCaso(dir, nombre), ec);
    };
    const auto fijarHora = [&](const char* nombre) {
        const fs::path ruta = BuscarSinCaso(dir, nombre);
        if (s.modificacionUtc && !FijarModificacionUtc(ruta, *s.modificacionUtc))
            throw std::runtime_error("no se puede fijar la hora de " + ruta.string());
    };
    if (s.sinArchivos) {
        remover("CLICAB.ZLN");
        remover("PRAXIS.ZLN");
    } else {
        escribir("CLICAB.ZLN", ContenidoClicab(s));
        fijarHora("CLICAB.ZLN");
        if (s.conPraxis) {
            escribir("PRAXIS.ZLN", "PRAXIS " + s.id + "\r\n");
            fijarHora("PRAXIS.ZLN");
        } else {
            // The answer detail of an earlier exchange would otherwise travel with this request.
            remover("PRAXIS.ZLN");
        }
    }
}

bool TerminalKorvane::RespuestaLista() const {
    std::string status;
    if (!LeerArchivo(BuscarSinCaso(carpeta_, "STATUS.ZLN"), status)) return false;
    const std::size_t i = status.find_first_not_of(' ');
    return i != std::string::npos && (status[i] == 'S' || status[i] == 's');
}

Respuesta TerminalKorvane::LeerRespuesta() const {
    const fs::path dir(carpeta_);
    Respuesta r;
    r.lista = RespuestaLista();
    r.haySeresp = LeerArchivo(BuscarSinCaso(dir, "SERESP.ZLN"), r.seresp);
    r.hayPraxis = LeerArchivo(BuscarSinCaso(dir, "PRAXIS.ZLN"), r.praxis);
    r.hayTiquet = LeerArchivo(BuscarSinCaso(dir, "TIQUET.PRN"), r.tiquet);
    LeerArchivo(BuscarSinCaso(dir, "STATUS.ZLN"), r.status);
    return r;
}

}  // namespace sim
