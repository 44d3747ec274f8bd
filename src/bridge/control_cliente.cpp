#include "bridge/control_cliente.h"

#include "platform/error_sistema.h"
#include "platform/procesos.h"

namespace API {

namespace {

const char kTituloZelno[] = "Zelno Activo";
const char kNoSePuedeCargar[] = "No se puede cargar cliente Zelno32.exe";
constexpr std::uint32_t kEsperaArranque = 500;  // ms

}  // namespace

bool ProcesoEnEjecucion(const std::string& nombreExe) { return procesos::ProcesoEnEjecucion(nombreExe); }

std::int32_t EjecutarCliente(const std::string& rutaExe, InterfazUsuario& ui) {
    try {
        try {
            return procesos::IniciarYEsperar(rutaExe, kEsperaArranque);
        } catch (const plataforma::ErrorSistema&) {
            // Whatever the system's reason, the user is told the client could not be loaded.
            throw plataforma::ErrorSistema(1, kNoSePuedeCargar);
        }
    } catch (...) {
        try {
            ui.MostrarMensaje(plataforma::TextoFalloEnCurso(), kTituloZelno, Icono::Critico);
        } catch (...) {
            // A user interface that cannot show the message loses it; the start still ends quietly.
        }
    }
    return 0;
}

}  // namespace API
