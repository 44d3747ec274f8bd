// A terminal's exchange record file, whatever a damaged disk or a stop left in it: reading it never
// fails, and the next write, into the slot not in force, is always what is read after it.

#include <cstddef>
#include <cstdint>
#include <string>

#include "bridge/estado_intercambio.h"
#include "comun_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    std::string contenido = fuzz::Texto(datos, largo);
    const RegistroLeido leido = LeerRegistro(contenido);
    COMPROBAR(leido.ranura == 0 || leido.ranura == 1);

    EstadoIntercambio nuevo = leido.estado;
    nuevo.etapa = EstadoIntercambio::Etapa::Respondiendo;
    nuevo.proveedor = "V9013101";
    const std::size_t desde = static_cast<std::size_t>(1 - leido.ranura) * kRanuraRegistro;
    if (contenido.size() < desde + kRanuraRegistro) contenido.resize(desde + kRanuraRegistro, '\0');
    contenido.replace(desde, kRanuraRegistro, RanuraRegistro(leido.numero + 1, nuevo));
    const RegistroLeido despues = LeerRegistro(contenido);
    COMPROBAR(despues.estado == nuevo);
    COMPROBAR(despues.numero == leido.numero + 1);
    COMPROBAR(despues.ranura == 1 - leido.ranura);
    return 0;
}
