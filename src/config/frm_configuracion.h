#pragma once
// The settings dialog frmConfiguracion.

#include <windows.h>

#include "config/configuracion.h"

// Shows the dialog modally over `propietario`, editing `configuracion`. True when the user saved.
bool MostrarConfiguracion(HWND propietario, clsConfiguracion& configuracion);
