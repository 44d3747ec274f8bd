#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/error_sistema.h"
#include "platform/manejadores_win32.h"
#include "platform/procesos.h"
#include "platform/texto_ansi.h"

namespace procesos {

namespace {

#if !defined(_WIN64)
// The 32-bit build walks the processes with the record of the 8-bit-character form.
static_assert(sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 (ANSI) must be 296 bytes");
#endif

using plataforma::Manejador;

bool EsArchivo(const std::string& ruta) {
    const DWORD atributos = GetFileAttributesA(ruta.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace

namespace {

// The process the last walk found, held open: while it runs, the next check is one wait on it
// instead of a walk over every process, which reads a file per process and thread under Wine.
struct ProcesoVisto {
    std::mutex m;
    std::string nombre;
    Manejador proceso;
};
ProcesoVisto& Visto() {
    static ProcesoVisto visto;
    return visto;
}

// The id of a running process whose executable name ends with `nombreExe`.
std::optional<DWORD> BuscarProceso(const std::string& nombreExe) {
    // An invalid snapshot makes every read fail: the walk below then finds nothing.
    Manejador instantanea(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entrada;
    std::memset(&entrada, 0, sizeof entrada);
    entrada.dwSize = sizeof entrada;
    BOOL leido = Process32First(instantanea.Get(), &entrada);

    // The first entry is looked at even when reading it failed: the record is then all zeros.
    do {
        const std::size_t largo = strnlen(entrada.szExeFile, sizeof entrada.szExeFile);
        if (TerminaSinMayusculas(std::string_view(entrada.szExeFile, largo), nombreExe)) return entrada.th32ProcessID;
        leido = Process32Next(instantanea.Get(), &entrada);
    } while (leido);
    return std::nullopt;
}

}  // namespace

bool ProcesoEnEjecucion(const std::string& nombreExe) {
    if (nombreExe.empty()) return false;

    ProcesoVisto& visto = Visto();
    const std::lock_guard lock(visto.m);
    if (visto.proceso && visto.nombre == nombreExe && WaitForSingleObject(visto.proceso.Get(), 0) == WAIT_TIMEOUT)
        return true;
    visto.proceso.Cerrar();
    visto.nombre.clear();

    const std::optional<DWORD> id = BuscarProceso(nombreExe);
    if (!id) return false;
    // A process that cannot be opened is running all the same: it is only walked for again next time.
    visto.proceso = Manejador(OpenProcess(SYNCHRONIZE, FALSE, *id));
    if (visto.proceso) visto.nombre = nombreExe;
    return true;
}

ProcesoIniciado Iniciar(const std::string& lineaComando) {
    // Left to itself, the system would try "C:\Archivos.exe" first for an unquoted
    // "C:\Archivos de programa\Zelno\Zelno32.exe": the program that exists is named to it instead.
    const auto existente = ProgramaExistente(lineaComando, EsArchivo, true);
    const std::string completa = existente ? "\"" + existente->programa + "\"" + existente->resto : lineaComando;
    // CreateProcessA may write into the command line, so it gets a copy of its own.
    std::vector<char> linea(completa.begin(), completa.end());
    linea.push_back('\0');

    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);

    if (!CreateProcessA(existente ? existente->programa.c_str() : nullptr, linea.data(), nullptr, nullptr, TRUE,
                        NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si, &pi))
        plataforma::LanzarUltimoError(lineaComando);

    Manejador hilo(pi.hThread);
    return ProcesoIniciado(reinterpret_cast<std::intptr_t>(pi.hProcess));
}

ProcesoIniciado::~ProcesoIniciado() {
    if (id_ != 0) CloseHandle(reinterpret_cast<HANDLE>(id_));
}

std::int32_t ProcesoIniciado::Esperar(std::uint32_t msEspera) {
    // WAIT_FAILED (0xFFFFFFFF) becomes -1, as callers expect of a signed result.
    return static_cast<std::int32_t>(WaitForSingleObject(reinterpret_cast<HANDLE>(id_), msEspera));
}

std::int32_t IniciarYEsperar(const std::string& lineaComando, std::uint32_t msEspera) {
    return Iniciar(lineaComando).Esperar(msEspera);
}

bool IniciarPrograma(const std::string& ruta) {
    std::string linea = "\"" + ruta + "\"";
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(ruta.c_str(), linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    Manejador proceso(pi.hProcess);
    Manejador hilo(pi.hThread);
    return true;
}

std::uint32_t ProcesoIniciado::Id() const noexcept {
    return id_ == 0 ? 0 : static_cast<std::uint32_t>(GetProcessId(reinterpret_cast<HANDLE>(id_)));
}

}  // namespace procesos
