#pragma once
// Finding and starting the exchange client program Zelno32.exe, and the polling cycle's view of it
// (an interface, so tests can stand in for the client).

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/procesos.h"

#include "config/interfaz_usuario.h"

namespace API {

// The process name both callers look for, whatever command line the settings give.
inline constexpr char kNombreCliente[] = "Zelno32.exe";

// True when a process whose executable name ends with `nombreExe` (letter case ignored) runs.
bool ProcesoEnEjecucion(const std::string& nombreExe);

// How long a started client must stay up to count as started.
inline constexpr std::uint32_t kEsperaArranqueMs = 500;

// Starts `rutaExe` as a whole command line and does not wait. A start that fails shows one message
// box, "1: No se puede cargar cliente Zelno32.exe", titled "Zelno Activo", whatever program the line
// names, and gives nothing; no failure leaves the routine.
std::optional<procesos::ProcesoIniciado> IniciarCliente(const std::string& rutaExe, Avisos& ui);

// IniciarCliente, then a wait of up to kEsperaArranqueMs on the new process. Returns 258 when it is
// still running then, 0 when it ended or could not be started, -1 when the wait failed.
std::int32_t EjecutarCliente(const std::string& rutaExe, Avisos& ui);

}  // namespace API

class ControlCliente {
public:
    virtual ~ControlCliente() = default;
    virtual bool ProcesoEnEjecucion(const std::string& nombreExe) = 0;
    // Starts the client and returns at once. What it returns, called once the start-up wait is over,
    // looks at the new process: 258 still running, 0 ended, -1 the look failed. Empty when the start
    // failed (its message already shown).
    virtual std::function<std::int32_t()> IniciarCliente(const std::string& rutaExe, Avisos& ui) = 0;
};

// Remembers how the last start went, for the main window's "not serving" state: a client that could
// not be started, or ended within its start-up wait, stays "not started" until it is found running
// or a start succeeds. Any thread.
class ControlClienteReal final : public ControlCliente {
public:
    bool ProcesoEnEjecucion(const std::string& nombreExe) override;
    std::function<std::int32_t()> IniciarCliente(const std::string& rutaExe, Avisos& ui) override;
    bool SinIniciar() const noexcept { return sinIniciar_.load(); }

private:
    std::atomic<bool> sinIniciar_{false};
};
