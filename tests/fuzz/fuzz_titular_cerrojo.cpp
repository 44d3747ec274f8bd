// Who holds a lock file, read from a file that another machine, another version or a damaged disk
// may have left in the Korvane root.

#include <cstddef>
#include <cstdint>

#include "bridge/cerrojo_korvane.h"
#include "comun_fuzz.h"
#include "platform/cerrojo.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const cerrojo::Titular t = cerrojo::LeerTitular(fuzz::Texto(datos, largo));
    // Each field goes into one line of a message box: short, and without line breaks or control bytes.
    for (const std::string* campo : {&t.equipo, &t.usuario, &t.sesion, &t.proceso, &t.desde}) {
        COMPROBAR(campo->size() <= 128);
        for (const char c : *campo) COMPROBAR(static_cast<unsigned char>(c) >= 0x20);
    }
    // What is read is written back as it was read.
    COMPROBAR(cerrojo::LeerTitular(cerrojo::TextoTitular(t)) == t);
    COMPROBAR(DescribirTitular(t).size() <= 5 * (128 + 10));
    return 0;
}
