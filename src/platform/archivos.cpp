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

bool& SinEsperarBloqueosActual() noexcept {
    thread_local bool sinEsperar = false;
    return sinEsperar;
}
}  // namespace detalle

using detalle::Operar;

void InstalarInterceptor(Interceptor nuevo) { interceptor = std::move(nuevo); }

SinEsperarBloqueos::SinEsperarBloqueos() noexcept : antes_(detalle::SinEsperarBloqueosActual()) {
    detalle::SinEsperarBloqueosActual() = true;
}

SinEsperarBloqueos::~SinEsperarBloqueos() { detalle::SinEsperarBloqueosActual() = antes_; }

bool Existe(const std::string& ruta) {
    Interceptar("Existe", ruta);
    return sistema::Existe(ruta);
}

bool ExisteEntrada(const std::string& ruta) {
    Interceptar("ExisteEntrada", ruta);
    return sistema::ExisteEntrada(ruta);
}

Entrada Atributos(const std::string& ruta) {
    return Operar("Atributos", ruta, [&] { return sistema::Atributos(ruta); });
}

std::string LeerCompleto(const std::string& ruta) {
    return Operar("LeerCompleto", ruta, [&] { return sistema::LeerCompleto(ruta); });
}

std::string LeerInicio(const std::string& ruta, std::size_t maximo) {
    return Operar("LeerInicio", ruta, [&] { return sistema::LeerInicio(ruta, maximo); });
}

void EscribirAlInicio(const std::string& ruta, std::string_view datos) {
    Operar("EscribirAlInicio", ruta, [&] { sistema::EscribirAlInicio(ruta, datos); });
}

void EscribirCompleto(const std::string& ruta, std::string_view datos) {
    Operar("EscribirCompleto", ruta, [&] { sistema::EscribirCompleto(ruta, datos); });
}

void EscribirSeguro(const std::string& ruta, std::string_view datos) {
    const std::string temporal = ruta + ".nuevo";
    Operar("EscribirCompleto", temporal, [&] { sistema::EscribirCompleto(temporal, datos); });
    Operar("Sincronizar", temporal, [&] { sistema::Sincronizar(temporal); });
    Operar("Reemplazar", ruta, [&] { sistema::Reemplazar(temporal, ruta); });
}

void Sincronizar(const std::string& ruta) {
    Operar("Sincronizar", ruta, [&] { sistema::Sincronizar(ruta); });
}

void Anexar(const std::string& ruta, std::string_view datos) {
    Operar("Anexar", ruta, [&] { sistema::Anexar(ruta, datos); });
}

void Copiar(const std::string& origen, const std::string& destino) {
    Operar("Copiar", destino, [&] { sistema::Copiar(origen, destino); });
}

void Borrar(const std::string& ruta) {
    Operar(
        "Borrar", ruta, [&] { sistema::Borrar(ruta); }, true);
}

std::int64_t Tamanio(const std::string& ruta) {
    return Operar("Tamanio", ruta, [&] { return sistema::Tamanio(ruta); });
}

FechaHora FechaModificacion(const std::string& ruta) {
    return Operar("FechaModificacion", ruta, [&] { return sistema::FechaModificacion(ruta); });
}

std::vector<Entrada> Listar(const std::string& patron) {
    return Operar("Listar", patron, [&] { return sistema::Listar(patron); });
}

void CrearCarpeta(const std::string& ruta) {
    Operar("CrearCarpeta", ruta, [&] { sistema::CrearCarpeta(ruta); });
}

std::string Unir(const std::string& carpeta, const std::string& nombre) {
    if (!carpeta.empty() && carpeta.back() == '\\') return carpeta + nombre;
    return carpeta + '\\' + nombre;
}

}  // namespace archivos
