#include "bridge/estado_intercambio.h"

#include <cstdint>
#include <cstdio>

#include "platform/archivos.h"
#include "platform/carpetas.h"
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

const char* NombreEtapa(EstadoIntercambio::Etapa e) {
    switch (e) {
        case EstadoIntercambio::Etapa::Decidida: return "decidida";
        case EstadoIntercambio::Etapa::Respondida: return "respondida";
        default: return "ninguna";
    }
}

const char* NombreResultado(EstadoIntercambio::Resultado r) {
    switch (r) {
        case EstadoIntercambio::Resultado::ErrorFormato: return "formato";
        case EstadoIntercambio::Resultado::ErrorComunicacion: return "comunicacion";
        default: return "cliente";
    }
}

// Creates the folder and whichever of its parents are missing.
void CrearConSusPadres(const std::string& carpeta) {
    if (carpeta.empty() || archivos::ExisteEntrada(carpeta)) return;
    const auto barra = carpeta.find_last_of("\\/");
    if (barra != std::string::npos && barra > 0) CrearConSusPadres(carpeta.substr(0, barra));
    archivos::CrearCarpeta(carpeta);
}

}  // namespace

std::string TextoEstado(const EstadoIntercambio& e) {
    return std::string("etapa=") + NombreEtapa(e.etapa) + "\nduplicado=" + (e.duplicado ? "1" : "0") +
           "\nconArchivos=" + (e.conArchivos ? "1" : "0") + "\nproveedor=" + e.proveedor +
           "\nresultado=" + NombreResultado(e.resultado) + "\nrespuestaGuardada=" + (e.respuestaGuardada ? "1" : "0") +
           "\n";
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
            e.etapa = valor == "decidida"     ? EstadoIntercambio::Etapa::Decidida
                      : valor == "respondida" ? EstadoIntercambio::Etapa::Respondida
                                              : EstadoIntercambio::Etapa::Ninguna;
        } else if (clave == "duplicado") {
            e.duplicado = valor == "1";
        } else if (clave == "conArchivos") {
            e.conArchivos = valor == "1";
        } else if (clave == "proveedor") {
            e.proveedor = std::string(valor);
        } else if (clave == "resultado") {
            e.resultado = valor == "formato"        ? EstadoIntercambio::Resultado::ErrorFormato
                          : valor == "comunicacion" ? EstadoIntercambio::Resultado::ErrorComunicacion
                                                    : EstadoIntercambio::Resultado::Cliente;
        } else if (clave == "respuestaGuardada") {
            e.respuestaGuardada = valor == "1";
        }
    }
    return e;
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

const EstadoIntercambio& RegistroIntercambios::De(const std::string& rutaKorvane) {
    const auto hallado = enMemoria_.find(rutaKorvane);
    if (hallado != enMemoria_.end()) return hallado->second;
    EstadoIntercambio e;
    if (!carpeta_.empty()) {
        const std::string archivo = Archivo(rutaKorvane);
        if (archivos::Existe(archivo)) e = EstadoDeTexto(archivos::LeerInicio(archivo, 4096));
    }
    return enMemoria_.emplace(rutaKorvane, e).first->second;
}

void RegistroIntercambios::Grabar(const std::string& rutaKorvane, const EstadoIntercambio& estado) {
    if (!carpeta_.empty()) {
        if (!carpetaLista_) CrearConSusPadres(carpeta_);
        carpetaLista_ = true;
        archivos::EscribirSeguro(Archivo(rutaKorvane), TextoEstado(estado));
    }
    enMemoria_[rutaKorvane] = estado;
}
