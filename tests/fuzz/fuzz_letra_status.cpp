// The request state read from a terminal's STATUS.ZLN, whatever the terminal or a damaged disk left
// in the file.

#include <cstddef>
#include <cstdint>

#include "bridge/archivos_intercambio.h"
#include "comun_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const char estado = intercambio::LetraSolicitud(fuzz::Texto(datos, largo));
    // States are compared with capitals: a small letter would leave a request unseen.
    COMPROBAR(!(estado >= 'a' && estado <= 'z'));
    if (largo == 0) COMPROBAR(estado == '\0');
    return 0;
}
