#include "bridge/control_cliente.h"

#include <memory>

#include "config/textos_mensajes.h"
#include "platform/actividad.h"
#include "platform/error_sistema.h"
#include "platform/procesos.h"

namespace API {

namespace {

using mensajes::kTextoNoSePuedeCargar;
using mensajes::kTituloZelnoActivo;

}  // namespace

bool ProcesoEnEjecucion(const std::string& nombreExe) { return procesos::ProcesoEnEjecucion(nombreExe); }

std::optional<procesos::ProcesoIniciado> IniciarCliente(const std::string& rutaExe, Avisos& ui) {
    try {
        try {
            auto proceso = procesos::Iniciar(rutaExe);
            actividad::Anotar("Cliente iniciado: " + rutaExe + " (proceso " + std::to_string(proceso.Id()) + ")");
            return proceso;
        } catch (const plataforma::ErrorSistema&) {
            // Whatever the system's reason, the user is told the client could not be loaded.
            throw plataforma::ErrorSistema(1, kTextoNoSePuedeCargar);
        }
    } catch (...) {
        try {
            ui.MostrarMensaje(plataforma::TextoFalloEnCurso(), kTituloZelnoActivo, Icono::Critico);
        } catch (...) {
            // A user interface that cannot show the message loses it; the start still ends quietly.
            actividad::AnotarFalloIgnorado("mensaje del inicio del cliente");
        }
    }
    return std::nullopt;
}

std::int32_t EjecutarCliente(const std::string& rutaExe, Avisos& ui) {
    auto proceso = IniciarCliente(rutaExe, ui);
    return proceso ? proceso->Esperar(kEsperaArranqueMs) : 0;
}

}  // namespace API

bool ControlClienteReal::ProcesoEnEjecucion(const std::string& nombreExe) {
    const bool corre = API::ProcesoEnEjecucion(nombreExe);
    if (corre) sinIniciar_ = false;
    return corre;
}

std::function<std::int32_t()> ControlClienteReal::IniciarCliente(const std::string& rutaExe, Avisos& ui) {
    auto proceso = API::IniciarCliente(rutaExe, ui);
    if (!proceso) {
        sinIniciar_ = true;
        return {};
    }
    auto compartido = std::make_shared<procesos::ProcesoIniciado>(std::move(*proceso));
    // The window outlives every turn that holds this; the flag is this object's.
    return [compartido, this] {
        const std::int32_t resultado = compartido->Esperar(0);
        sinIniciar_ = resultado <= 0;
        return resultado;
    };
}
