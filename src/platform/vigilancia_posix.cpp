#include <dirent.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <thread>
#include <utility>

#include "platform/error_sistema.h"
#include "platform/vigilancia.h"

namespace vigilancia {

// inotify watches one folder: every folder below the root gets its own, and a folder made later
// gets one as it appears.
struct Vigilante::Estado {
    std::string raiz;
    std::function<void(const std::string&)> alCambiar, alPerder;
    int fd = -1;
    int tubo[2] = {-1, -1};               // written to stop the thread
    std::map<int, std::string> carpetas;  // by watch
    std::atomic<bool> activo{false};
    std::thread hilo;
};

namespace {

constexpr std::uint32_t kCambios = IN_CREATE | IN_CLOSE_WRITE | IN_MODIFY | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE |
                                   IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
// Deep enough for the roots' layout (root\TERxx, root\termxx\upload); a deeper tree is the timer's.
constexpr int kProfundidad = 4;

std::string Motivo(int error) { return std::to_string(error) + ": " + plataforma::DescripcionError(error); }

std::string Unir(const std::string& carpeta, const char* nombre) {
    return carpeta + (carpeta.empty() || carpeta.back() == '/' ? "" : "/") + nombre;
}

void Agregar(Vigilante::Estado& e, const std::string& carpeta, int profundidad) {
    const int w = inotify_add_watch(e.fd, carpeta.c_str(), kCambios);
    if (w < 0) return;
    e.carpetas[w] = carpeta;
    if (profundidad >= kProfundidad) return;
    DIR* dir = opendir(carpeta.c_str());
    if (dir == nullptr) return;
    while (const dirent* d = readdir(dir)) {
        if (std::strcmp(d->d_name, ".") == 0 || std::strcmp(d->d_name, "..") == 0) continue;
        if (d->d_type == DT_DIR || d->d_type == DT_UNKNOWN) Agregar(e, Unir(carpeta, d->d_name), profundidad + 1);
    }
    closedir(dir);
}

int Profundidad(const Vigilante::Estado& e, const std::string& carpeta) {
    int n = 0;
    for (std::size_t i = e.raiz.size(); i < carpeta.size(); ++i) n += carpeta[i] == '/';
    return n;
}

void Vigilar(Vigilante::Estado& e) {
    alignas(inotify_event) char notificaciones[16 * 1024];
    for (;;) {
        pollfd esperados[2] = {{e.fd, POLLIN, 0}, {e.tubo[0], POLLIN, 0}};
        if (poll(esperados, 2, -1) < 0) {
            if (errno == EINTR) continue;
            e.alPerder(Motivo(errno));
            break;
        }
        if (esperados[1].revents != 0) break;
        const ssize_t n = read(e.fd, notificaciones, sizeof notificaciones);
        if (n <= 0) {
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            e.alPerder(Motivo(n < 0 ? errno : EIO));
            break;
        }
        bool fin = false;
        for (ssize_t desde = 0; desde < n;) {
            const auto* r = reinterpret_cast<const inotify_event*>(notificaciones + desde);
            desde += static_cast<ssize_t>(sizeof(inotify_event) + r->len);
            if (r->mask & IN_Q_OVERFLOW) {
                e.alPerder("desbordamiento");
                continue;
            }
            const auto carpeta = e.carpetas.find(r->wd);
            if (carpeta == e.carpetas.end()) continue;
            if (r->mask & IN_IGNORED) {
                const bool raiz = carpeta->second == e.raiz;
                e.carpetas.erase(carpeta);
                if (raiz) fin = true;
                continue;
            }
            if (r->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) {
                if (carpeta->second == e.raiz) fin = true;
                continue;
            }
            const std::string ruta = r->len > 0 ? Unir(carpeta->second, r->name) : carpeta->second;
            if ((r->mask & IN_ISDIR) && (r->mask & (IN_CREATE | IN_MOVED_TO))) Agregar(e, ruta, Profundidad(e, ruta));
            e.alCambiar(ruta);
        }
        if (fin) {
            e.alPerder("la carpeta vigilada ya no existe");
            break;
        }
    }
    e.activo = false;
}

}  // namespace

Vigilante::Vigilante(std::string raiz, std::function<void(const std::string&)> alCambiar,
                     std::function<void(const std::string&)> alPerder)
    : estado_(std::make_unique<Estado>()) {
    Estado& e = *estado_;
    e.raiz = std::move(raiz);
    while (e.raiz.size() > 1 && e.raiz.back() == '/') e.raiz.pop_back();
    e.alCambiar = std::move(alCambiar);
    e.alPerder = std::move(alPerder);
    e.fd = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (e.fd < 0 || pipe(e.tubo) != 0) {
        e.alPerder(Motivo(errno));
        return;
    }
    Agregar(e, e.raiz, 0);
    if (e.carpetas.empty()) {
        e.alPerder(Motivo(errno != 0 ? errno : ENOENT));
        return;
    }
    e.activo = true;
    try {
        e.hilo = std::thread(Vigilar, std::ref(e));
    } catch (const std::system_error&) {
        e.activo = false;
        e.alPerder("sin hilo");
    }
}

Vigilante::~Vigilante() {
    Estado& e = *estado_;
    if (e.tubo[1] >= 0 && e.hilo.joinable()) {
        const char c = 0;
        while (write(e.tubo[1], &c, 1) < 0 && errno == EINTR) {
        }
    }
    if (e.hilo.joinable()) e.hilo.join();
    for (int f : {e.fd, e.tubo[0], e.tubo[1]})
        if (f >= 0) close(f);
}

bool Vigilante::Activo() const noexcept { return estado_->activo; }

}  // namespace vigilancia
