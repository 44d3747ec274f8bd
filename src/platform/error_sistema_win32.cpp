#include <windows.h>

#include "platform/error_sistema.h"

namespace plataforma {

long UltimoError() { return static_cast<long>(GetLastError()); }

bool EsBloqueoPasajero(long numero, bool alBorrar) {
    return numero == ERROR_SHARING_VIOLATION || numero == ERROR_LOCK_VIOLATION ||
           (alBorrar && numero == ERROR_ACCESS_DENIED);
}

bool EsAusente(long numero) { return numero == ERROR_FILE_NOT_FOUND || numero == ERROR_PATH_NOT_FOUND; }

std::string DescripcionError(long numero) {
    char buffer[512];
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                   static_cast<DWORD>(numero), 0, buffer, sizeof buffer, nullptr);
    std::string texto(buffer, n);
    // FormatMessage ends its text with a line end; the message boxes put it inside a sentence.
    while (!texto.empty() && (texto.back() == '\n' || texto.back() == '\r' || texto.back() == ' ')) texto.pop_back();
    if (texto.empty()) texto = "Error " + std::to_string(numero);
    return texto;
}

}  // namespace plataforma
