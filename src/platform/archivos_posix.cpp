#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <optional>
#include <utility>

#include "platform/archivos.h"
#include "platform/archivos_sistema.h"
#include "platform/comodin.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

namespace archivos::sistema {

namespace {

using plataforma::LanzarError;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) noexcept : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(Descriptor&& otro) noexcept : fd_(std::exchange(otro.fd_, -1)) {}
    Descriptor& operator=(Descriptor&& otro) noexcept {
        std::swap(fd_, otro.fd_);
        return *this;
    }

    int Get() const noexcept { return fd_; }
    explicit operator bool() const noexcept { return fd_ >= 0; }
    int Soltar() noexcept { return std::exchange(fd_, -1); }

    // Closes now and tells whether the close worked: a delayed write error can surface only here.
    bool Cerrar() noexcept {
        const int fd = std::exchange(fd_, -1);
        // Linux releases the descriptor even when close is interrupted; retrying could close another one.
        return ::close(fd) == 0 || errno == EINTR;
    }

private:
    int fd_;
};

class Carpeta {
public:
    explicit Carpeta(DIR* dir = nullptr) noexcept : dir_(dir) {}
    ~Carpeta() {
        if (dir_) ::closedir(dir_);
    }
    Carpeta(Carpeta&& otra) noexcept : dir_(std::exchange(otra.dir_, nullptr)) {}
    Carpeta& operator=(Carpeta&& otra) noexcept {
        std::swap(dir_, otra.dir_);
        return *this;
    }

    DIR* Get() const noexcept { return dir_; }
    explicit operator bool() const noexcept { return dir_ != nullptr; }

private:
    DIR* dir_;
};

std::string Normalizar(const std::string& ruta) {
    std::string normal = ruta;
    std::replace(normal.begin(), normal.end(), '\\', '/');
    return normal;
}

bool TieneComodin(const std::string& ruta) { return ruta.find_first_of("*?") != std::string::npos; }

// A name missing under its exact spelling, worth looking up again without regard to case.
bool Falta(int error) { return error == ENOENT || error == ENOTDIR; }

bool EsOculto(std::string_view nombre) {
    return !nombre.empty() && nombre[0] == '.' && nombre != "." && nombre != "..";
}

// Splits off the last component of a '/' path: "a/b" gives "a" and "b", "/b" gives "/" and "b",
// "b" gives "" (the current folder) and "b". Trailing separators are not a component.
void Dividir(std::string_view ruta, std::string_view& carpeta, std::string_view& nombre) {
    while (ruta.size() > 1 && ruta.back() == '/') ruta.remove_suffix(1);
    const auto barra = ruta.rfind('/');
    if (barra == std::string_view::npos) {
        carpeta = {};
        nombre = ruta;
        return;
    }
    nombre = ruta.substr(barra + 1);
    carpeta = ruta.substr(0, barra);
    while (carpeta.size() > 1 && carpeta.back() == '/') carpeta.remove_suffix(1);
    if (carpeta.empty()) carpeta = ruta.substr(0, 1);
}

std::string Juntar(std::string_view carpeta, std::string_view nombre) {
    std::string ruta(carpeta);
    if (!ruta.empty() && ruta.back() != '/') ruta += '/';
    ruta += nombre;
    return ruta;
}

int Abrir(const char* ruta, int flags, mode_t modo = 0) {
    int fd;
    do fd = ::open(ruta, flags | O_CLOEXEC, modo);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// The name of an entry of `dir` equal to `nombre` apart from letter case. The exact spelling is
// taken only when `aceptarExacto`: the callers that just failed with it want a different entry.
std::optional<std::string> BuscarVariante(DIR* dir, std::string_view nombre, bool aceptarExacto) {
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view candidato = e->d_name;
        if (candidato == "." || candidato == "..") continue;
        if (IgualesSinMayusculas(candidato, nombre) && (aceptarExacto || candidato != nombre))
            return std::string(candidato);
    }
    return std::nullopt;
}

struct CarpetaAbierta {
    std::string ruta;  // as it exists on disk ("" is the current folder)
    Carpeta dir;
};

std::optional<std::string> ResolverFaltante(std::string_view ruta);

