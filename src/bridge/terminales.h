#pragma once
// The terminal list: one item per point-of-sale terminal folder under the Korvane root, and the
// matching folders on the exchange client's side.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "config/configuracion.h"
#include "config/interfaz_usuario.h"

class CortesCarpetas;

struct clsItemTerXX {
    std::string TerXX;            // folder name as the listing gave it, e.g. TER01
    std::string CodigoTerminal;   // TerXX from its fourth character on: "01"
    std::int16_t NumeroTerminal;  // 1-based position in the order of discovery
};

// Each load makes a new list; a polling cycle that is still walking the old one keeps it alive.
using ListaTerminales = std::shared_ptr<const std::vector<clsItemTerXX>>;

// Lists the terminal folders of DirectorioKorvane ("TER*.*", not "TERM...", folders only, hidden and
// system entries left out) and creates on the client side, one level at a time, term<code> with its
// upload and download folders, and tx when ActivarTX is above 0. A failure ends the load with a
// "Carga de terminales" message; the list then holds the terminals found before it. A folder whose
// listed name holds '?' (characters outside the ANSI code page) is left out, with a message of the
// same title the first time this process meets it. With `cortes`, a root that cannot be reached is
// also noted there as an outage, without a second message (the cycle says when it is back, and the
// list is loaded again then). Each load logs the terminals found.
ListaTerminales CargarTerminales(const clsConfiguracion& configuracion, InterfazUsuario& ui,
                                 CortesCarpetas* cortes = nullptr);
