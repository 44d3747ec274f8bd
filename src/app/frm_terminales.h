#pragma once
// The "Terminales" window: one row per terminal with its request letter, where its exchange stands,
// its last answer and its last failure, read again every second while it is open. Modeless and one
// at a time; while it is closed nothing of it runs.

#include <windows.h>

#include <functional>
#include <vector>

#include "bridge/tablero_terminales.h"

namespace frmTerminales {

// The rows, asked for at each refresh.
using Filas = std::function<std::vector<FilaTerminal>()>;

// Opens the window, or brings the open one forward. `filas` must stay valid until Cerrar.
void Mostrar(HINSTANCE instancia, Filas filas);

// Closes the window when it is open: the program is ending.
void Cerrar();

}  // namespace frmTerminales
