#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/archivos_sistema.h"
#include "platform/cerrojo.h"
#include "platform/error_sistema.h"

namespace cerrojo {

namespace {

std::string TextoError(int numero) { return std::to_string(numero) + ": " + plataforma::DescripcionError(numero); }

int Abrir(const std::string& ruta, int flags) {
    int fd;
    do fd = ::open(ruta.c_str(), flags | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd;
}

Titular LeerDe(int fd) {
    std::string datos(kMaximoTitular, '\0');
    ssize_t n;
    do n = ::pread(fd, datos.data(), datos.size(), 0);
    while (n < 0 && errno == EINTR);
    datos.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return LeerTitular(datos);
}

// flock's lock belongs to the open file: another open of the same file, in this process too, is
// refused it, as a second holder is on Windows.
bool Bloquear(int fd, int como) {
    int r;
    do r = ::flock(fd, como | LOCK_NB);
    while (r != 0 && errno == EINTR);
    return r == 0;
}

}  // namespace

Titular TitularPropio() {
    Titular t;
    char equipo[256] = {};
    if (::gethostname(equipo, sizeof equipo - 1) == 0) t.equipo = equipo;
    passwd cuenta{};
    passwd* hallado = nullptr;
    char datos[4096];
    if (::getpwuid_r(::geteuid(), &cuenta, datos, sizeof datos, &hallado) == 0 && hallado != nullptr)
        t.usuario = hallado->pw_name;
    else
        t.usuario = std::to_string(::geteuid());
    t.sesion = std::to_string(::getsid(0));
    t.proceso = std::to_string(::getpid());
    return t;
}

Intento Consultar(const std::string& ruta) {
    const int fd = Abrir(archivos::sistema::RutaLocal(ruta), O_RDONLY);
    if (fd < 0) {
        const int error = errno;
        if (error == ENOENT || error == ENOTDIR) return {Estado::Libre, {}, {}};
        return {Estado::Fallo, {}, TextoError(error)};
    }
    Intento intento{Estado::Libre, {}, {}};
    if (!Bloquear(fd, LOCK_SH)) {
        const int error = errno;
        if (error == EWOULDBLOCK)
            intento = {Estado::Ocupado, LeerDe(fd), {}};
        else
            intento = {Estado::Fallo, {}, TextoError(error)};
    }
    ::close(fd);
    return intento;
}

Intento Cerrojo::Tomar(const std::string& ruta, const Titular& quien) {
    Soltar();
    const int fd = Abrir(archivos::sistema::RutaLocal(ruta), O_RDWR | O_CREAT);
    if (fd < 0) return {Estado::Fallo, {}, TextoError(errno)};
    if (!Bloquear(fd, LOCK_EX)) {
        const int error = errno;
        Intento intento{Estado::Fallo, {}, TextoError(error)};
        if (error == EWOULDBLOCK) intento = {Estado::Ocupado, LeerDe(fd), {}};
        ::close(fd);
        return intento;
    }
    // The lock is the flock; the lines only tell others who has it, so a failed write keeps it.
    const std::string texto = TextoTitular(quien);
    if (::ftruncate(fd, 0) == 0 && ::pwrite(fd, texto.data(), texto.size(), 0) == static_cast<ssize_t>(texto.size()))
        ::fsync(fd);
    manejador_ = fd;
    return {Estado::Tomado, {}, {}};
}

void Cerrojo::Soltar() noexcept {
    if (manejador_ == -1) return;
    ::close(static_cast<int>(manejador_));
    manejador_ = -1;
}

}  // namespace cerrojo
