#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

namespace ajustes {

namespace {

// The file in memory. Lines that are neither a section header nor "key=value" are kept as they
// were, so a hand-edited file loses nothing when the program rewrites it.
struct Linea {
    bool esValor = false;
    std::string clave;  // decoded, when esValor
    std::string valor;  // decoded, when esValor
    std::string cruda;  // the line as read, otherwise
};

struct Seccion {
    std::string nombre;  // decoded, first spelling
    std::vector<Linea> lineas;
};

struct ArchivoIni {
    std::vector<std::string> preambulo;  // lines before the first section header
    std::vector<Seccion> secciones;
};

// Only what would break the line structure is escaped; every other byte is stored as it is.
std::string Codificar(std::string_view texto, bool esNombre) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string salida;
    salida.reserve(texto.size());
    for (const char c : texto) {
        const bool escapar = c == '%' || c == '\r' || c == '\n' || (esNombre && (c == '=' || c == '[' || c == ']'));
        if (escapar) {
            const auto u = static_cast<unsigned char>(c);
            salida += '%';
            salida += kHex[u >> 4];
            salida += kHex[u & 0x0F];
        } else {
            salida += c;
        }
    }
    return salida;
}

int ValorHex(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// A '%' that starts no valid escape (a hand edit) is taken literally.
std::string Decodificar(std::string_view texto) {
    std::string salida;
    salida.reserve(texto.size());
    for (std::size_t i = 0; i < texto.size(); ++i) {
        if (texto[i] == '%' && i + 2 < texto.size() && ValorHex(texto[i + 1]) >= 0 && ValorHex(texto[i + 2]) >= 0) {
            salida += static_cast<char>(ValorHex(texto[i + 1]) * 16 + ValorHex(texto[i + 2]));
            i += 2;
        } else {
            salida += texto[i];
        }
    }
    return salida;
}

ArchivoIni Analizar(const std::string& contenido) {
    ArchivoIni ini;
    std::size_t inicio = 0;
    while (inicio < contenido.size()) {
        std::size_t fin = contenido.find('\n', inicio);
        if (fin == std::string::npos) fin = contenido.size();
        std::string_view linea(contenido.data() + inicio, fin - inicio);
        inicio = fin + 1;
        // Tolerates a file that went through a Windows editor; stored CRs are always escaped.
        if (!linea.empty() && linea.back() == '\r') linea.remove_suffix(1);

        if (linea.size() >= 2 && linea.front() == '[' && linea.back() == ']') {
            ini.secciones.push_back({Decodificar(linea.substr(1, linea.size() - 2)), {}});
            continue;
        }
        if (ini.secciones.empty()) {
            ini.preambulo.push_back(std::string(linea));
            continue;
        }
        Linea l;
        const std::size_t igual = linea.find('=');
        if (igual != std::string_view::npos) {
            l.esValor = true;
            l.clave = Decodificar(linea.substr(0, igual));
            l.valor = Decodificar(linea.substr(igual + 1));
        } else {
            l.cruda = std::string(linea);
        }
        ini.secciones.back().lineas.push_back(std::move(l));
    }
    return ini;
}

// A kept line that still ends in CR was read with one CR taken off before its LF; it gets that CR
// back, or the next read would take off its last CR too and could find "[x]\r" turned into the
// section header "[x]", with the keys below it moved into that section.
void AnadirLineaCruda(std::string& salida, const std::string& linea) {
    salida += linea;
    salida += linea.ends_with('\r') ? "\r\n" : "\n";
}

std::string Componer(const ArchivoIni& ini) {
    std::string salida;
    for (const std::string& l : ini.preambulo) AnadirLineaCruda(salida, l);
    for (const Seccion& s : ini.secciones) {
        salida += '[' + Codificar(s.nombre, true) + "]\n";
        for (const Linea& l : s.lineas) {
            if (l.esValor)
                salida += Codificar(l.clave, true) + '=' + Codificar(l.valor, false) + '\n';
            else
                AnadirLineaCruda(salida, l.cruda);
        }
    }
    return salida;
}

std::string CarpetaConfiguracion() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return xdg;
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config";
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir && *pw->pw_dir)
        return std::string(pw->pw_dir) + "/.config";
    plataforma::LanzarError(ENOENT, "XDG_CONFIG_HOME");
}

std::string RutaArchivo(const std::string& aplicacion) {
    // The application name becomes a file name: a '/' in it must not lead into another folder.
    std::string nombre;
    for (const char c : aplicacion) {
        if (c == '/')
            nombre += "%2F";
        else if (c == '%')
            nombre += "%25";
        else
            nombre += c;
    }
    return CarpetaConfiguracion() + "/" + nombre + ".ini";
}

// A missing file is an empty store.
ArchivoIni CargarArchivo(const std::string& ruta) {
    const int fd = open(ruta.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) return {};
        plataforma::LanzarUltimoError(ruta);
    }
    std::string contenido;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n > 0) {
            contenido.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            const int error = errno;
            close(fd);
            plataforma::LanzarError(error, ruta);
        }
    }
    close(fd);
    return Analizar(contenido);
}