// Opens the folder, resolving letter case where the exact name is missing. On failure errno is
// the exact attempt's.
std::optional<CarpetaAbierta> AbrirCarpeta(std::string_view carpeta) {
    std::string ruta(carpeta);
    Carpeta dir(::opendir(ruta.empty() ? "." : ruta.c_str()));
    if (dir) return CarpetaAbierta{std::move(ruta), std::move(dir)};
    const int error = errno;
    if (Falta(error)) {
        if (auto resuelta = ResolverFaltante(ruta)) {
            Carpeta otra(::opendir(resuelta->c_str()));
            if (otra) return CarpetaAbierta{std::move(*resuelta), std::move(otra)};
        }
    }
    errno = error;
    return std::nullopt;
}

// The path of an existing entry equal to `ruta` apart from letter case in any component, for a
// path whose exact spelling was not found. Only the components that are missing cost a folder scan.
std::optional<std::string> ResolverFaltante(std::string_view ruta) {
    std::string_view carpeta, nombre;
    Dividir(ruta, carpeta, nombre);
    if (nombre.empty() || nombre == "." || nombre == "..") return std::nullopt;
    auto abierta = AbrirCarpeta(carpeta);
    if (!abierta) return std::nullopt;
    const auto variante = BuscarVariante(abierta->dir.Get(), nombre, false);
    if (!variante) return std::nullopt;
    return Juntar(abierta->ruta, *variante);
}

// Where a new entry goes: into the parent folder as it exists whatever its case, under the name of
// an entry that differs only in case when there is one (it is the same file on Windows).
std::string RutaParaCrear(const std::string& ruta) {
    std::string_view carpeta, nombre;
    Dividir(ruta, carpeta, nombre);
    if (nombre.empty() || nombre == "." || nombre == "..") return ruta;
    auto abierta = AbrirCarpeta(carpeta);
    if (!abierta) return ruta;
    if (const auto variante = BuscarVariante(abierta->dir.Get(), nombre, true)) return Juntar(abierta->ruta, *variante);
    return Juntar(abierta->ruta, nombre);
}

// Runs `operacion` (true on success, errno set otherwise) on the exact path and, when that name is
// missing, on the entry that matches it without regard to case. A failure leaves errno as the
// attempt that mattered set it.
template <typename Operacion>
bool SobreEntrada(const std::string& normal, Operacion&& operacion) {
    if (operacion(normal.c_str())) return true;
    const int error = errno;
    if (Falta(error)) {
        if (const auto resuelta = ResolverFaltante(normal)) return operacion(resuelta->c_str());
    }
    errno = error;
    return false;
}

bool Estado(const std::string& normal, struct stat& st) {
    return SobreEntrada(normal, [&st](const char* p) { return ::stat(p, &st) == 0; });
}

void EstadoOLanzar(const std::string& ruta, struct stat& st) {
    if (!Estado(Normalizar(ruta), st)) LanzarError(errno, ruta);
}

Descriptor AbrirExistente(const std::string& ruta, int flags) {
    int fd = -1;
    if (!SobreEntrada(Normalizar(ruta), [&](const char* p) { return (fd = Abrir(p, flags)) >= 0; }))
        LanzarError(errno, ruta);
    return Descriptor(fd);
}

// Opens for writing, creating the file when no entry of that name exists in any letter case.
Descriptor AbrirParaEscribir(const std::string& ruta, int flags) {
    const std::string normal = Normalizar(ruta);
    int fd = Abrir(normal.c_str(), flags);
    if (fd >= 0) return Descriptor(fd);
    int error = errno;
    if (Falta(error)) {
        fd = Abrir(RutaParaCrear(normal).c_str(), flags | O_CREAT, 0666);
        if (fd >= 0) return Descriptor(fd);
        error = errno;
    }
    LanzarError(error, ruta);
}

// Writes all of `datos`, at `desde` when it is not negative, else at the file position.
void EscribirTodo(int fd, std::string_view datos, off_t desde, const std::string& ruta) {
    while (!datos.empty()) {
        const ssize_t n =
            desde >= 0 ? ::pwrite(fd, datos.data(), datos.size(), desde) : ::write(fd, datos.data(), datos.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            LanzarError(errno, ruta);
        }
        if (n == 0) LanzarError(EIO, ruta);
        datos.remove_prefix(static_cast<std::size_t>(n));
        if (desde >= 0) desde += n;
    }
}

void CerrarOLanzar(Descriptor& fd, const std::string& ruta) {
    if (!fd.Cerrar()) LanzarError(errno, ruta);
}

void Escribir(const std::string& ruta, std::string_view datos, int flags, off_t desde) {
    Descriptor fd = AbrirParaEscribir(ruta, flags);
    EscribirTodo(fd.Get(), datos, desde, ruta);
    CerrarOLanzar(fd, ruta);
}

