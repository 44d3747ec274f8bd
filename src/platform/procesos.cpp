#include "platform/error_sistema.h"
#include "platform/procesos_comun.h"

namespace API {

const char kTituloZelno[] = "Zelno Activo";
const char kNoSePuedeCargar[] = "No se puede cargar cliente Zelno32.exe";

void MostrarFalloCliente(InterfazUsuario& ui) noexcept {
    try {
        ui.MostrarMensaje(plataforma::TextoFalloEnCurso(), kTituloZelno, Icono::Critico);
    } catch (...) {
        // The client start promises not to fail; a user interface that cannot show the message loses it.
    }
}

}  // namespace API
