#include "platform/archivos.h"

#include "platform/archivos_sistema.h"

namespace archivos {

namespace {

// Set by tests before the cycles run; the program never installs one.
Interceptor interceptor;

// Operations that cannot fail still meet the interceptor, so that a test can stop the program there.
void Interceptar(const char* operacion, const std::string& ruta) {
    if (interceptor) interceptor(operacion, ruta);
}

}  // namespace

namespace detalle {
const Interceptor& InterceptorActual() noexcept { return interceptor; }

}  // namespace detalle

using detalle::Operar;

void InstalarInterceptor(Interceptor nuevo) { interceptor = std::move(nuevo); }

bool Existe(const std::string& ruta) {
    Interceptar("Existe", ruta);
    return sistema::Existe(ruta);
}

bool ExisteEntrada(const std::string& ruta) {
    Interceptar("ExisteEntrada", ruta);
    return sistema::ExisteEntrada(ruta);
}

Entrada Atributos(const std::string& ruta, AnteBloqueo modo) {
    return Operar("Atributos", ruta, modo, [&] { return sistema::Atributos(ruta); });
}

std::string LeerCompleto(const std::string& ruta, AnteBloqueo modo) {
    return Operar("LeerCompleto", ruta, modo, [&] { return sistema::LeerCompleto(ruta); });
}

std::string LeerInicio(const std::string& ruta, std::size_t maximo, AnteBloqueo modo) {
    return Operar("LeerInicio", ruta, modo, [&] { return sistema::LeerInicio(ruta, maximo); });
}

void EscribirAlInicio(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    Operar("EscribirAlInicio", ruta, modo, [&] { sistema::EscribirAlInicio(ruta, datos); });
}

void EscribirCompleto(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    Operar("EscribirCompleto", ruta, modo, [&] { sistema::EscribirCompleto(ruta, datos); });
}

void EscribirEntrega(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    Operar("EscribirCompleto", ruta, modo, [&] { sistema::EscribirEntrega(ruta, datos); });
}

void EscribirSeguro(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    const std::string temporal = ruta + ".nuevo";
    sistema::Escritura escritura;
    Operar("EscribirCompleto", temporal, modo, [&] { escritura = sistema::Escritura(temporal, datos); });
    Operar("Sincronizar", temporal, modo, [&] { escritura.SincronizarYCerrar(); });
    Operar("Reemplazar", ruta, modo, [&] { sistema::Reemplazar(temporal, ruta); });
}

void Sincronizar(const std::string& ruta, AnteBloqueo modo) {
    Operar("Sincronizar", ruta, modo, [&] { sistema::Sincronizar(ruta); });
}

void Anexar(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    Operar("Anexar", ruta, modo, [&] { sistema::Anexar(ruta, datos); });
}

void Copiar(const std::string& origen, const std::string& destino, AnteBloqueo modo) {
    Operar("Copiar", destino, modo, [&] { sistema::Copiar(origen, destino); });
}

void CopiarYSincronizar(const std::string& origen, const std::string& destino, AnteBloqueo modo) {
    sistema::Escritura copia;
    Operar("Copiar", destino, modo, [&] { copia = sistema::Escritura::Copia(origen, destino); });
    Operar("Sincronizar", destino, modo, [&] { copia.SincronizarYCerrar(); });
}

void Borrar(const std::string& ruta, AnteBloqueo modo) {
    Operar(
        "Borrar", ruta, modo, [&] { sistema::Borrar(ruta); }, true);
}

std::string LeerTramo(const std::string& ruta, std::int64_t desde, std::size_t maximo, AnteBloqueo modo) {
    return Operar("LeerTramo", ruta, modo, [&] { return sistema::LeerTramo(ruta, desde, maximo); });
}

std::int64_t Tamanio(const std::string& ruta, AnteBloqueo modo) {
    return Operar("Tamanio", ruta, modo, [&] { return sistema::Tamanio(ruta); });
}

FechaHora FechaModificacion(const std::string& ruta, AnteBloqueo modo) {
    return Operar("FechaModificacion", ruta, modo, [&] { return sistema::FechaModificacion(ruta); });
}

std::int64_t SegundosModificacion(const std::string& ruta, AnteBloqueo modo) {
    return Operar("FechaModificacion", ruta, modo, [&] { return sistema::SegundosModificacion(ruta); });
}

std::vector<Entrada> Listar(const std::string& patron, AnteBloqueo modo) {
    return Operar("Listar", patron, modo, [&] { return sistema::Listar(patron); });
}

void CrearCarpeta(const std::string& ruta, AnteBloqueo modo) {
    Operar("CrearCarpeta", ruta, modo, [&] { sistema::CrearCarpeta(ruta); });
}

void UnirEn(std::string& ruta, const std::string& carpeta, std::string_view nombre) {
    ruta.assign(carpeta);
    if (ruta.empty() || ruta.back() != '\\') ruta += '\\';
    ruta.append(nombre);
}

std::string Unir(const std::string& carpeta, std::string_view nombre) {
    std::string ruta;
    ruta.reserve(carpeta.size() + 1 + nombre.size());
    UnirEn(ruta, carpeta, nombre);
    return ruta;
}

}  // namespace archivos
