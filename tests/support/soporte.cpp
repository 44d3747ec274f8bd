#include "support/soporte.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace prueba {

namespace {

// Build paths are Unix paths; a Windows test under Wine reaches them through drive Z:.
std::string RutaNativa(std::string ruta) {
#ifdef _WIN32
    if (!ruta.empty() && ruta[0] == '/') ruta = "Z:" + ruta;
    for (char& c : ruta)
        if (c == '/') c = '\\';
#endif
    return ruta;
}

// TRAMIZA_TMP names a folder in memory when the tests run: the bridge flushes every answer file to
// the disk, and thousands of exchanges waiting on a real disk would only measure the disk.
fs::path BaseTemporal() {
    if (const char* base = std::getenv("TRAMIZA_TMP"); base && *base) {
        std::error_code ec;
        fs::create_directories(base, ec);
        if (fs::is_directory(base, ec)) return base;
    }
    return fs::temp_directory_path();
}

}  // namespace

CarpetaTemporal::CarpetaTemporal() {
    static std::atomic<unsigned> contador{0};
    const auto semilla = std::chrono::steady_clock::now().time_since_epoch().count();
    for (;;) {
        fs::path p =
            BaseTemporal() / ("tramiza-" + std::to_string(semilla % 1000000007) + "-" + std::to_string(contador++));
        if (fs::create_directory(p)) {
            ruta_ = RutaNativa(p.string());
            return;
        }
    }
}

CarpetaTemporal::~CarpetaTemporal() {
    std::error_code ec;
    // Read-only files made by a test must not keep the folder alive.
    for (auto it = fs::recursive_directory_iterator(ruta_, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(ruta_, ec);
}

std::string CarpetaTemporal::operator/(const std::string& nombre) const {
#ifdef _WIN32
    return ruta_ + "\\" + nombre;
#else
    return ruta_ + "/" + nombre;
#endif
}

std::string RutaZelno32() { return RutaNativa(RUTA_ZELNO32); }
std::string RutaTerminalKorvane() { return RutaNativa(RUTA_TERMINAL_KORVANE); }

void EscribirArchivo(const std::string& ruta, const std::string& datos) {
    std::ofstream f(ruta, std::ios::binary | std::ios::trunc);
    if (!f) throw std::runtime_error("no se puede escribir " + ruta);
    f << datos;
}

std::string LeerArchivo(const std::string& ruta) {
    std::ifstream f(ruta, std::ios::binary);
    if (!f) throw std::runtime_error("no se puede leer " + ruta);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

void FijarFechaModificacion(const std::string& ruta, int anio, int mes, int dia, int hora, int minuto, int segundo) {
    std::tm t{};
    t.tm_year = anio - 1900;
    t.tm_mon = mes - 1;
    t.tm_mday = dia;
    t.tm_hour = hora;
    t.tm_min = minuto;
    t.tm_sec = segundo;
    t.tm_isdst = -1;
    const std::time_t segundos = std::mktime(&t);
    if (segundos == static_cast<std::time_t>(-1)) throw std::runtime_error("fecha no representable");
    const auto sistema = std::chrono::system_clock::from_time_t(segundos);
    fs::last_write_time(ruta, std::chrono::file_clock::from_sys(sistema));
}

void CrearCarpetas(const std::string& ruta) { fs::create_directories(ruta); }

}  // namespace prueba
