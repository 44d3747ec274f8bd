#include "comun/archivos_sim.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace sim {

std::string Minusculas(std::string texto) {
    std::transform(texto.begin(), texto.end(), texto.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return texto;
}

// A Windows file system ignores letter case itself: the exact path names the entry, whatever its
// case, and listing the folder for a file that is not there would only cost time.
#ifdef _WIN32
constexpr bool kSistemaIgnoraMayusculas = true;
#else
constexpr bool kSistemaIgnoraMayusculas = false;
#endif

fs::path BuscarSinCaso(const fs::path& dir, const std::string& nombre) {
    std::error_code ec;
    const fs::path exacta = dir / nombre;
    if (kSistemaIgnoraMayusculas || fs::exists(exacta, ec)) return exacta;
    const std::string buscado = Minusculas(nombre);
    for (fs::directory_iterator it(dir, ec), fin; !ec && it != fin; it.increment(ec))
        if (Minusculas(it->path().filename().string()) == buscado) return it->path();
    return exacta;
}

bool LeerArchivo(const fs::path& ruta, std::string& contenido) {
    // A folder opens for reading on Linux; it is not a file to read.
    if (!ExisteArchivo(ruta)) return false;
    std::ifstream f(ruta, std::ios::binary);
    if (!f) return false;
    std::ostringstream s;
    s << f.rdbuf();
    if (f.bad()) return false;
    contenido = s.str();
    return true;
}

bool EscribirArchivo(const fs::path& ruta, const std::string& contenido) {
    std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
    if (!f) return false;
    f.write(contenido.data(), static_cast<std::streamsize>(contenido.size()));
    f.close();
    return !f.fail();
}

bool AgregarArchivo(const fs::path& ruta, const std::string& contenido) {
    std::ofstream f(ruta, std::ios::binary | std::ios::app);
    if (!f) return false;
    f.write(contenido.data(), static_cast<std::streamsize>(contenido.size()));
    f.close();
    return !f.fail();
}

bool ExisteArchivo(const fs::path& ruta) {
    std::error_code ec;
    return fs::is_regular_file(ruta, ec);
}

bool FijarModificacionUtc(const fs::path& ruta, std::int64_t segundosUtc) {
    // The library's own mapping between the file clock and UTC, the one last_write_time reads with
    // (the file clock does not count from 1970).
    namespace chrono = std::chrono;
    const auto utc = chrono::sys_seconds(chrono::seconds(segundosUtc));
    const auto hora = chrono::time_point_cast<fs::file_time_type::duration>(chrono::file_clock::from_sys(utc));
    std::error_code ec;
    fs::last_write_time(ruta, hora, ec);
    return !ec;
}

}  // namespace sim
