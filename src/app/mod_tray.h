#pragma once
// The notification-area icon: one record for the whole program, kept by these four routines.

#include <windows.h>

#include <string>

// Adds the icon for `ventana`, showing the window's current icon and reporting mouse events to it
// as WM_MOUSEMOVE. No tooltip yet.
void AgregarIconoBandeja(HWND ventana);
// The tooltip; the record's field holds 63 characters and the ending NUL.
void CambiarTextoBandeja(const std::string& texto);
// Shows `imagen` in the notification area. A handle that is not an icon changes nothing.
void CambiarIconoBandeja(HICON imagen);
void QuitarIconoBandeja();

// What the notification area was last told, for the main window's test introspection.
bool IconoBandejaPresente();
HICON IconoBandejaActual();