// The last component of a path as the caller wrote it, with either separator.
std::string UltimoComponente(const std::string& ruta) {
    std::string_view carpeta, nombre;
    const std::string normal = Normalizar(ruta);
    Dividir(normal, carpeta, nombre);
    return std::string(nombre);
}

bool SoloLectura(const struct stat& st) { return (st.st_mode & S_IWUSR) == 0; }

}  // namespace

namespace {

// The entry's status; false when it does not exist. A failure that does not say so (access denied,
// an input/output error of a network file system) throws: nobody can tell.
bool EstadoSiExiste(const std::string& normal, const std::string& ruta, struct stat& st) {
    if (Estado(normal, st)) return true;
    if (Falta(errno) || errno == ENAMETOOLONG) return false;
    LanzarError(errno, ruta);
}

}  // namespace

bool Existe(const std::string& ruta) {
    if (ruta.empty() || TieneComodin(ruta)) return false;
    const std::string normal = Normalizar(ruta);
    struct stat st;
    if (!EstadoSiExiste(normal, ruta, st) || !S_ISREG(st.st_mode)) return false;
    std::string_view carpeta, nombre;
    Dividir(normal, carpeta, nombre);
    return !EsOculto(nombre);
}

bool ExisteEntrada(const std::string& ruta) {
    if (ruta.empty() || TieneComodin(ruta)) return false;
    struct stat st;
    return EstadoSiExiste(Normalizar(ruta), ruta, st);
}

Entrada Atributos(const std::string& ruta) {
    struct stat st;
    EstadoOLanzar(ruta, st);
    std::string nombre = UltimoComponente(ruta);
    const bool oculto = EsOculto(nombre);
    return {std::move(nombre), S_ISDIR(st.st_mode), oculto, false, SoloLectura(st)};
}

namespace {

// Up to `maximo` bytes from byte `desde`, whatever the descriptor's position.
std::string LeerDesde(int fd, std::int64_t desde, std::size_t maximo, const std::string& ruta) {
    std::string datos(maximo, '\0');
    std::size_t leidos = 0;
    while (leidos < maximo) {
        const ssize_t n = ::pread(fd, datos.data() + leidos, maximo - leidos,
                                  static_cast<off_t>(desde + static_cast<std::int64_t>(leidos)));
        if (n < 0) {
            if (errno == EINTR) continue;
            LanzarError(errno, ruta);
        }
        if (n == 0) break;
        leidos += static_cast<std::size_t>(n);
    }
    datos.resize(leidos);
    return datos;
}

}  // namespace

std::string LeerCompleto(const std::string& ruta) {
    Descriptor fd = AbrirExistente(ruta, O_RDONLY);
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0) LanzarError(errno, ruta);
    // Files that report a size can stop at the first short read past it, which spares the extra
    // read that would only return 0; the request files are read on every tick.
    const bool conTamanio = S_ISREG(st.st_mode) && st.st_size > 0;
    std::string datos(conTamanio ? static_cast<std::size_t>(st.st_size) + 1 : 4096, '\0');
    std::size_t leidos = 0;
    for (;;) {
        if (leidos == datos.size()) datos.resize(datos.size() * 2);
        const std::size_t pedidos = datos.size() - leidos;
        const ssize_t n = ::read(fd.Get(), datos.data() + leidos, pedidos);
        if (n < 0) {
            if (errno == EINTR) continue;
            LanzarError(errno, ruta);
        }
        if (n == 0) break;
        leidos += static_cast<std::size_t>(n);
        if (conTamanio && static_cast<std::size_t>(n) < pedidos && leidos >= static_cast<std::size_t>(st.st_size))
            break;
    }
    datos.resize(leidos);
    return datos;
}

std::string LeerInicio(const std::string& ruta, std::size_t maximo) {
    Descriptor fd = AbrirExistente(ruta, O_RDONLY);
    return LeerDesde(fd.Get(), 0, maximo, ruta);
}

std::string LeerTramo(const std::string& ruta, std::int64_t desde, std::size_t maximo) {
    Descriptor fd = AbrirExistente(ruta, O_RDONLY);
    return LeerDesde(fd.Get(), desde, maximo, ruta);
}

void EscribirAlInicio(const std::string& ruta, std::string_view datos) { Escribir(ruta, datos, O_RDWR, 0); }

void Sincronizar(const std::string& ruta) {
    Descriptor fd = AbrirExistente(ruta, O_RDONLY);
    if (::fsync(fd.Get()) != 0) LanzarError(errno, ruta);
}

