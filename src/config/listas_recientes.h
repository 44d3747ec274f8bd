#pragma once
// The recent-entry lists of the settings dialog's three combo boxes, kept in the settings store
// under keys "1", "2", ... of a section of their own, "1" the most recent.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "config/interfaz_usuario.h"

struct ListaReciente {
    const char* seccion;
    const char* tituloLeer;    // title of the message when reading fails
    const char* tituloGrabar;  // title of the message when writing fails
};

extern const ListaReciente kLastDirKorvane;
extern const ListaReciente kLastDirExeZelno;
extern const ListaReciente kLastDirZelno;

// Appends the stored entries to `lista`, from key "1" up to the first absent or empty key. A
// failure shows its description under the list's read title and keeps what was appended.
void LeerListaReciente(const std::string& aplicacion, const ListaReciente& cual, std::vector<std::string>& lista,
                       InterfazUsuario& ui);

// Rewrites the stored list: `valorNuevo` (untrimmed) under "1", then those of the first five entries
// of `lista` that are not blank and differ from it ignoring letter case, trimmed. An empty
// `valorNuevo` leaves the store alone. A failure shows its description under the write title.
void GrabarListaReciente(const std::string& aplicacion, const ListaReciente& cual, const std::string& valorNuevo,
                         const std::vector<std::string>& lista, InterfazUsuario& ui);

// The number at the start of the interval field: blanks anywhere are ignored, a text that does
// not start with a number gives 0, and the value is rounded half to even. Empty when the number
// does not fit -32768..32767.
std::optional<std::int16_t> NumeroDelIntervalo(const std::string& texto);
