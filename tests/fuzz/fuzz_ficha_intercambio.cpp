// A terminal's exchange record file, whatever a damaged disk or a stop left in it: reading it never
// fails, and the next write, into the slot not in force, is always what is read after it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "bridge/ficha_intercambio.h"
#include "comun_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    std::string contenido = fuzz::Texto(datos, largo);
    const FichaLeida leido = LeerFicha(contenido);
    COMPROBAR(leido.ranura == 0 || leido.ranura == 1);

    FichaIntercambio nuevo = leido.ficha;
    transicion::Responder(nuevo, ClaseRespuesta::Cliente);
    nuevo.proveedor = "V9013101";
    // A wait's start read from the file (any number at all) is written back as it was read.
    transicion::EmpezarEspera(nuevo, leido.ficha.esperaDesde.value_or(static_cast<std::int64_t>(largo)));
    const std::size_t desde = static_cast<std::size_t>(1 - leido.ranura) * kRanuraFicha;
    if (contenido.size() < desde + kRanuraFicha) contenido.resize(desde + kRanuraFicha, '\0');
    contenido.replace(desde, kRanuraFicha, RanuraFicha(leido.numero + 1, nuevo));
    const FichaLeida despues = LeerFicha(contenido);
    COMPROBAR(despues.ficha == nuevo);
    COMPROBAR(despues.numero == leido.numero + 1);
    COMPROBAR(despues.ranura == 1 - leido.ranura);
    return 0;
}
