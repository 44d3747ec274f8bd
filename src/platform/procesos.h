#pragma once
// Finding and starting processes. Failures are reported as plataforma::ErrorSistema; what the user
// is told about them is the callers' business.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace procesos {

// True when a running process has an executable name that ends with `nombreExe`, letter case
// ignored ("Zelno32.exe" finds ZELNO32.EXE, C:\x\zelno32.exe and MiZelno32.exe). An empty name is
// false at once, without looking at the processes.
bool ProcesoEnEjecucion(const std::string& nombreExe);

// A process started here, looked at later without holding anything up meanwhile.
class ProcesoIniciado {
public:
    explicit ProcesoIniciado(std::intptr_t id) noexcept : id_(id) {}
    ~ProcesoIniciado();
    ProcesoIniciado(ProcesoIniciado&& otro) noexcept : id_(otro.id_) { otro.id_ = 0; }
    ProcesoIniciado& operator=(ProcesoIniciado&&) = delete;
    ProcesoIniciado(const ProcesoIniciado&) = delete;

    // Waits up to `msEspera` (0: only looks). Returns 258 when it is still running then, 0 when it
    // has ended, -1 when the wait failed.
    std::int32_t Esperar(std::uint32_t msEspera);

    // The system's process id, for the activity log; 0 when unknown.
    std::uint32_t Id() const noexcept;

private:
    std::intptr_t id_;  // the process handle on Windows, the pid elsewhere; 0 once let go
};

// Starts `lineaComando` as a whole Windows command line (handles inherited, normal priority). A
// quoted program path is taken as it is; an unquoted one may hold blanks: the program is the longest
// part of the line, cut at a blank, that names an existing file (see ProgramaExistente), never a
// shorter one that happens to exist too ("C:\Archivos.exe" for "C:\Archivos de programa\..."). When
// none exists the system finds the program its usual way. Throws when it cannot be started.
ProcesoIniciado Iniciar(const std::string& lineaComando);

// The program of an unquoted command line that exists: from the longest part of the line up to a
// blank to the shortest, the first for which `esArchivo` is true; with `conExe`, a part whose last
// component has no dot is also tried with ".exe" added, as Windows does. `resto` is what follows
// it, from the blank on. None for a quoted program, an empty line, or when no part exists.
struct ProgramaYResto {
    std::string programa;
    std::string resto;
};
std::optional<ProgramaYResto> ProgramaExistente(std::string_view linea,
                                                const std::function<bool(const std::string&)>& esArchivo, bool conExe);

// Iniciar, then Esperar(msEspera).
std::int32_t IniciarYEsperar(const std::string& lineaComando, std::uint32_t msEspera);

// Starts the program at `ruta` in a normal, focused window and does not wait for it. False when it
// could not be started.
bool IniciarPrograma(const std::string& ruta);

}  // namespace procesos