bool EsCarpeta(const std::string& ruta) {
    struct stat st {};
    return stat(ruta.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Like mkdir -p: ~/.config itself may be missing on a fresh account.
void CrearCarpetas(const std::string& carpeta) {
    if (EsCarpeta(carpeta)) return;
    for (std::size_t pos = 1; pos <= carpeta.size(); ++pos) {
        if (pos < carpeta.size() && carpeta[pos] != '/') continue;
        const std::string parcial = carpeta.substr(0, pos);
        if (EsCarpeta(parcial)) continue;
        if (mkdir(parcial.c_str(), 0700) != 0 && errno != EEXIST) plataforma::LanzarUltimoError(parcial);
    }
}

// The new content goes to a temporary file beside the old one and replaces it by rename(), so a
// write that fails half-way leaves the saved settings as they were.
void GuardarArchivo(const std::string& ruta, const ArchivoIni& ini) {
    // A settings file kept elsewhere through a link is replaced where it really is.
    std::string destino = ruta;
    if (char* real = realpath(ruta.c_str(), nullptr)) {
        destino = real;
        std::free(real);
    }
    const std::size_t barra = destino.rfind('/');
    const std::string carpeta = barra == std::string::npos ? "." : barra == 0 ? "/" : destino.substr(0, barra);
    CrearCarpetas(carpeta);

    const std::string contenido = Componer(ini);
    std::string plantilla = carpeta + "/.tramiza-ajustes-XXXXXX";
    const int fd = mkostemp(plantilla.data(), O_CLOEXEC);
    if (fd < 0) plataforma::LanzarUltimoError(carpeta);

    int error = 0;
    for (std::size_t hecho = 0; hecho < contenido.size() && error == 0;) {
        const ssize_t n = write(fd, contenido.data() + hecho, contenido.size() - hecho);
        if (n >= 0)
            hecho += static_cast<std::size_t>(n);
        else if (errno != EINTR)
            error = errno;
    }
    struct stat previo {};
    if (error == 0 && stat(destino.c_str(), &previo) == 0) fchmod(fd, previo.st_mode & 07777);
    if (error == 0 && fsync(fd) != 0) error = errno;
    if (close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && rename(plantilla.c_str(), destino.c_str()) != 0) error = errno;
    if (error != 0) {
        unlink(plantilla.c_str());
        plataforma::LanzarError(error, destino);
    }
}

}  // namespace

std::string LeerAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave,
                       const std::string& porDefecto) {
    const ArchivoIni ini = CargarArchivo(RutaArchivo(aplicacion));
    for (const Seccion& s : ini.secciones) {
        if (!IgualesSinMayusculas(s.nombre, seccion)) continue;
        for (const Linea& l : s.lineas)
            if (l.esValor && IgualesSinMayusculas(l.clave, clave)) return l.valor;
    }
    return porDefecto;
}

void GrabarAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave,
                  const std::string& valor) {
    const std::string ruta = RutaArchivo(aplicacion);
    ArchivoIni ini = CargarArchivo(ruta);
    // The first occurrence is the one read; later copies of the key (hand edits) would come back
    // into view once it is deleted, so they go.
    bool grabado = false;
    Seccion* primera = nullptr;
    for (Seccion& s : ini.secciones) {
        if (!IgualesSinMayusculas(s.nombre, seccion)) continue;
        if (!primera) primera = &s;
        for (auto it = s.lineas.begin(); it != s.lineas.end();) {
            if (it->esValor && IgualesSinMayusculas(it->clave, clave)) {
                if (!grabado) {
                    it->valor = valor;
                    grabado = true;
                    ++it;
                } else {
                    it = s.lineas.erase(it);
                }
            } else {
                ++it;
            }
        }
    }
    if (!grabado) {
        if (!primera) {
            ini.secciones.push_back({seccion, {}});
            primera = &ini.secciones.back();
        }
        Linea l;
        l.esValor = true;
        l.clave = clave;
        l.valor = valor;
        primera->lineas.push_back(std::move(l));
    }
    GuardarArchivo(ruta, ini);
}

void BorrarAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave) {
    const std::string ruta = RutaArchivo(aplicacion);
    ArchivoIni ini = CargarArchivo(ruta);
    bool borrado = false;
    for (Seccion& s : ini.secciones) {
        if (!IgualesSinMayusculas(s.nombre, seccion)) continue;
        const auto antes = s.lineas.size();
        std::erase_if(s.lineas, [&](const Linea& l) { return l.esValor && IgualesSinMayusculas(l.clave, clave); });
        borrado = borrado || s.lineas.size() != antes;
    }
    if (!borrado) plataforma::LanzarError(ENOENT);
    GuardarArchivo(ruta, ini);
}

std::string NombreAplicacion() {
    std::vector<char> ruta(PATH_MAX);
    ssize_t n = 0;
    for (;;) {
        n = readlink("/proc/self/exe", ruta.data(), ruta.size());
        if (n < 0) plataforma::LanzarUltimoError("/proc/self/exe");
        if (static_cast<std::size_t>(n) < ruta.size()) break;
        ruta.resize(ruta.size() * 2);
    }
    std::string nombre(ruta.data(), static_cast<std::size_t>(n));
    // The link of a program whose file was replaced while it runs (a rebuild) carries this tail.
    const std::string_view borrado = " (deleted)";
    if (nombre.size() > borrado.size() && nombre.ends_with(borrado)) nombre.resize(nombre.size() - borrado.size());
    return SinCarpetaNiExtension(std::move(nombre));
}

}  // namespace ajustes
