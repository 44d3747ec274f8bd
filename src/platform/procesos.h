#pragma once
// Finding and starting the exchange client program.

#include <cstdint>
#include <string>

#include "platform/interfaz_usuario.h"

namespace API {

// True when a running process has an executable name that ends with `nombreExe`, letter case
// ignored ("Zelno32.exe" finds ZELNO32.EXE, C:\x\zelno32.exe and MiZelno32.exe). An empty name is
// false at once, without looking at the processes.
bool ProcesoEnEjecucion(const std::string& nombreExe);

// Starts `rutaExe` as a whole command line and waits up to 500 ms on the new process. Returns 258
// when it is still running then, 0 when it ended or could not be started, -1 when the wait failed.
// A start that fails shows one message box, "1: No se puede cargar cliente Zelno32.exe", titled
// "Zelno Activo"; no failure leaves the routine.
std::int32_t EjecutarCliente(const std::string& rutaExe, InterfazUsuario& ui);

}  // namespace API
