#pragma once
// Finding and starting the exchange client program Zelno32.exe, and the polling cycle's view of it
// (an interface, so tests can stand in for the client).

#include <cstdint>
#include <string>

#include "config/interfaz_usuario.h"

namespace API {

// The process name both callers look for, whatever command line the settings give.
inline constexpr char kNombreCliente[] = "Zelno32.exe";

// True when a process whose executable name ends with `nombreExe` (letter case ignored) runs.
bool ProcesoEnEjecucion(const std::string& nombreExe);

// Starts `rutaExe` as a whole command line and waits up to 500 ms on the new process. Returns 258
// when it is still running then, 0 when it ended or could not be started, -1 when the wait failed.
// A start that fails shows one message box, "1: No se puede cargar cliente Zelno32.exe", titled
// "Zelno Activo", whatever program the line names; no failure leaves the routine.
std::int32_t EjecutarCliente(const std::string& rutaExe, InterfazUsuario& ui);

}  // namespace API

class ControlCliente {
public:
    virtual ~ControlCliente() = default;
    virtual bool ProcesoEnEjecucion(const std::string& nombreExe) = 0;
    virtual std::int32_t EjecutarCliente(const std::string& rutaExe, InterfazUsuario& ui) = 0;
};

class ControlClienteReal final : public ControlCliente {
public:
    bool ProcesoEnEjecucion(const std::string& nombreExe) override { return API::ProcesoEnEjecucion(nombreExe); }
    std::int32_t EjecutarCliente(const std::string& rutaExe, InterfazUsuario& ui) override {
        return API::EjecutarCliente(rutaExe, ui);
    }
};
