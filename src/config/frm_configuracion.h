#pragma once
// The settings dialog frmConfiguracion: the seven settings of clsConfiguracion, the recent entries
// of its three combo boxes, and the shell's folder browser behind its "..." buttons.

#include <windows.h>

#include <string>

#include "config/configuracion.h"

// Shows the dialog modally over `propietario`. It reloads `configuracion` from the store when it
// opens and saves it on "Grabar". True when the user saved.
bool MostrarConfiguracion(HWND propietario, clsConfiguracion& configuracion);

// The shell's folder browser over `hWndOwner`, its tree rooted at the special folder `RootFolder`
// (a CSIDL number; the desktop when it cannot be resolved), `sMessage` as its heading and `Browse`
// its BIF_ flags. The chosen item's file-system path, or empty text when the user cancelled or the
// item has none.
std::string BrowseFolders(HWND hWndOwner, const std::string& sMessage, UINT Browse, int RootFolder);
