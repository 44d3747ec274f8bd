#pragma once
// What every window of the program asks of the system the same way: the user32 functions only newer
// systems have, the window's DPI and twips in pixels at it, the window size for a client area, the
// answer to WM_DPICHANGED, and the pump that lets waiting messages through.

#include <windows.h>

#include <string>

namespace ventana {

// A user32 function that newer versions of Windows have and older ones (and some Wine versions)
// lack; null when this system has none.
template <typename F>
F FuncionUser32(const char* nombre) {
    const HMODULE user32 = GetModuleHandleA("user32.dll");
    if (user32 == nullptr) return nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(GetProcAddress(user32, nombre)));
}

// The DPI the whole system was started with: the one system metrics and fonts come at.
UINT DpiSistema();

// The DPI of the monitor `hwnd` is on; the system's where the system cannot tell per monitor.
UINT Dpi(HWND hwnd);

// 1440 twips to the inch.
inline int Pixeles(int twips, UINT dpi) { return MulDiv(twips, static_cast<int>(dpi), 1440); }

// The window size that gives a client area of `ancho` x `alto` pixels to a window of these styles,
// with its frame measured at `dpi`.
SIZE TamanioParaCliente(int ancho, int alto, DWORD estilo, bool conMenu, DWORD extendido, UINT dpi);

// The system's message-box font at `dpi` (the metrics come at the system's DPI, the window may sit
// on a monitor with another); null when it cannot be made, and the controls keep their own.
HFONT FuenteMensajes(UINT dpi);

// WM_DPICHANGED: puts the window in the rectangle the system suggests in `lParam`. A minimised
// window keeps its restored size; it changes the next time the DPI does.
void AplicarDpiNuevo(HWND hwnd, LPARAM lParam);

// Lets every message waiting in this thread's queue through, then returns. With a `dialogo`, its
// keyboard navigation (Tab, arrows, Esc) keeps working meanwhile.
void BombearMensajes(HWND dialogo = nullptr);

// Opens `carpeta` in the file explorer, made first when it is not there yet; logged either way.
void AbrirCarpeta(HWND propietario, const std::string& carpeta);

// MessageBoxA for the windows' own boxes, with the message written to the activity log first.
int Caja(HWND propietario, const char* texto, const char* titulo, UINT tipo);

}  // namespace ventana
