#pragma once
// The "Terminales" window: a header line with the overall state and the answers kept aside still
// unseen, then one row per terminal with its request letter, how long its sale has waited, where its
// exchange stands, its last answer and its last failure, read again every second while it is open;
// the selected row's failure in full below; "Copiar diagnóstico" and "Abrir no entregadas". Modeless
// and one at a time; while it is closed nothing of it runs.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "bridge/tablero_terminales.h"

namespace frmTerminales {

// What the window asks its owner for: the rows and the header at each refresh, the text of
// "Copiar diagnóstico", and the opening of the kept answers' folder.
struct Fuente {
    std::function<std::vector<FilaTerminal>()> filas;
    std::function<std::string()> cabecera;
    std::function<std::string()> diagnostico;
    std::function<void()> abrirApartadas;
};

// Opens the window, or brings the open one forward. What `fuente` reaches must stay valid until
// Cerrar.
void Mostrar(HINSTANCE instancia, Fuente fuente);

// Closes the window when it is open: the program is ending.
void Cerrar();

}  // namespace frmTerminales
