#include <windows.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <utility>
#include <vector>

#include "platform/error_sistema.h"
#include "platform/vigilancia.h"

namespace vigilancia {

namespace {

// One folder's watch: its handle, its request in progress and the buffer the system fills.
struct Carpeta {
    Vigilante::Estado* estado = nullptr;
    std::string ruta;
    bool raiz = false;
    HANDLE h = INVALID_HANDLE_VALUE;
    OVERLAPPED ov{};
    bool enCurso = false;  // a request is with the system, which may still write into `notificaciones`
    alignas(DWORD) char notificaciones[16 * 1024];
};

}  // namespace

// Each folder has a watch of its own, not one over the root's subtree: Wine's watch of a subtree
// leaves out the folders that were there before it began. All run on one thread, which issues
// every request and takes their completions in alertable waits.
struct Vigilante::Estado {
    std::string raiz;
    std::function<void(const std::string&)> alCambiar, alPerder;
    HANDLE parar = nullptr;
    HANDLE listo = nullptr;
    std::string motivoInicio;  // why the root's watch could not begin; empty once it has
    std::map<std::string, std::unique_ptr<Carpeta>> carpetas;
    std::vector<std::string> porPedir;  // folders whose request has completed, to be made again
    std::atomic<bool> activo{false};
    bool terminando = false;  // on the watch's thread only: no new request once the end has begun
    std::thread hilo;
};

namespace {

// A folder's next request waits this long after its completion: the changes of one step (a till's
// three files, our copies of an answer) then come in one completion, not one each. The system keeps
// what changes meanwhile; a change waits at most this long to be reported.
constexpr DWORD kPausaMs = 40;

// How long the end waits for the cancelled requests to complete.
constexpr ULONGLONG kEsperaCanceladasMs = 5000;

constexpr DWORD kCambios = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE |
                           FILE_NOTIFY_CHANGE_SIZE;

std::string Ansi(const wchar_t* texto, int largo) {
    const int n = WideCharToMultiByte(CP_ACP, 0, texto, largo, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, texto, largo, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

std::string Motivo(DWORD error) {
    return std::to_string(error) + ": " + plataforma::DescripcionError(static_cast<long>(error));
}

std::string Unir(const std::string& carpeta, const std::string& nombre) {
    const bool barra = !carpeta.empty() && (carpeta.back() == '\\' || carpeta.back() == '/');
    return carpeta + (barra ? "" : "\\") + nombre;
}

void CALLBACK Completado(DWORD error, DWORD leidos, LPOVERLAPPED ov);

bool Pedir(Carpeta& c) {
    c.enCurso = ReadDirectoryChangesW(c.h, c.notificaciones, sizeof c.notificaciones, FALSE, kCambios, nullptr, &c.ov,
                                      Completado) != 0;
    return c.enCurso;
}

// Starts the watch of one folder; the reason when it cannot.
std::string Abrir(Vigilante::Estado& e, const std::string& ruta, bool raiz) {
    if (e.carpetas.count(ruta) != 0) return {};
    auto c = std::make_unique<Carpeta>();
    c->estado = &e;
    c->ruta = ruta;
    c->raiz = raiz;
    c->h = CreateFileA(ruta.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (c->h == INVALID_HANDLE_VALUE) return Motivo(GetLastError());
    // The completion routine gets its folder through hEvent, which the system leaves alone then.
    c->ov.hEvent = reinterpret_cast<HANDLE>(c.get());
    if (!Pedir(*c)) {
        const DWORD error = GetLastError();
        CloseHandle(c->h);
        return Motivo(error);
    }
    e.carpetas.emplace(ruta, std::move(c));
    return {};
}

void Cerrar(Vigilante::Estado& e, const std::string& ruta) {
    const auto hallada = e.carpetas.find(ruta);
    if (hallada == e.carpetas.end()) return;
    CloseHandle(hallada->second->h);
    e.carpetas.erase(hallada);
}

bool EsCarpeta(const std::string& ruta) {
    const DWORD a = GetFileAttributesA(ruta.c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

void CALLBACK Completado(DWORD error, DWORD leidos, LPOVERLAPPED ov) {
    auto& c = *reinterpret_cast<Carpeta*>(ov->hEvent);
    c.enCurso = false;
    Vigilante::Estado& e = *c.estado;
    if (error == ERROR_OPERATION_ABORTED || e.terminando) return;  // the watch is ending
    if (error != ERROR_SUCCESS && error != ERROR_NOTIFY_ENUM_DIR) {
        // The folder went away, or the system gave up on it: the timer covers it from now.
        if (c.raiz) e.alPerder(Motivo(error));
        if (!c.raiz) Cerrar(e, c.ruta);
        return;
    }
    if (error == ERROR_NOTIFY_ENUM_DIR || leidos == 0) {
        e.alPerder("desbordamiento");
    } else {
        for (DWORD desde = 0;;) {
            const auto* r = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(c.notificaciones + desde);
            const std::string ruta =
                Unir(c.ruta, Ansi(r->FileName, static_cast<int>(r->FileNameLength / sizeof(wchar_t))));
            // A folder made in the root (a new terminal's) is watched from now on.
            if (c.raiz && (r->Action == FILE_ACTION_ADDED || r->Action == FILE_ACTION_RENAMED_NEW_NAME) &&
                EsCarpeta(ruta))
                Abrir(e, ruta, false);
            e.alCambiar(ruta);
            if (r->NextEntryOffset == 0) break;
            desde += r->NextEntryOffset;
        }
    }
    e.porPedir.push_back(c.ruta);
}

// The requests of the folders whose completions have come, made again.
void PedirDeNuevo(Vigilante::Estado& e) {
    std::vector<std::string> rutas;
    rutas.swap(e.porPedir);
    for (const std::string& ruta : rutas) {
        const auto hallada = e.carpetas.find(ruta);
        if (hallada == e.carpetas.end()) continue;
        Carpeta& c = *hallada->second;
        if (Pedir(c)) continue;
        if (c.raiz)
            e.alPerder(Motivo(GetLastError()));
        else
            Cerrar(e, c.ruta);
    }
}

void Vigilar(Vigilante::Estado& e) {
    e.motivoInicio = Abrir(e, e.raiz, true);
    if (e.motivoInicio.empty()) {
        WIN32_FIND_DATAA datos;
        const HANDLE busqueda = FindFirstFileA(Unir(e.raiz, "*").c_str(), &datos);
        if (busqueda != INVALID_HANDLE_VALUE) {
            do {
                const std::string nombre = datos.cFileName;
                if ((datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && nombre != "." && nombre != "..")
                    Abrir(e, Unir(e.raiz, nombre), false);
            } while (FindNextFileA(busqueda, &datos));
            FindClose(busqueda);
        }
    }
    const bool bien = e.motivoInicio.empty();
    e.activo = bien;
    SetEvent(e.listo);
    if (!bien) return;
    // Completions run here, in the alertable wait, until the end is asked for; the pause after them
    // does not run the ones that come meanwhile.
    while (WaitForSingleObjectEx(e.parar, INFINITE, TRUE) == WAIT_IO_COMPLETION &&
           WaitForSingleObject(e.parar, kPausaMs) == WAIT_TIMEOUT)
        PedirDeNuevo(e);
    e.terminando = true;
    for (auto& [ruta, c] : e.carpetas)
        if (c->enCurso) CancelIoEx(c->h, &c->ov);
    // A cancelled request still completes, and the system may write into its buffer until it has
    // (a slow share answers late): each buffer goes only once its completion has run here.
    const auto enCurso = [&] {
        return std::any_of(e.carpetas.begin(), e.carpetas.end(), [](const auto& c) { return c.second->enCurso; });
    };
    const ULONGLONG limite = GetTickCount64() + kEsperaCanceladasMs;
    while (enCurso() && GetTickCount64() < limite) SleepEx(100, TRUE);
    for (auto& [ruta, c] : e.carpetas) {
        CloseHandle(c->h);
        // A request that never completes keeps its buffer for good: a small leak at the end rather
        // than the system writing into freed memory.
        if (c->enCurso) static_cast<void>(c.release());
    }
    e.carpetas.clear();
    e.activo = false;
}

}  // namespace

Vigilante::Vigilante(std::string raiz, std::function<void(const std::string&)> alCambiar,
                     std::function<void(const std::string&)> alPerder)
    : estado_(std::make_unique<Estado>()) {
    Estado& e = *estado_;
    e.raiz = std::move(raiz);
    e.alCambiar = std::move(alCambiar);
    e.alPerder = std::move(alPerder);
    e.parar = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    e.listo = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (e.parar == nullptr || e.listo == nullptr) {
        e.alPerder(Motivo(GetLastError()));
        return;
    }
    try {
        e.hilo = std::thread(Vigilar, std::ref(e));
    } catch (const std::system_error&) {
        e.alPerder("sin hilo");
        return;
    }
    // The watch has begun when this returns: what changes from now on is reported.
    WaitForSingleObject(e.listo, INFINITE);
    if (!e.motivoInicio.empty()) {
        e.hilo.join();
        e.alPerder(e.motivoInicio);
    }
}

Vigilante::~Vigilante() {
    Estado& e = *estado_;
    if (e.parar != nullptr) SetEvent(e.parar);
    if (e.hilo.joinable()) e.hilo.join();
    if (e.parar != nullptr) CloseHandle(e.parar);
    if (e.listo != nullptr) CloseHandle(e.listo);
}

bool Vigilante::Activo() const noexcept { return estado_->activo; }

}  // namespace vigilancia
