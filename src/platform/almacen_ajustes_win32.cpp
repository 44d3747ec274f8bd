#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "platform/manejadores_win32.h"
#include "platform/registro_win32.h"

namespace ajustes {

namespace {

// The area every earlier installation wrote to; settings found there are read as they are.
const char kRaiz[] = "Software\\VB and VBA Program Settings\\";

using plataforma::ClaveRegistro;

std::string RutaSeccion(const std::string& aplicacion, const std::string& seccion) {
    return kRaiz + aplicacion + "\\" + seccion;
}

bool EsAusente(LONG r) { return r == ERROR_FILE_NOT_FOUND || r == ERROR_PATH_NOT_FOUND; }

}  // namespace

std::string LeerAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave,
                       const std::string& porDefecto) {
    ClaveRegistro h;
    LONG r = RegOpenKeyExA(HKEY_CURRENT_USER, RutaSeccion(aplicacion, seccion).c_str(), 0, KEY_READ, h.Direccion());
    if (EsAusente(r)) return porDefecto;
    if (r != ERROR_SUCCESS) plataforma::LanzarError(r);

    DWORD tipo = 0;
    DWORD tamanio = 0;
    r = RegQueryValueExA(h.Get(), clave.c_str(), nullptr, &tipo, nullptr, &tamanio);
    std::vector<char> datos;
    // The value may grow between asking its size and reading it; ask again until it fits.
    while (r == ERROR_SUCCESS || r == ERROR_MORE_DATA) {
        datos.resize(static_cast<std::size_t>(tamanio) + 1);
        tamanio = static_cast<DWORD>(datos.size());
        r = RegQueryValueExA(h.Get(), clave.c_str(), nullptr, &tipo, reinterpret_cast<BYTE*>(datos.data()), &tamanio);
        if (r == ERROR_SUCCESS) break;
    }
    if (EsAusente(r)) return porDefecto;
    if (r != ERROR_SUCCESS) plataforma::LanzarError(r);
    if (tipo != REG_SZ && tipo != REG_EXPAND_SZ) return porDefecto;

    // Another writer may have left out the terminating NUL; the text ends at the first NUL either way.
    std::size_t n = 0;
    while (n < tamanio && datos[n] != '\0') ++n;
    return std::string(datos.data(), n);
}

void GrabarAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave,
                  const std::string& valor) {
    if (valor.size() >= MAXDWORD) plataforma::LanzarError(ERROR_INVALID_PARAMETER);
    ClaveRegistro h;
    LONG r = RegCreateKeyExA(HKEY_CURRENT_USER, RutaSeccion(aplicacion, seccion).c_str(), 0, nullptr,
                             REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, h.Direccion(), nullptr);
    if (r != ERROR_SUCCESS) plataforma::LanzarError(r);
    r = RegSetValueExA(h.Get(), clave.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(valor.c_str()),
                       static_cast<DWORD>(valor.size() + 1));
    if (r != ERROR_SUCCESS) plataforma::LanzarError(r);
}

void BorrarAjuste(const std::string& aplicacion, const std::string& seccion, const std::string& clave) {
    ClaveRegistro h;
    LONG r =
        RegOpenKeyExA(HKEY_CURRENT_USER, RutaSeccion(aplicacion, seccion).c_str(), 0, KEY_SET_VALUE, h.Direccion());
    if (r != ERROR_SUCCESS) plataforma::LanzarError(r);
    r = RegDeleteValueA(h.Get(), clave.c_str());
    if (r != ERROR_SUCCESS) plataforma::LanzarError(r);
}

std::string NombreAplicacion() {
    std::vector<char> ruta(MAX_PATH);
    DWORD n = 0;
    // A path that does not fit comes back cut (and unterminated on old systems): retry larger.
    for (;;) {
        n = GetModuleFileNameA(nullptr, ruta.data(), static_cast<DWORD>(ruta.size()));
        if (n == 0) plataforma::LanzarUltimoError();
        if (n < ruta.size()) break;
        if (ruta.size() >= 65536) plataforma::LanzarError(ERROR_INSUFFICIENT_BUFFER);
        ruta.resize(ruta.size() * 2);
    }
    return SinCarpetaNiExtension(std::string(ruta.data(), n));
}

bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal) {
    ClaveRegistro clave;
    // Read access only: a standard user is refused every key under HKEY_LOCAL_MACHINE for more.
    if (RegOpenKeyExA(KeyRoot, KeyName.c_str(), 0, KEY_QUERY_VALUE, clave.Direccion()) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    unsigned char dato[1024];
    DWORD tipo = 0;
    DWORD largo = sizeof dato;
    if (RegQueryValueExA(clave.Get(), SubKeyRef.c_str(), nullptr, &tipo, dato, &largo) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    if (largo > 0 && dato[largo - 1] == 0) --largo;
    switch (tipo) {
        case REG_SZ: KeyVal.assign(reinterpret_cast<const char*>(dato), largo); break;
        case REG_DWORD: {
            // The bytes left after the NUL was dropped, least significant first.
            std::uint32_t numero = 0;
            for (DWORD i = std::min<DWORD>(largo, 4); i > 0; --i) numero = (numero << 8) | dato[i - 1];
            KeyVal = std::to_string(numero);
            break;
        }
        default: break;
    }
    return true;
}

}  // namespace ajustes
