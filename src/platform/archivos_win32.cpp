#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/archivos.h"
#include "platform/archivos_sistema.h"
#include "platform/error_sistema.h"
#include "platform/manejadores_win32.h"

namespace archivos::sistema {

namespace {

using plataforma::LanzarUltimoError;

using plataforma::Busqueda;
using plataforma::Manejador;

bool TieneComodin(const std::string& ruta) { return ruta.find_first_of("*?") != std::string::npos; }

std::string UltimoComponente(const std::string& ruta) {
    std::string_view resto = ruta;
    while (resto.size() > 1 && (resto.back() == '\\' || resto.back() == '/')) resto.remove_suffix(1);
    const auto barra = resto.find_last_of("\\/");
    return std::string(barra == std::string_view::npos ? resto : resto.substr(barra + 1));
}

Entrada DesdeAtributos(std::string nombre, DWORD atributos) {
    return {std::move(nombre), (atributos & FILE_ATTRIBUTE_DIRECTORY) != 0, (atributos & FILE_ATTRIBUTE_HIDDEN) != 0,
            (atributos & FILE_ATTRIBUTE_SYSTEM) != 0, (atributos & FILE_ATTRIBUTE_READONLY) != 0};
}

WIN32_FILE_ATTRIBUTE_DATA DatosOLanzar(const std::string& ruta) {
    WIN32_FILE_ATTRIBUTE_DATA datos;
    if (!GetFileAttributesExA(ruta.c_str(), GetFileExInfoStandard, &datos)) LanzarUltimoError(ruta);
    return datos;
}

// Other programs (the point-of-sale system, the client) may hold the exchange files open; sharing
// everything lets us in wherever they allow it.
constexpr DWORD compartirTodo = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

Manejador AbrirOLanzar(const std::string& ruta, DWORD acceso, DWORD disposicion) {
    Manejador h(CreateFileA(ruta.c_str(), acceso, compartirTodo, nullptr, disposicion, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) LanzarUltimoError(ruta);
    return h;
}

void EscribirTodo(HANDLE h, std::string_view datos, const std::string& ruta) {
    while (!datos.empty()) {
        const DWORD pedidos = static_cast<DWORD>(std::min<std::size_t>(datos.size(), 1u << 30));
        DWORD escritos = 0;
        if (!WriteFile(h, datos.data(), pedidos, &escritos, nullptr)) LanzarUltimoError(ruta);
        if (escritos == 0) {
            SetLastError(ERROR_WRITE_FAULT);
            LanzarUltimoError(ruta);
        }
        datos.remove_prefix(escritos);
    }
}

// Up to `maximo` bytes from the handle's position.
// Reads into `destino` until `maximo` bytes or the end of the file; how many it read.
std::size_t LeerEn(HANDLE h, char* destino, std::size_t maximo, const std::string& ruta) {
    std::size_t leidos = 0;
    while (leidos < maximo) {
        const DWORD pedidos = static_cast<DWORD>(std::min<std::size_t>(maximo - leidos, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(h, destino + leidos, pedidos, &n, nullptr)) LanzarUltimoError(ruta);
        if (n == 0) break;
        leidos += n;
    }
    return leidos;
}

std::string LeerHasta(HANDLE h, std::size_t maximo, const std::string& ruta) {
    // The first bytes of a STATUS.ZLN at every tick: read on the stack, a letter needs no allocation.
    constexpr std::size_t kPequenio = 4096;
    if (maximo <= kPequenio) {
        char pila[kPequenio];
        return std::string(pila, LeerEn(h, pila, maximo, ruta));
    }
    std::string datos(maximo, '\0');
    datos.resize(LeerEn(h, datos.data(), maximo, ruta));
    return datos;
}

void CerrarOLanzar(Manejador& h, const std::string& ruta) {
    // A write that the cache could not flush is reported only here.
    if (!h.Cerrar()) LanzarUltimoError(ruta);
}

}  // namespace

namespace {

// The attributes of an entry; INVALID_FILE_ATTRIBUTES when it does not exist. A failure that does
// not say so (a network path gone, access denied, a drive not ready) throws: nobody can tell.
DWORD AtributosSiExiste(const std::string& ruta) {
    const DWORD atributos = GetFileAttributesA(ruta.c_str());
    if (atributos != INVALID_FILE_ATTRIBUTES) return atributos;
    const DWORD error = GetLastError();
    switch (error) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_PATHNAME:
        case ERROR_DIRECTORY: return INVALID_FILE_ATTRIBUTES;
        default: plataforma::LanzarError(static_cast<long>(error), ruta);
    }
}

}  // namespace

bool Existe(const std::string& ruta) {
    if (ruta.empty() || TieneComodin(ruta)) return false;
    const DWORD atributos = AtributosSiExiste(ruta);
    if (atributos == INVALID_FILE_ATTRIBUTES) return false;
    return (atributos & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0;
}

bool ExisteEntrada(const std::string& ruta) {
    if (ruta.empty() || TieneComodin(ruta)) return false;
    return AtributosSiExiste(ruta) != INVALID_FILE_ATTRIBUTES;
}

Entrada Atributos(const std::string& ruta) {
    return DesdeAtributos(UltimoComponente(ruta), DatosOLanzar(ruta).dwFileAttributes);
}

std::string LeerCompleto(const std::string& ruta) {
    Manejador h = AbrirOLanzar(ruta, GENERIC_READ, OPEN_EXISTING);
    LARGE_INTEGER tamanio;
    if (!GetFileSizeEx(h.Get(), &tamanio)) LanzarUltimoError(ruta);
    // One byte more than the size: a short read past it is the end, without a last read returning 0.
    const std::size_t esperados = tamanio.QuadPart > 0 ? static_cast<std::size_t>(tamanio.QuadPart) : 0;
    std::string datos(esperados > 0 ? esperados + 1 : 4096, '\0');
    std::size_t leidos = 0;
    for (;;) {
        if (leidos == datos.size()) datos.resize(datos.size() * 2);
        const DWORD pedidos = static_cast<DWORD>(std::min<std::size_t>(datos.size() - leidos, 1u << 30));
        DWORD n = 0;
        if (!ReadFile(h.Get(), datos.data() + leidos, pedidos, &n, nullptr)) LanzarUltimoError(ruta);
        if (n == 0) break;
        leidos += n;
        if (esperados > 0 && n < pedidos && leidos >= esperados) break;
    }
    datos.resize(leidos);
    return datos;
}

std::string LeerInicio(const std::string& ruta, std::size_t maximo) {
    Manejador h = AbrirOLanzar(ruta, GENERIC_READ, OPEN_EXISTING);
    return LeerHasta(h.Get(), maximo, ruta);
}

std::string LeerTramo(const std::string& ruta, std::int64_t desde, std::size_t maximo) {
    Manejador h = AbrirOLanzar(ruta, GENERIC_READ, OPEN_EXISTING);
    LARGE_INTEGER posicion;
    posicion.QuadPart = desde;
    if (!SetFilePointerEx(h.Get(), posicion, nullptr, FILE_BEGIN)) LanzarUltimoError(ruta);
    return LeerHasta(h.Get(), maximo, ruta);
}

void Sincronizar(const std::string& ruta) {
    // Flushing needs write access; the data is not touched.
    Manejador h = AbrirOLanzar(ruta, GENERIC_WRITE, OPEN_EXISTING);
    if (!FlushFileBuffers(h.Get())) LanzarUltimoError(ruta);
}

Escritura::Escritura(const std::string& ruta, std::string_view datos) : ruta_(ruta) {
    Manejador h = AbrirOLanzar(ruta, GENERIC_WRITE, CREATE_ALWAYS);
    EscribirTodo(h.Get(), datos, ruta);
    h_ = reinterpret_cast<std::intptr_t>(h.Soltar());
}

Escritura::~Escritura() {
    if (h_ != -1) CloseHandle(reinterpret_cast<HANDLE>(h_));
}

void Escritura::SincronizarYCerrar() {
    if (!FlushFileBuffers(reinterpret_cast<HANDLE>(h_))) LanzarUltimoError(ruta_);
    Manejador h(reinterpret_cast<HANDLE>(std::exchange(h_, -1)));
    CerrarOLanzar(h, ruta_);
}

std::string RutaLocal(const std::string& ruta) { return ruta; }

void Reemplazar(const std::string& origen, const std::string& destino) {
    if (MoveFileExA(origen.c_str(), destino.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return;
    DWORD error = GetLastError();
    // A target held open by another program answers "access denied" to a rename over it; opening it
    // for deletion tells that apart from a target we may not replace, so that the hold is waited out
    // as a short lock and, if it lasts, reported as what it is.
    if (error == ERROR_ACCESS_DENIED) {
        const HANDLE h = CreateFileA(destino.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE)
            CloseHandle(h);
        else if (GetLastError() == ERROR_SHARING_VIOLATION)
            error = ERROR_SHARING_VIOLATION;
    }
    plataforma::LanzarError(static_cast<long>(error), origen + " -> " + destino);
}

bool RenombrarSinReemplazar(const std::string& origen, const std::string& destino) {
    if (MoveFileExA(origen.c_str(), destino.c_str(), MOVEFILE_WRITE_THROUGH)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return false;
    plataforma::LanzarError(static_cast<long>(error), origen + " -> " + destino);
}

void EscribirAlInicio(const std::string& ruta, std::string_view datos) {
    // OPEN_ALWAYS never truncates: the bytes past the new text keep their values.
    Manejador h = AbrirOLanzar(ruta, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS);
    EscribirTodo(h.Get(), datos, ruta);
    CerrarOLanzar(h, ruta);
}

}  // namespace archivos::sistema

namespace archivos {

ArchivoBinario::ArchivoBinario(const std::string& ruta, AnteBloqueo modo) : ruta_(ruta), modo_(modo) {
    detalle::Operar("Abrir", ruta_, modo_, [&] {
        manejador_ = reinterpret_cast<std::intptr_t>(
            sistema::AbrirOLanzar(ruta_, GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS).Soltar());
    });
}

ArchivoBinario::~ArchivoBinario() {
    if (manejador_ != -1) CloseHandle(reinterpret_cast<HANDLE>(manejador_));
}

std::string ArchivoBinario::LeerInicio(std::size_t maximo) {
    return detalle::Operar("LeerInicio", ruta_, modo_, [&] {
        const HANDLE h = reinterpret_cast<HANDLE>(manejador_);
        LARGE_INTEGER cero{};
        if (!SetFilePointerEx(h, cero, nullptr, FILE_BEGIN)) plataforma::LanzarUltimoError(ruta_);
        return sistema::LeerHasta(h, maximo, ruta_);
    });
}

void ArchivoBinario::EscribirAlInicio(std::string_view datos) {
    detalle::Operar("EscribirAlInicio", ruta_, modo_, [&] {
        const HANDLE h = reinterpret_cast<HANDLE>(manejador_);
        LARGE_INTEGER cero{};
        if (!SetFilePointerEx(h, cero, nullptr, FILE_BEGIN)) plataforma::LanzarUltimoError(ruta_);
        sistema::EscribirTodo(h, datos, ruta_);
    });
}

void ArchivoBinario::EscribirEn(std::int64_t desde, std::string_view datos) {
    detalle::Operar("EscribirEn", ruta_, modo_, [&] {
        const HANDLE h = reinterpret_cast<HANDLE>(manejador_);
        LARGE_INTEGER posicion{};
        posicion.QuadPart = desde;
        if (!SetFilePointerEx(h, posicion, nullptr, FILE_BEGIN)) plataforma::LanzarUltimoError(ruta_);
        sistema::EscribirTodo(h, datos, ruta_);
    });
}

void ArchivoBinario::Sincronizar() {
    detalle::Operar("Sincronizar", ruta_, modo_, [&] {
        if (!FlushFileBuffers(reinterpret_cast<HANDLE>(manejador_))) plataforma::LanzarUltimoError(ruta_);
    });
}

}  // namespace archivos

namespace archivos::sistema {

void EscribirCompleto(const std::string& ruta, std::string_view datos) {
    Manejador h = AbrirOLanzar(ruta, GENERIC_WRITE, CREATE_ALWAYS);
    EscribirTodo(h.Get(), datos, ruta);
    CerrarOLanzar(h, ruta);
}

void EscribirEntrega(const std::string& ruta, std::string_view datos) {
    // No sharing at all while it is written and flushed.
    Manejador h(CreateFileA(ruta.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) LanzarUltimoError(ruta);
    EscribirTodo(h.Get(), datos, ruta);
    if (!FlushFileBuffers(h.Get())) LanzarUltimoError(ruta);
    CerrarOLanzar(h, ruta);
}

void Anexar(const std::string& ruta, std::string_view datos) {
    Manejador h = AbrirOLanzar(ruta, GENERIC_WRITE, OPEN_ALWAYS);
    LARGE_INTEGER cero{};
    if (!SetFilePointerEx(h.Get(), cero, nullptr, FILE_END)) LanzarUltimoError(ruta);
    EscribirTodo(h.Get(), datos, ruta);
    CerrarOLanzar(h, ruta);
}

void Copiar(const std::string& origen, const std::string& destino) {
    if (!CopyFileA(origen.c_str(), destino.c_str(), FALSE)) LanzarUltimoError(origen + " -> " + destino);
}

Escritura Escritura::Copia(const std::string& origen, const std::string& destino) {
    Manejador entrada = AbrirOLanzar(origen, GENERIC_READ, OPEN_EXISTING);
    BY_HANDLE_FILE_INFORMATION desde;
    if (!GetFileInformationByHandle(entrada.Get(), &desde)) LanzarUltimoError(origen);
    // Not emptied on opening: the target may be the source itself under another spelling.
    Manejador salida = AbrirOLanzar(destino, GENERIC_WRITE, OPEN_ALWAYS);
    BY_HANDLE_FILE_INFORMATION hacia;
    if (!GetFileInformationByHandle(salida.Get(), &hacia)) LanzarUltimoError(destino);
    const bool misma = hacia.dwVolumeSerialNumber == desde.dwVolumeSerialNumber &&
                       hacia.nFileIndexHigh == desde.nFileIndexHigh && hacia.nFileIndexLow == desde.nFileIndexLow;
    if (!misma) {
        if (!SetEndOfFile(salida.Get())) LanzarUltimoError(destino);
        std::string bloque(64 * 1024, '\0');
        while (const std::size_t n = LeerEn(entrada.Get(), bloque.data(), bloque.size(), origen))
            EscribirTodo(salida.Get(), std::string_view(bloque.data(), n), destino);
        // The source's last-modification time, as the Windows file copy keeps it.
        if (!SetFileTime(salida.Get(), nullptr, nullptr, &desde.ftLastWriteTime)) LanzarUltimoError(destino);
    }
    Escritura e;
    e.ruta_ = destino;
    e.h_ = reinterpret_cast<std::intptr_t>(salida.Soltar());
    return e;
}

void Borrar(const std::string& ruta) {
    if (!DeleteFileA(ruta.c_str())) LanzarUltimoError(ruta);
}

std::int64_t Tamanio(const std::string& ruta) {
    const WIN32_FILE_ATTRIBUTE_DATA datos = DatosOLanzar(ruta);
    return (static_cast<std::int64_t>(datos.nFileSizeHigh) << 32) | datos.nFileSizeLow;
}

FechaHora FechaModificacion(const std::string& ruta) {
    const WIN32_FILE_ATTRIBUTE_DATA datos = DatosOLanzar(ruta);
    SYSTEMTIME utc, local;
    // The zone's rules for that date, not today's offset: a summer file read in winter keeps its hour.
    if (!FileTimeToSystemTime(&datos.ftLastWriteTime, &utc) || !SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local))
        LanzarUltimoError(ruta);
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

std::int64_t SegundosModificacion(const std::string& ruta) {
    const FILETIME& t = DatosOLanzar(ruta).ftLastWriteTime;
    // Hundreds of nanoseconds since 1601-01-01 UTC.
    const std::int64_t cientos = (static_cast<std::int64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    constexpr std::int64_t k1601a1970 = 11644473600LL;
    const std::int64_t segundos = cientos / 10000000;
    return segundos - k1601a1970;
}

std::vector<Entrada> Listar(const std::string& patron) {
    std::vector<Entrada> entradas;
    WIN32_FIND_DATAA datos;
    Busqueda busqueda(FindFirstFileA(patron.c_str(), &datos));
    if (!busqueda) {
        // No match in an existing folder is an empty list; a missing folder is a failure.
        if (GetLastError() == ERROR_FILE_NOT_FOUND) return entradas;
        LanzarUltimoError(patron);
    }
    do {
        const std::string_view nombre = datos.cFileName;
        if (nombre == "." || nombre == "..") continue;
        entradas.push_back(DesdeAtributos(std::string(nombre), datos.dwFileAttributes));
    } while (FindNextFileA(busqueda.Get(), &datos));
    if (GetLastError() != ERROR_NO_MORE_FILES) LanzarUltimoError(patron);
    return entradas;
}

void CrearCarpeta(const std::string& ruta) {
    if (!CreateDirectoryA(ruta.c_str(), nullptr)) LanzarUltimoError(ruta);
}

}  // namespace archivos::sistema
