#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/carpetas.h"
#include "platform/error_sistema.h"

namespace carpetas {

std::string DatosPrograma() {
    if (const char* estado = std::getenv("XDG_STATE_HOME"); estado && *estado == '/')
        return std::string(estado) + "/tramiza";
    const char* casa = std::getenv("HOME");
    if (!casa || !*casa) {
        const passwd* pw = getpwuid(getuid());
        if (!pw || !pw->pw_dir) plataforma::LanzarError(ENOENT);
        casa = pw->pw_dir;
    }
    return std::string(casa) + "/.local/state/tramiza";
}

}  // namespace carpetas
