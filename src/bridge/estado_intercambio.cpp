#include "bridge/estado_intercambio.h"

#include <cstdint>
#include <cstdio>

#include "platform/archivos.h"
#include "platform/carpetas.h"
#include "platform/error_sistema.h"
#include "platform/registro_actividad.h"
#include "platform/texto_ansi.h"

namespace {

// Each terminal folder gets its own file, named by its folder and a hash of its whole path (letter
// case ignored, as the file system does), so that another root with the same terminal names differs.
std::uint64_t Fnv1a(std::string_view texto) {
    std::uint64_t h = 14695981039346656037ull;
    for (char c : texto) {
        h ^= static_cast<unsigned char>(MayusculaAnsi(c));
        h *= 1099511628211ull;
    }
    return h;
}

std::string UltimoComponente(const std::string& ruta) {
    const auto barra = ruta.find_last_of("\\/");
    return barra == std::string::npos ? ruta : ruta.substr(barra + 1);
}

const char* NombreResultado(EstadoIntercambio::Resultado r) {
    switch (r) {
        case EstadoIntercambio::Resultado::ErrorFormato: return "formato";
        case EstadoIntercambio::Resultado::ErrorComunicacion: return "comunicacion";
        case EstadoIntercambio::Resultado::SinRespuesta: return "sinrespuesta";
        default: return "cliente";
    }
}

constexpr EstadoIntercambio::Etapa kEtapas[] = {
    EstadoIntercambio::Etapa::Ninguna,    EstadoIntercambio::Etapa::Decidida,     EstadoIntercambio::Etapa::Subiendo,
    EstadoIntercambio::Etapa::Entregando, EstadoIntercambio::Etapa::Entregada,    EstadoIntercambio::Etapa::EnDuda,
    EstadoIntercambio::Etapa::Vencida,    EstadoIntercambio::Etapa::Respondiendo, EstadoIntercambio::Etapa::Respondida,
};

}  // namespace

const char* NombreEtapa(EstadoIntercambio::Etapa e) {
    switch (e) {
        case EstadoIntercambio::Etapa::Decidida: return "decidida";
        case EstadoIntercambio::Etapa::Subiendo: return "subiendo";
        case EstadoIntercambio::Etapa::Entregando: return "entregando";
        case EstadoIntercambio::Etapa::Entregada: return "entregada";
        case EstadoIntercambio::Etapa::EnDuda: return "enduda";
        case EstadoIntercambio::Etapa::Vencida: return "vencida";
        case EstadoIntercambio::Etapa::Respondiendo: return "respondiendo";
        case EstadoIntercambio::Etapa::Respondida: return "respondida";
        default: return "ninguna";
    }
}

Accion QueHacer(EstadoIntercambio::Etapa etapa, char letra) {
    using E = EstadoIntercambio::Etapa;
    const bool c = letra == 'C', p = letra == 'P';
    switch (etapa) {
        case E::Ninguna: return c ? Accion::Entregar : p ? Accion::Retornar : Accion::Nada;
        // A decision serves only the request it was made for: a "C" is decided again from its files,
        // and a letter that is neither ends it ("S": a repeat answered just before a stop).
        case E::Decidida: return c ? Accion::Entregar : p ? Accion::Completar : Accion::Olvidar;
        // "P" is ours alone; any other letter means the till left the request while the client
        // may hold it or answer it.
        case E::Subiendo:
        case E::Entregando: return p ? Accion::Reanudar : Accion::Abandonada;
        case E::Entregada:
        case E::EnDuda: return p ? Accion::Retornar : Accion::Abandonada;
        case E::Vencida: return p ? Accion::Retornar : Accion::Tardia;
        // Answer files may be in the terminal folder, but no "S": "P" tries the return again, "S"
        // (written just before a stop) finishes it, and any other letter means the till left the
        // request before it got its answer.
        case E::Respondiendo: return p ? Accion::Retornar : letra == 'S' ? Accion::Limpiar : Accion::Abandonada;
        // "S" is on the disk (or, in a record of an older version, may be): only the cleanup is left.
        case E::Respondida: return p ? Accion::Retornar : Accion::Limpiar;
    }
    return Accion::Nada;
}

void CrearConSusPadres(const std::string& carpeta, archivos::AnteBloqueo modo) {
    if (carpeta.empty() || archivos::ExisteEntrada(carpeta)) return;
    const auto barra = carpeta.find_last_of("\\/");
    if (barra != std::string::npos && barra > 0) CrearConSusPadres(carpeta.substr(0, barra), modo);
    try {
        archivos::CrearCarpeta(carpeta, modo);
    } catch (const plataforma::ErrorSistema&) {
        // Made meanwhile by another terminal's step: what was wanted.
        if (!archivos::ExisteEntrada(carpeta)) throw;
    }
}

