#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/actividad.h"
#include "platform/actividad_sistema.h"
#include "platform/carpetas.h"

namespace actividad {

// On Linux the state folder is the program's own already; the logs need no folder of their own.
std::string CarpetaActividad() {
    try {
        return carpetas::DatosPrograma();
    } catch (...) {
        return {};
    }
}

namespace sistema {

namespace {

bool EsCarpeta(const std::string& ruta) {
    struct stat datos {};
    return stat(ruta.c_str(), &datos) == 0 && S_ISDIR(datos.st_mode);
}

}  // namespace

bool CrearCarpeta(const std::string& ruta) {
    if (ruta.empty()) return false;
    if (EsCarpeta(ruta)) return true;
    for (std::size_t i = ruta.find('/', 1); i != std::string::npos; i = ruta.find('/', i + 1))
        mkdir(ruta.substr(0, i).c_str(), 0777);
    mkdir(ruta.c_str(), 0777);
    return EsCarpeta(ruta);
}

std::vector<std::string> ArchivosLog(const std::string& carpeta) {
    std::vector<std::string> nombres;
    DIR* d = opendir(carpeta.c_str());
    if (!d) return nombres;
    try {
        while (const dirent* e = readdir(d)) {
            const std::string nombre = e->d_name;
            if (nombre.size() > 4 && nombre.compare(nombre.size() - 4, 4, ".log") == 0) nombres.push_back(nombre);
        }
    } catch (...) {
        closedir(d);
        throw;
    }
    closedir(d);
    return nombres;
}

bool Anexar(const std::string& ruta, std::string_view datos) {
    const int fd = open(ruta.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    bool bien = true;
    while (bien && !datos.empty()) {
        const ssize_t n = write(fd, datos.data(), datos.size());
        if (n > 0)
            datos.remove_prefix(static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR)
            bien = false;
    }
    return close(fd) == 0 && bien;
}

std::int64_t Tamanio(const std::string& ruta) {
    struct stat st;
    return ::stat(ruta.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : 0;
}

void Borrar(const std::string& ruta) { unlink(ruta.c_str()); }

std::string Unir(const std::string& carpeta, const std::string& nombre) {
    if (carpeta.empty() || carpeta.back() == '/') return carpeta + nombre;
    return carpeta + "/" + nombre;
}

}  // namespace sistema

}  // namespace actividad
