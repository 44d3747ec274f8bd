#include <windows.h>

#include <algorithm>

#include "platform/actividad.h"
#include "platform/actividad_sistema.h"
#include "platform/carpetas.h"
#include "platform/manejadores_win32.h"

namespace actividad {

std::string CarpetaActividad() {
    try {
        return carpetas::DatosPrograma() + "\\Registro";
    } catch (...) {
        return {};
    }
}

namespace sistema {

namespace {

bool EsCarpeta(const std::string& ruta) {
    const DWORD atributos = GetFileAttributesA(ruta.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace

bool CrearCarpeta(const std::string& ruta) {
    if (ruta.empty()) return false;
    if (EsCarpeta(ruta)) return true;
    // Every parent in turn; the drive ("C:") and the parts of a UNC prefix simply fail.
    for (std::size_t i = ruta.find_first_of("\\/", 1); i != std::string::npos; i = ruta.find_first_of("\\/", i + 1))
        CreateDirectoryA(ruta.substr(0, i).c_str(), nullptr);
    CreateDirectoryA(ruta.c_str(), nullptr);
    return EsCarpeta(ruta);
}

std::vector<std::string> ArchivosLog(const std::string& carpeta) {
    std::vector<std::string> nombres;
    WIN32_FIND_DATAA datos;
    const plataforma::Busqueda busqueda(FindFirstFileA(Unir(carpeta, "*.log").c_str(), &datos));
    if (!busqueda) return nombres;
    do {
        if ((datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) nombres.push_back(datos.cFileName);
    } while (FindNextFileA(busqueda.Get(), &datos));
    return nombres;
}

bool Anexar(const std::string& ruta, std::string_view datos) {
    // Shared for reading, writing and deleting: support may open the day's file while it grows.
    plataforma::Manejador archivo(CreateFileA(ruta.c_str(), FILE_APPEND_DATA,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!archivo) return false;
    while (!datos.empty()) {
        const DWORD parte = static_cast<DWORD>(std::min<std::size_t>(datos.size(), 1u << 30));
        DWORD escritos = 0;
        if (!WriteFile(archivo.Get(), datos.data(), parte, &escritos, nullptr) || escritos == 0) return false;
        datos.remove_prefix(escritos);
    }
    return archivo.Cerrar();
}

std::int64_t Tamanio(const std::string& ruta) {
    WIN32_FILE_ATTRIBUTE_DATA datos;
    if (!GetFileAttributesExA(ruta.c_str(), GetFileExInfoStandard, &datos)) return 0;
    return static_cast<std::int64_t>((static_cast<std::uint64_t>(datos.nFileSizeHigh) << 32) | datos.nFileSizeLow);
}

void Borrar(const std::string& ruta) { DeleteFileA(ruta.c_str()); }

std::string Unir(const std::string& carpeta, const std::string& nombre) {
    if (carpeta.empty() || carpeta.back() == '\\' || carpeta.back() == '/') return carpeta + nombre;
    return carpeta + "\\" + nombre;
}

}  // namespace sistema

}  // namespace actividad
