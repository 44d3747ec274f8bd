#include <cerrno>
#include <cstring>

#include "platform/error_sistema.h"

namespace plataforma {

long UltimoError() { return errno; }

// Linux has no mandatory locks on ordinary files; these are its nearest "busy, try again" answers.
bool EsBloqueoPasajero(long numero, bool) { return numero == EBUSY || numero == ETXTBSY || numero == EAGAIN; }

bool EsAusente(long numero) { return numero == ENOENT || numero == ENOTDIR; }

std::string DescripcionError(long numero) {
    char buffer[256];
    // GNU strerror_r may return a static string instead of filling the buffer.
    const char* texto = strerror_r(static_cast<int>(numero), buffer, sizeof buffer);
    return texto ? std::string(texto) : std::string("Error ") + std::to_string(numero);
}

}  // namespace plataforma
