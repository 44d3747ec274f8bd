#pragma once
// What the Windows and Linux client starts share: the failure texts and the one message box.

#include "platform/interfaz_usuario.h"

namespace API {

extern const char kTituloZelno[];      // "Zelno Activo"
extern const char kNoSePuedeCargar[];  // the description of failure number 1

// Called from inside a handler: the failure in hand becomes the box "number: description".
void MostrarFalloCliente(InterfazUsuario& ui) noexcept;

}  // namespace API
