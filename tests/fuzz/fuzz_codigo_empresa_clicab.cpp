// The company code taken from a CLICAB.ZLN by the file's length.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "bridge/codigo_proveedor.h"
#include "comun_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const std::string_view clicab(reinterpret_cast<const char*>(datos), largo);
    const std::string codigo = CodigoEmpresaDeClicab(clicab);
    if (largo <= 225) {
        COMPROBAR(codigo == "OSDE");
    } else {
        // Six bytes of the header, never past its end, whatever they hold.
        const std::size_t desde = largo <= 335 ? 182 : 192;
        COMPROBAR(codigo.size() == 6);
        COMPROBAR(codigo == clicab.substr(desde, 6));
    }
    return 0;
}
