// The communication-error answer built from the client's estado.rsp, and the format-error answer.

#include <cstddef>
#include <cstdint>
#include <string>

#include "bridge/respuestas.h"
#include "comun_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const std::string registro = RespuestaErrorComunicacion(fuzz::Texto(datos, largo));
    // Fixed columns whatever estado.rsp holds: one 351-byte line whose only line end is the closing
    // carriage return, the fixed fields where the terminal reads them.
    COMPROBAR(registro.size() == 351);
    COMPROBAR(registro.find_first_of("\r\n") == 350);
    COMPROBAR(registro.starts_with("9200000001ERROR EN LA COMUNICACION. REINTENTE. "));
    COMPROBAR(registro.compare(147, 10, "0100000000") == 0);
    COMPROBAR(registro.find_first_not_of(' ', 157) == 350);

    const std::string formato = RespuestaErrorFormato();
    COMPROBAR(formato.size() == 339);
    COMPROBAR(formato.find_first_of("\r\n") == 338);
    return 0;
}
