#include <windows.h>
#include <tlhelp32.h>

#include <cstring>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/error_sistema.h"
#include "platform/procesos.h"
#include "platform/procesos_comun.h"

namespace API {

namespace {

#if !defined(_WIN64)
// The 32-bit build walks the processes with the record of the 8-bit-character form.
static_assert(sizeof(PROCESSENTRY32) == 296, "PROCESSENTRY32 (ANSI) must be 296 bytes");
#endif

class Manejador {
public:
    explicit Manejador(HANDLE h) noexcept : h_(h) {}
    ~Manejador() {
        if (Valido()) CloseHandle(h_);
    }
    Manejador(const Manejador&) = delete;
    Manejador& operator=(const Manejador&) = delete;

    bool Valido() const noexcept { return h_ != nullptr && h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const noexcept { return h_; }

private:
    HANDLE h_;
};

// CharLowerBuffA follows the ANSI code page, so accented names compare the way Windows shows them.
std::string Minusculas(std::string texto) {
    if (!texto.empty()) CharLowerBuffA(texto.data(), static_cast<DWORD>(texto.size()));
    return texto;
}

}  // namespace

bool ProcesoEnEjecucion(const std::string& nombreExe) {
    if (nombreExe.empty()) return false;
    const std::string buscado = Minusculas(nombreExe);

    // An invalid snapshot makes every read fail: the walk below then finds nothing.
    Manejador instantanea(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entrada;
    std::memset(&entrada, 0, sizeof entrada);
    entrada.dwSize = sizeof entrada;
    BOOL leido = Process32First(instantanea.Get(), &entrada);

    bool encontrado = false;
    // The first entry is looked at even when reading it failed: the record is then all zeros.
    do {
        const std::size_t largo = strnlen(entrada.szExeFile, sizeof entrada.szExeFile);
        const std::string nombre = Minusculas(std::string(entrada.szExeFile, largo));
        if (nombre.size() >= buscado.size() &&
            nombre.compare(nombre.size() - buscado.size(), buscado.size(), buscado) == 0)
            encontrado = true;
        leido = Process32Next(instantanea.Get(), &entrada);
    } while (!encontrado && leido);
    return encontrado;
}

std::int32_t EjecutarCliente(const std::string& rutaExe, InterfazUsuario& ui) {
    try {
        // CreateProcessA may write into the command line, so it gets a copy of its own.
        std::vector<char> lineaComando(rutaExe.begin(), rutaExe.end());
        lineaComando.push_back('\0');

        STARTUPINFOA si;
        std::memset(&si, 0, sizeof si);
        si.cb = sizeof si;
        PROCESS_INFORMATION pi;
        std::memset(&pi, 0, sizeof pi);

        if (!CreateProcessA(nullptr, lineaComando.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                            nullptr, &si, &pi))
            throw plataforma::ErrorSistema(1, kNoSePuedeCargar);

        Manejador proceso(pi.hProcess);
        Manejador hilo(pi.hThread);
        const DWORD espera = WaitForSingleObject(proceso.Get(), 500);
        // WAIT_FAILED (0xFFFFFFFF) becomes -1, as callers expect of a signed result.
        return static_cast<std::int32_t>(espera);
    } catch (...) {
        MostrarFalloCliente(ui);
    }
    return 0;
}

}  // namespace API
