#include <dirent.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "platform/error_sistema.h"
#include "platform/procesos.h"
#include "platform/texto_ansi.h"

extern char** environ;

namespace procesos {

namespace {

constexpr std::int32_t kEsperaAgotada = 258;

// Children started here that were still running when their start-up wait ended. Windows lets a
// started client run on unattended; here an ended child stays a zombie until its parent collects it.
std::mutex mutexHijos;
std::vector<pid_t> hijosEnCurso;

void RecogerHijosTerminados() {
    std::lock_guard<std::mutex> cerrojo(mutexHijos);
    std::erase_if(hijosEnCurso, [](pid_t pid) {
        int estado = 0;
        pid_t r;
        do r = waitpid(pid, &estado, WNOHANG);
        while (r == -1 && errno == EINTR);
        // -1 (ECHILD) means someone else collected it: nothing is left to wait for.
        return r != 0;
    });
}

void RecordarHijo(pid_t pid) {
    std::lock_guard<std::mutex> cerrojo(mutexHijos);
    hijosEnCurso.push_back(pid);
}

bool SoloDigitos(const char* texto) {
    if (*texto == '\0') return false;
    for (; *texto; ++texto)
        if (*texto < '0' || *texto > '9') return false;
    return true;
}

// The executable of a process: the target of /proc/<pid>/exe, else argv[0]. Empty when neither
// can be read (processes of other users, kernel threads, zombies).
std::string NombreEjecutable(const std::string& dirProceso) {
    std::string destino(4096, '\0');
    const ssize_t n = readlink((dirProceso + "/exe").c_str(), destino.data(), destino.size());
    if (n > 0 && static_cast<std::size_t>(n) < destino.size()) {
        destino.resize(static_cast<std::size_t>(n));
        // The kernel marks a program whose file was removed while it runs.
        const std::string borrado = " (deleted)";
        if (destino.size() > borrado.size() && destino.ends_with(borrado))
            destino.resize(destino.size() - borrado.size());
        return destino;
    }
    std::ifstream f(dirProceso + "/cmdline", std::ios::binary);
    std::string argv0;
    if (f) std::getline(f, argv0, '\0');
    return argv0;
}

// The rules by which a Windows program splits its command line: the program name ends at the
// next blank, or at the closing quote when it starts with one; in the arguments, quotes group,
// 2n backslashes before a quote give n and the quote counts, 2n+1 give n and a literal quote,
// and "" inside quotes is a literal quote.
std::vector<std::string> PartirLineaComando(const std::string& linea) {
    std::vector<std::string> argumentos;
    const auto esBlanco = [](char c) { return c == ' ' || c == '\t'; };
    std::size_t i = 0;
    const std::size_t n = linea.size();
    while (i < n && esBlanco(linea[i])) ++i;
    if (i == n) return argumentos;

    std::string programa;
    if (linea[i] == '"') {
        ++i;
        while (i < n && linea[i] != '"') programa += linea[i++];
        if (i < n) ++i;
    } else {
        while (i < n && !esBlanco(linea[i])) programa += linea[i++];
    }
    argumentos.push_back(programa);

    for (;;) {
        while (i < n && esBlanco(linea[i])) ++i;
        if (i == n) break;
        std::string arg;
        bool entreComillas = false;
        while (i < n && (entreComillas || !esBlanco(linea[i]))) {
            if (linea[i] == '\\') {
                std::size_t barras = 0;
                while (i < n && linea[i] == '\\') ++barras, ++i;
                if (i < n && linea[i] == '"') {
                    arg.append(barras / 2, '\\');
                    if (barras % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                } else {
                    arg.append(barras, '\\');
                }
            } else if (linea[i] == '"') {
                if (entreComillas && i + 1 < n && linea[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                } else {
                    entreComillas = !entreComillas;
                    ++i;
                }
            } else {
                arg += linea[i++];
            }
        }
        argumentos.push_back(arg);
    }
    return argumentos;
}

bool EsArchivo(const std::string& ruta) {
    struct stat st;
    return ::stat(ruta.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

pid_t Lanzar(const std::vector<std::string>& argumentos) {
    std::vector<char*> argv;
    for (const auto& a : argumentos) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    // glibc reports a failed exec through the result, so a wrong path is known here.
    const int r = posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ);
    if (r != 0) plataforma::LanzarError(r, argumentos[0]);
    return pid;
}

}  // namespace

bool ProcesoEnEjecucion(const std::string& nombreExe) {
    if (nombreExe.empty()) return false;
    RecogerHijosTerminados();

    const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
    if (!proc) return false;
    bool encontrado = false;
    while (!encontrado) {
        const dirent* entrada = readdir(proc.get());
        if (!entrada) break;
        if (!SoloDigitos(entrada->d_name)) continue;
        if (TerminaSinMayusculas(NombreEjecutable(std::string("/proc/") + entrada->d_name), nombreExe))
            encontrado = true;
    }
    return encontrado;
}

ProcesoIniciado Iniciar(const std::string& lineaComando) {
    RecogerHijosTerminados();
    std::vector<std::string> argumentos;
    if (const auto existente = ProgramaExistente(lineaComando, EsArchivo, false)) {
        // A program of its own in front keeps the arguments' split as it is.
        argumentos = PartirLineaComando("x" + existente->resto);
        argumentos[0] = existente->programa;
    } else {
        argumentos = PartirLineaComando(lineaComando);
    }
    if (argumentos.empty() || argumentos[0].empty()) plataforma::LanzarError(ENOENT, lineaComando);
    return ProcesoIniciado(Lanzar(argumentos));
}

// A child let go while it runs is collected later, once it ends.
ProcesoIniciado::~ProcesoIniciado() {
    if (id_ != 0) RecordarHijo(static_cast<pid_t>(id_));
}

std::int32_t ProcesoIniciado::Esperar(std::uint32_t msEspera) {
    if (id_ == 0) return 0;
    const auto pid = static_cast<pid_t>(id_);
    using reloj = std::chrono::steady_clock;
    const auto fin = reloj::now() + std::chrono::milliseconds(msEspera);
    for (;;) {
        int estado = 0;
        const pid_t r = waitpid(pid, &estado, WNOHANG);
        if (r == pid) {
            id_ = 0;  // collected: nothing left to let go
            return 0;
        }
        if (r == -1 && errno != EINTR) return -1;
        const auto ahora = reloj::now();
        if (ahora >= fin) return kEsperaAgotada;
        std::this_thread::sleep_for(std::min<reloj::duration>(fin - ahora, std::chrono::milliseconds(2)));
    }
}

std::int32_t IniciarYEsperar(const std::string& lineaComando, std::uint32_t msEspera) {
    return Iniciar(lineaComando).Esperar(msEspera);
}

bool IniciarPrograma(const std::string& ruta) {
    try {
        RecogerHijosTerminados();
        RecordarHijo(Lanzar({ruta}));
        return true;
    } catch (...) {
        return false;
    }
}

std::uint32_t ProcesoIniciado::Id() const noexcept { return static_cast<std::uint32_t>(id_); }

}  // namespace procesos
