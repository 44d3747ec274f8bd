#include "app/ayudas_ventana.h"

#include <shellapi.h>

#include <string>

#include "platform/actividad.h"

namespace ventana {

// Read from the vertical axis: font heights are defined against LOGPIXELSY, and the two axes never
// differ on a screen Windows drives. 96 when the screen cannot be asked.
UINT DpiSistema() {
    const HDC dc = GetDC(nullptr);
    const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
    if (dc != nullptr) ReleaseDC(nullptr, dc);
    return dpi > 0 ? static_cast<UINT>(dpi) : 96;
}

// Where GetDpiForWindow is missing (before Windows 10 1607) the manifest leaves the program
// system-aware, so every window of it is at the system's DPI: the one fallback, on purpose.
UINT Dpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    if (const auto getDpiForWindow = FuncionUser32<GetDpiForWindowFn>("GetDpiForWindow")) {
        const UINT dpi = getDpiForWindow(hwnd);
        if (dpi != 0) return dpi;
    }
    return DpiSistema();
}

SIZE TamanioParaCliente(int ancho, int alto, DWORD estilo, bool conMenu, DWORD extendido, UINT dpi) {
    RECT marco{0, 0, ancho, alto};
    // Without the per-DPI call the frame is measured at the system's DPI.
    using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    const auto ajustarParaDpi = FuncionUser32<AdjustForDpiFn>("AdjustWindowRectExForDpi");
    if (ajustarParaDpi == nullptr || !ajustarParaDpi(&marco, estilo, conMenu, extendido, dpi))
        AdjustWindowRectEx(&marco, estilo, conMenu, extendido);
    return SIZE{marco.right - marco.left, marco.bottom - marco.top};
}

HFONT FuenteMensajes(UINT dpi) {
    NONCLIENTMETRICSA metricas{};
    metricas.cbSize = sizeof metricas;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metricas, &metricas, 0)) return nullptr;
    LOGFONTA fuente = metricas.lfMessageFont;
    fuente.lfHeight = MulDiv(fuente.lfHeight, static_cast<int>(dpi), static_cast<int>(DpiSistema()));
    return CreateFontIndirectA(&fuente);
}

void AplicarDpiNuevo(HWND hwnd, LPARAM lParam) {
    const RECT* sugerido = reinterpret_cast<const RECT*>(lParam);
    if (!IsIconic(hwnd))
        SetWindowPos(hwnd, nullptr, sugerido->left, sugerido->top, sugerido->right - sugerido->left,
                     sugerido->bottom - sugerido->top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void BombearMensajes(HWND dialogo) {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to swallow: the main loop must still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (dialogo != nullptr && IsDialogMessageA(dialogo, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

int Caja(HWND propietario, const char* texto, const char* titulo, UINT tipo) {
    actividad::Anotar(std::string("Mensaje \"") + titulo + "\": " + texto);
    return MessageBoxA(propietario, texto, titulo, tipo);
}

void AbrirCarpeta(HWND propietario, const std::string& carpeta) {
    if (carpeta.empty()) return;
    CreateDirectoryA(carpeta.c_str(), nullptr);
    const auto r =
        reinterpret_cast<INT_PTR>(ShellExecuteA(propietario, "open", carpeta.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    actividad::Anotar("Se abre la carpeta " + carpeta + (r > 32 ? "" : " (no se pudo: " + std::to_string(r) + ")"));
}

}  // namespace ventana