std::string TextoEstado(const EstadoIntercambio& e) {
    return std::string("etapa=") + NombreEtapa(e.etapa) + "\nduplicado=" + (e.duplicado ? "1" : "0") +
           "\nconClicab=" + (e.conClicab ? "1" : "0") + "\nconPraxis=" + (e.conPraxis ? "1" : "0") +
           "\nproveedor=" + e.proveedor + "\nresultado=" + NombreResultado(e.resultado) +
           "\nrespuestaGuardada=" + (e.respuestaGuardada ? "1" : "0") + "\n";
}

EstadoIntercambio EstadoDeTexto(std::string_view texto) {
    EstadoIntercambio e;
    while (!texto.empty()) {
        const auto fin = texto.find('\n');
        const std::string_view linea = texto.substr(0, fin);
        texto = fin == std::string_view::npos ? std::string_view{} : texto.substr(fin + 1);
        const auto igual = linea.find('=');
        if (igual == std::string_view::npos) continue;
        const std::string_view clave = linea.substr(0, igual), valor = linea.substr(igual + 1);
        if (clave == "etapa") {
            for (const auto etapa : kEtapas)
                if (valor == NombreEtapa(etapa)) e.etapa = etapa;
        } else if (clave == "duplicado") {
            e.duplicado = valor == "1";
        } else if (clave == "conClicab") {
            e.conClicab = valor == "1";
        } else if (clave == "conPraxis") {
            e.conPraxis = valor == "1";
        } else if (clave == "proveedor") {
            e.proveedor = std::string(valor);
        } else if (clave == "resultado") {
            e.resultado = valor == "formato"        ? EstadoIntercambio::Resultado::ErrorFormato
                          : valor == "comunicacion" ? EstadoIntercambio::Resultado::ErrorComunicacion
                          : valor == "sinrespuesta" ? EstadoIntercambio::Resultado::SinRespuesta
                                                    : EstadoIntercambio::Resultado::Cliente;
        } else if (clave == "respuestaGuardada") {
            e.respuestaGuardada = valor == "1";
        }
    }
    return e;
}

std::string CarpetaNoEntregadas(const std::string& carpetaRegistros) {
    const auto barra = carpetaRegistros.find_last_of("\\/");
    if (carpetaRegistros.empty() || barra == std::string::npos) return {};
    return carpetaRegistros.substr(0, barra + 1) + "NoEntregadas";
}

std::string CarpetaRegistroIntercambios() {
    try {
        return archivos::Unir(carpetas::DatosPrograma(), "Intercambios");
    } catch (...) {
        actividad::AnotarFalloIgnorado("carpeta de los registros de intercambio");
        return {};
    }
}

RegistroIntercambios::RegistroIntercambios(std::string carpeta) : carpeta_(std::move(carpeta)) {}

std::string RegistroIntercambios::Archivo(const std::string& rutaKorvane) const {
    char hash[24];
    std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(Fnv1a(rutaKorvane)));
    return archivos::Unir(carpeta_, UltimoComponente(rutaKorvane) + "-" + hash + ".txt");
}

EstadoIntercambio RegistroIntercambios::De(const std::string& rutaKorvane, archivos::AnteBloqueo modo) {
    {
        const std::lock_guard lock(m_);
        const auto hallado = enMemoria_.find(rutaKorvane);
        if (hallado != enMemoria_.end()) return hallado->second;
    }
    EstadoIntercambio e;
    if (!carpeta_.empty()) {
        const std::string archivo = Archivo(rutaKorvane);
        if (archivos::Existe(archivo)) e = EstadoDeTexto(archivos::LeerInicio(archivo, 4096, modo));
    }
    const std::lock_guard lock(m_);
    return enMemoria_.emplace(rutaKorvane, e).first->second;
}

void RegistroIntercambios::Grabar(const std::string& rutaKorvane, const EstadoIntercambio& estado,
                                  archivos::AnteBloqueo modo) {
    if (!carpeta_.empty()) {
        if (!carpetaLista_) CrearConSusPadres(carpeta_, modo);
        carpetaLista_ = true;
        archivos::EscribirSeguro(Archivo(rutaKorvane), TextoEstado(estado), modo);
    }
    const std::lock_guard lock(m_);
    enMemoria_[rutaKorvane] = estado;
    cambios_.fetch_add(1, std::memory_order_release);
}

std::optional<EstadoIntercambio> RegistroIntercambios::EnMemoria(const std::string& rutaKorvane) const {
    const std::lock_guard lock(m_);
    const auto hallado = enMemoria_.find(rutaKorvane);
    if (hallado == enMemoria_.end()) return std::nullopt;
    return hallado->second;
}
