#include "app/mod_tray.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

#include "app/ids_recursos.h"

namespace {

#if !defined(_WIN64)
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the first NOTIFYICONDATAA layout is 88 bytes");
#endif

// The first layout of the record is what every shell version accepts; the fields after szTip[64]
// stay unused. Module state by nature: the icon belongs to the process, not to a window object.
NOTIFYICONDATAA DatosIconoBandeja{};
bool presente = false;

void Preparar() { DatosIconoBandeja.cbSize = NOTIFYICONDATAA_V1_SIZE; }

HICON IconoDeVentana(HWND ventana) {
    auto icono = reinterpret_cast<HICON>(SendMessageA(ventana, WM_GETICON, ICON_SMALL, 0));
    if (icono == nullptr) icono = reinterpret_cast<HICON>(SendMessageA(ventana, WM_GETICON, ICON_BIG, 0));
    return icono;
}

}  // namespace

void AgregarIconoBandeja(HWND ventana) {
    Preparar();
    DatosIconoBandeja.hWnd = ventana;
    DatosIconoBandeja.uID = 1;
    DatosIconoBandeja.uCallbackMessage = ids::kMensajeBandeja;
    DatosIconoBandeja.hIcon = IconoDeVentana(ventana);
    DatosIconoBandeja.uFlags = NIF_MESSAGE | NIF_ICON;
    presente = Shell_NotifyIconA(NIM_ADD, &DatosIconoBandeja) != FALSE;
}

void CambiarTextoBandeja(const std::string& texto) {
    Preparar();
    // Only the first 64 bytes of szTip belong to the first layout.
    constexpr std::size_t kLargoTip = 64;
    const std::size_t largo = std::min(texto.size(), kLargoTip - 1);
    std::memcpy(DatosIconoBandeja.szTip, texto.data(), largo);
    DatosIconoBandeja.szTip[largo] = '\0';
    DatosIconoBandeja.uFlags = NIF_TIP;
    Shell_NotifyIconA(NIM_MODIFY, &DatosIconoBandeja);
}

void CambiarIconoBandeja(HICON imagen) {
    ICONINFO info;
    if (imagen == nullptr || !GetIconInfo(imagen, &info)) return;
    if (info.hbmMask != nullptr) DeleteObject(info.hbmMask);
    if (info.hbmColor != nullptr) DeleteObject(info.hbmColor);
    if (!info.fIcon) return;
    Preparar();
    DatosIconoBandeja.hIcon = imagen;
    DatosIconoBandeja.uFlags = NIF_ICON;
    Shell_NotifyIconA(NIM_MODIFY, &DatosIconoBandeja);
}

void QuitarIconoBandeja() {
    Preparar();
    DatosIconoBandeja.uFlags = 0;
    Shell_NotifyIconA(NIM_DELETE, &DatosIconoBandeja);
    presente = false;
}

bool IconoBandejaPresente() { return presente; }

HICON IconoBandejaActual() { return DatosIconoBandeja.hIcon; }
