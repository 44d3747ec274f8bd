#pragma once
// The about box: title, version and the texts of the version resource, and a button that starts the
// system-information tool.

#include <windows.h>

namespace frmAbout {

// Shows the box modally over `propietario` and returns when it closes.
void Mostrar(HINSTANCE instancia, HWND propietario);

}  // namespace frmAbout
