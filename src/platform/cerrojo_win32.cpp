#include <windows.h>
#include <lmcons.h>

#include <string>

#include "platform/cerrojo.h"
#include "platform/error_sistema.h"
#include "platform/manejadores_win32.h"

namespace cerrojo {

namespace {

using plataforma::Manejador;

std::string TextoError(DWORD numero) {
    return std::to_string(numero) + ": " + plataforma::DescripcionError(static_cast<long>(numero));
}

bool EsRetenido(DWORD error) { return error == ERROR_SHARING_VIOLATION || error == ERROR_LOCK_VIOLATION; }

// The holder shares reading; a reader shares everything, so that it never stands in anyone's way.
Titular LeerDe(HANDLE h) {
    std::string datos(kMaximoTitular, '\0');
    DWORD leidos = 0;
    if (!ReadFile(h, datos.data(), static_cast<DWORD>(datos.size()), &leidos, nullptr)) return {};
    datos.resize(leidos);
    return LeerTitular(datos);
}

Titular LeerDe(const std::string& ruta) {
    const Manejador h(CreateFileA(ruta.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    return h ? LeerDe(h.Get()) : Titular{};
}

}  // namespace

Titular TitularPropio() {
    Titular t;
    char equipo[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD largo = sizeof equipo;
    if (GetComputerNameA(equipo, &largo)) t.equipo.assign(equipo, largo);
    char usuario[UNLEN + 1] = {};
    largo = sizeof usuario;
    if (GetUserNameA(usuario, &largo)) t.usuario = usuario;
    DWORD sesion = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &sesion)) t.sesion = std::to_string(sesion);
    t.proceso = std::to_string(GetCurrentProcessId());
    return t;
}

Intento Consultar(const std::string& ruta) {
    // Sharing reading only: the holder's open for writing refuses it, and nothing else does.
    const Manejador h(CreateFileA(ruta.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (h) return {Estado::Libre, {}, {}};
    const DWORD error = GetLastError();
    if (EsRetenido(error)) return {Estado::Ocupado, LeerDe(ruta), {}};
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return {Estado::Libre, {}, {}};
    return {Estado::Fallo, {}, TextoError(error)};
}

Intento Cerrojo::Tomar(const std::string& ruta, const Titular& quien) {
    Soltar();
    // Others may read who holds it; none may write it or remove it while it is held.
    Manejador h(CreateFileA(ruta.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!h) {
        const DWORD error = GetLastError();
        if (EsRetenido(error)) return {Estado::Ocupado, LeerDe(ruta), {}};
        return {Estado::Fallo, {}, TextoError(error)};
    }
    // The handle is the lock; the lines only tell others who has it, so a write that fails (a full
    // disk) does not give it up.
    const std::string texto = TextoTitular(quien);
    DWORD escritos = 0;
    if (SetEndOfFile(h.Get()) && WriteFile(h.Get(), texto.data(), static_cast<DWORD>(texto.size()), &escritos, nullptr))
        FlushFileBuffers(h.Get());
    manejador_ = reinterpret_cast<std::intptr_t>(h.Soltar());
    return {Estado::Tomado, {}, {}};
}

void Cerrojo::Soltar() noexcept {
    if (manejador_ == -1) return;
    CloseHandle(reinterpret_cast<HANDLE>(manejador_));
    manejador_ = -1;
}

}  // namespace cerrojo
