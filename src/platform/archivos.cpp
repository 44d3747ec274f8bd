#include "platform/archivos.h"

#include "platform/archivos_sistema.h"
#include "platform/error_sistema.h"

namespace archivos {

namespace {

// Set by tests before the cycles run; the program never installs one.
Interceptor interceptor;

// The file this thread last wrote whole and closed, until its flush by name: a peer that has taken
// it from its folder meanwhile took what we wrote for it, and its flush is no failure of ours.
thread_local std::string escritaSinSincronizar;

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
    escritaSinSincronizar.clear();
    Operar("EscribirCompleto", ruta, modo, [&] { sistema::EscribirCompleto(ruta, datos); });
    escritaSinSincronizar = ruta;
}

void EscribirCompletoYSincronizar(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    sistema::Escritura escritura;
    Operar("EscribirCompleto", ruta, modo, [&] { escritura = sistema::Escritura(ruta, datos); });
    Operar("Sincronizar", ruta, modo, [&] { escritura.SincronizarYCerrar(); });
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

namespace {

bool Colocar(const std::string& temporal, const std::string& destino, bool reemplazar, AnteBloqueo modo) {
    if (reemplazar) {
        Operar("Colocar", destino, modo, [&] { sistema::Reemplazar(temporal, destino); });
        return true;
    }
    if (Operar("Colocar", destino, modo, [&] { return sistema::RenombrarSinReemplazar(temporal, destino); }))
        return true;
    Operar(
        "Borrar", temporal, modo, [&] { sistema::Borrar(temporal); }, true);
    return false;
}

}  // namespace

bool ColocarCopia(const std::string& origen, const std::string& destino, const std::string& temporal, bool reemplazar,
                  AnteBloqueo modo) {
    sistema::Escritura copia;
    Operar("Copiar", temporal, modo, [&] { copia = sistema::Escritura::Copia(origen, temporal); });
    Operar("Sincronizar", temporal, modo, [&] { copia.SincronizarYCerrar(); });
    return Colocar(temporal, destino, reemplazar, modo);
}

bool ColocarDatos(std::string_view datos, const std::string& destino, const std::string& temporal, bool reemplazar,
                  AnteBloqueo modo) {
    sistema::Escritura escritura;
    Operar("EscribirCompleto", temporal, modo, [&] { escritura = sistema::Escritura(temporal, datos); });
    Operar("Sincronizar", temporal, modo, [&] { escritura.SincronizarYCerrar(); });
    return Colocar(temporal, destino, reemplazar, modo);
}

void Sincronizar(const std::string& ruta, AnteBloqueo modo) {
    const bool recienEscrita = !escritaSinSincronizar.empty() && escritaSinSincronizar == ruta;
    escritaSinSincronizar.clear();
    Operar("Sincronizar", ruta, modo, [&] {
        try {
            sistema::Sincronizar(ruta);
        } catch (const plataforma::ErrorSistema& e) {
            // Gone since this thread wrote it whole: the peer it was written for has taken it.
            if (!recienEscrita || !plataforma::EsAusente(e.Numero())) throw;
            actividad::AnotarFalloIgnorado("Sincronizar " + ruta + ": ya la tomó quien la lee");
        }
    });
}

void Anexar(const std::string& ruta, std::string_view datos, AnteBloqueo modo) {
    Operar("Anexar", ruta, modo, [&] { sistema::Anexar(ruta, datos); });
}

void Copiar(const std::string& origen, const std::string& destino, AnteBloqueo modo) {
    escritaSinSincronizar.clear();
    Operar("Copiar", destino, modo, [&] { sistema::Copiar(origen, destino); });
    escritaSinSincronizar = destino;
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

void CrearConSusPadres(const std::string& ruta, AnteBloqueo modo) {
    if (ruta.empty() || ExisteEntrada(ruta)) return;
    const auto barra = ruta.find_last_of("\\/");
    if (barra != std::string::npos && barra > 0) CrearConSusPadres(ruta.substr(0, barra), modo);
    try {
        CrearCarpeta(ruta, modo);
    } catch (const plataforma::ErrorSistema&) {
        // Made meanwhile by another terminal's step: what was wanted.
        if (!ExisteEntrada(ruta)) throw;
    }
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
