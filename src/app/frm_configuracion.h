#pragma once
// The settings dialog frmConfiguracion: the seven settings of clsConfiguracion, the recent entries
// of its three combo boxes, and the shell's folder browser behind its "..." buttons.

#include <windows.h>

#include "config/configuracion.h"

// Shows the dialog modally over `propietario`. It reloads `configuracion` from the store when it
// opens and saves it on "Grabar". True when the user saved.
bool MostrarConfiguracion(HWND propietario, clsConfiguracion& configuracion);
