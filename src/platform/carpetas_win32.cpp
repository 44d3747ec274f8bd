#include <windows.h>
#include <shlobj.h>

#include "platform/carpetas.h"
#include "platform/error_sistema.h"

namespace carpetas {

std::string DatosPrograma() {
    char ruta[MAX_PATH] = {};
    const HRESULT r = SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, ruta);
    if (FAILED(r)) plataforma::LanzarError(HRESULT_CODE(r));
    return std::string(ruta) + "\\Tramiza";
}

}  // namespace carpetas