Escritura::Escritura(const std::string& ruta, std::string_view datos) : ruta_(ruta) {
    Descriptor fd = AbrirParaEscribir(ruta, O_WRONLY | O_TRUNC);
    EscribirTodo(fd.Get(), datos, -1, ruta);
    h_ = fd.Soltar();
}

Escritura::~Escritura() {
    if (h_ != -1) ::close(static_cast<int>(h_));
}

void Escritura::SincronizarYCerrar() {
    if (::fsync(static_cast<int>(h_)) != 0) LanzarError(errno, ruta_);
    Descriptor fd(static_cast<int>(std::exchange(h_, -1)));
    CerrarOLanzar(fd, ruta_);
}

std::string RutaLocal(const std::string& ruta) { return RutaParaCrear(Normalizar(ruta)); }

namespace {

// A new name is durable only once its folder is.
void SincronizarCarpetaDe(const std::string& ruta) {
    std::string_view carpeta, nombre;
    Dividir(ruta, carpeta, nombre);
    const int fd = Abrir(carpeta.empty() ? "." : std::string(carpeta).c_str(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

}  // namespace

void Reemplazar(const std::string& origen, const std::string& destino) {
    const std::string desde = Normalizar(origen);
    const std::string hacia = RutaParaCrear(Normalizar(destino));
    if (::rename(desde.c_str(), hacia.c_str()) != 0) LanzarError(errno, origen + " -> " + destino);
    SincronizarCarpetaDe(hacia);
}

bool RenombrarSinReemplazar(const std::string& origen, const std::string& destino) {
    const std::string desde = Normalizar(origen);
    // The name of a file already there in another letter case, when there is one: that file is kept.
    const std::string hacia = RutaParaCrear(Normalizar(destino));
    // A second name that fails when the first exists, then the old name goes: never a moment
    // without the content under one of them.
    if (::link(desde.c_str(), hacia.c_str()) != 0) {
        if (errno == EEXIST) return false;
        LanzarError(errno, origen + " -> " + destino);
    }
    if (::unlink(desde.c_str()) != 0) LanzarError(errno, origen);
    SincronizarCarpetaDe(hacia);
    return true;
}

}  // namespace archivos::sistema

namespace archivos {

using sistema::Descriptor;

ArchivoBinario::ArchivoBinario(const std::string& ruta, AnteBloqueo modo) : ruta_(ruta), modo_(modo) {
    detalle::Operar("Abrir", ruta_, modo_, [&] { manejador_ = sistema::AbrirParaEscribir(ruta_, O_RDWR).Soltar(); });
}

ArchivoBinario::~ArchivoBinario() { ::close(static_cast<int>(manejador_)); }

std::string ArchivoBinario::LeerInicio(std::size_t maximo) {
    return detalle::Operar("LeerInicio", ruta_, modo_,
                           [&] { return sistema::LeerDesde(static_cast<int>(manejador_), 0, maximo, ruta_); });
}

void ArchivoBinario::EscribirAlInicio(std::string_view datos) {
    detalle::Operar("EscribirAlInicio", ruta_, modo_,
                    [&] { sistema::EscribirTodo(static_cast<int>(manejador_), datos, 0, ruta_); });
}

void ArchivoBinario::EscribirEn(std::int64_t desde, std::string_view datos) {
    detalle::Operar("EscribirEn", ruta_, modo_,
                    [&] { sistema::EscribirTodo(static_cast<int>(manejador_), datos, desde, ruta_); });
}

void ArchivoBinario::Sincronizar() {
    detalle::Operar("Sincronizar", ruta_, modo_, [&] {
        if (::fsync(static_cast<int>(manejador_)) != 0) plataforma::LanzarError(errno, ruta_);
    });
}

}  // namespace archivos

namespace archivos::sistema {

void EscribirCompleto(const std::string& ruta, std::string_view datos) {
    Escribir(ruta, datos, O_WRONLY | O_TRUNC, -1);
}

void EscribirEntrega(const std::string& ruta, std::string_view datos) {
    // Nothing here keeps another program out; the data is on the disk when this returns. Flushed
    // through the descriptor that wrote it: the program it is for may have taken it by name already.
    Escritura escritura(ruta, datos);
    escritura.SincronizarYCerrar();
}

void Anexar(const std::string& ruta, std::string_view datos) { Escribir(ruta, datos, O_WRONLY | O_APPEND, -1); }

namespace {

// The copy, left open for the caller to flush or close.
Descriptor CopiaAbierta(const std::string& origen, const std::string& destino) {
    Descriptor entrada = AbrirExistente(origen, O_RDONLY);
    struct stat desdeSt;
    if (::fstat(entrada.Get(), &desdeSt) != 0) LanzarError(errno, origen);
    if (S_ISDIR(desdeSt.st_mode)) LanzarError(EISDIR, origen);

    // Not truncated on opening: the target may be the source itself under another spelling.
    Descriptor salida = AbrirParaEscribir(destino, O_WRONLY);
    struct stat haciaSt;
    if (::fstat(salida.Get(), &haciaSt) != 0) LanzarError(errno, destino);
    if (haciaSt.st_dev == desdeSt.st_dev && haciaSt.st_ino == desdeSt.st_ino) return salida;
    if (::ftruncate(salida.Get(), 0) != 0) LanzarError(errno, destino);

    std::string bloque(64 * 1024, '\0');
    for (;;) {
        const ssize_t n = ::read(entrada.Get(), bloque.data(), bloque.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            LanzarError(errno, origen);
        }
        if (n == 0) break;
        EscribirTodo(salida.Get(), std::string_view(bloque.data(), static_cast<std::size_t>(n)), -1, destino);
    }
    const timespec tiempos[2] = {{0, UTIME_OMIT}, desdeSt.st_mtim};
    if (::futimens(salida.Get(), tiempos) != 0) LanzarError(errno, destino);
    return salida;
}

}  // namespace

void Copiar(const std::string& origen, const std::string& destino) {
    Descriptor salida = CopiaAbierta(origen, destino);
    CerrarOLanzar(salida, destino);
}

Escritura Escritura::Copia(const std::string& origen, const std::string& destino) {
    Escritura e;
    e.ruta_ = destino;
    e.h_ = CopiaAbierta(origen, destino).Soltar();
    return e;
}

void Borrar(const std::string& ruta) {
    if (!SobreEntrada(Normalizar(ruta), [](const char* p) { return ::unlink(p) == 0; })) LanzarError(errno, ruta);
}

std::int64_t Tamanio(const std::string& ruta) {
    struct stat st;
    EstadoOLanzar(ruta, st);
    return S_ISDIR(st.st_mode) ? 0 : static_cast<std::int64_t>(st.st_size);
}

FechaHora FechaModificacion(const std::string& ruta) {
    struct stat st;
    EstadoOLanzar(ruta, st);
    std::tm t{};
    if (!::localtime_r(&st.st_mtime, &t)) LanzarError(EOVERFLOW, ruta);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

std::int64_t SegundosModificacion(const std::string& ruta) {
    struct stat st;
    EstadoOLanzar(ruta, st);
    return static_cast<std::int64_t>(st.st_mtime);
}

std::vector<Entrada> Listar(const std::string& patron) {
    const std::string normal = Normalizar(patron);
    // The wild card is the last component as written; a trailing separator leaves an empty one
    // that matches nothing.
    const auto barra = normal.rfind('/');
    const std::string_view todo = normal;
    const std::string_view carpeta =
        barra == std::string::npos ? std::string_view{} : todo.substr(0, barra == 0 ? 1 : barra);
    const std::string_view comodin = barra == std::string::npos ? todo : todo.substr(barra + 1);

    auto abierta = AbrirCarpeta(carpeta);
    if (!abierta) LanzarError(errno, patron);
    DIR* dir = abierta->dir.Get();
    const int fdCarpeta = ::dirfd(dir);

    std::vector<Entrada> entradas;
    for (;;) {
        errno = 0;
        const dirent* e = ::readdir(dir);
        if (!e) {
            if (errno != 0) LanzarError(errno, patron);
            break;
        }
        const std::string_view nombre = e->d_name;
        if (nombre == "." || nombre == ".." || !CoincideComodin(comodin, nombre)) continue;
        // The attributes need the mode bits, which the listing's d_type does not carry. A link is
        // described by its target, as Windows describes a junction; a dangling one by itself.
        struct stat st;
        if (::fstatat(fdCarpeta, e->d_name, &st, 0) != 0 &&
            ::fstatat(fdCarpeta, e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;  // removed since the listing read it
        entradas.push_back({std::string(nombre), S_ISDIR(st.st_mode), EsOculto(nombre), false, SoloLectura(st)});
    }
    return entradas;
}

void CrearCarpeta(const std::string& ruta) {
    if (::mkdir(RutaParaCrear(Normalizar(ruta)).c_str(), 0777) != 0) LanzarError(errno, ruta);
}

}  // namespace archivos::sistema
