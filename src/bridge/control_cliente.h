#pragma once
// The polling cycle's view of the exchange client process, so tests can stand in for it.

#include <cstdint>
#include <string>

#include "platform/interfaz_usuario.h"
#include "platform/procesos.h"

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
