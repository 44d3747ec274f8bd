#include <windows.h>

#include <atomic>
#include <thread>
#include <utility>

#include "platform/error_sistema.h"
#include "platform/vigilancia.h"

namespace vigilancia {

struct Vigilante::Estado {
    std::string raiz;
    std::function<void(const std::string&)> alCambiar, alPerder;
    HANDLE carpeta = INVALID_HANDLE_VALUE;
    HANDLE parar = nullptr;
    std::atomic<bool> activo{false};
    std::thread hilo;
};

namespace {

std::string Ansi(const wchar_t* texto, int largo) {
    const int n = WideCharToMultiByte(CP_ACP, 0, texto, largo, nullptr, 0, nullptr, nullptr);
    std::string ansi(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_ACP, 0, texto, largo, ansi.data(), n, nullptr, nullptr);
    return ansi;
}

std::string Motivo(DWORD error) {
    return std::to_string(error) + ": " + plataforma::DescripcionError(static_cast<long>(error));
}

void Vigilar(Vigilante::Estado& e) {
    // DWORD-aligned, as the records in it are.
    alignas(DWORD) static thread_local char registros[64 * 1024];
    OVERLAPPED ov{};
    ov.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ov.hEvent == nullptr) {
        e.alPerder(Motivo(GetLastError()));
        e.activo = false;
        return;
    }
    for (;;) {
        ResetEvent(ov.hEvent);
        constexpr DWORD kCambios = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME |
                                   FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE;
        if (!ReadDirectoryChangesW(e.carpeta, registros, sizeof registros, TRUE, kCambios, nullptr, &ov, nullptr)) {
            e.alPerder(Motivo(GetLastError()));
            break;
        }
        HANDLE esperados[2] = {ov.hEvent, e.parar};
        const DWORD hecho = WaitForMultipleObjects(2, esperados, FALSE, INFINITE);
        DWORD leidos = 0;
        if (hecho != WAIT_OBJECT_0) {
            CancelIo(e.carpeta);
            GetOverlappedResult(e.carpeta, &ov, &leidos, TRUE);
            break;
        }
        if (!GetOverlappedResult(e.carpeta, &ov, &leidos, FALSE)) {
            const DWORD error = GetLastError();
            if (error == ERROR_NOTIFY_ENUM_DIR) {
                e.alPerder("desbordamiento");
                continue;
            }
            e.alPerder(Motivo(error));
            break;
        }
        // Nothing read: more changed than the buffer holds.
        if (leidos == 0) {
            e.alPerder("desbordamiento");
            continue;
        }
        for (DWORD desde = 0;;) {
            const auto* r = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(registros + desde);
            const std::string nombre = Ansi(r->FileName, static_cast<int>(r->FileNameLength / sizeof(wchar_t)));
            const bool barra = !e.raiz.empty() && (e.raiz.back() == '\\' || e.raiz.back() == '/');
            e.alCambiar(e.raiz + (barra ? "" : "\\") + nombre);
            if (r->NextEntryOffset == 0) break;
            desde += r->NextEntryOffset;
        }
    }
    CloseHandle(ov.hEvent);
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
    e.carpeta = CreateFileA(e.raiz.c_str(), FILE_LIST_DIRECTORY, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
    if (e.carpeta == INVALID_HANDLE_VALUE) {
        e.alPerder(Motivo(GetLastError()));
        return;
    }
    e.parar = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (e.parar == nullptr) {
        e.alPerder(Motivo(GetLastError()));
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
    if (e.parar != nullptr) SetEvent(e.parar);
    if (e.hilo.joinable()) e.hilo.join();
    if (e.parar != nullptr) CloseHandle(e.parar);
    if (e.carpeta != INVALID_HANDLE_VALUE) CloseHandle(e.carpeta);
}

bool Vigilante::Activo() const noexcept { return estado_->activo; }

}  // namespace vigilancia
