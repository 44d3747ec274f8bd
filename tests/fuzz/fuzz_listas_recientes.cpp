// The recent-entry lists of the settings dialog, read from and written back to a settings file
// (the Linux store's INI file) that holds the fuzzed bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "comun_fuzz.h"
#include "config/listas_recientes.h"
#include "platform/texto_ansi.h"

namespace {

const std::string kAplicacion = "TramizaFuzz";

std::vector<std::string> Leer(const ListaReciente& cual, fuzz::GrabadorMensajes& ui) {
    std::vector<std::string> lista;
    LeerListaReciente(kAplicacion, cual, lista, ui);
    return lista;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::PrepararAlmacenAjustes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    fuzz::EscribirArchivoAjustes(kAplicacion, datos, largo);
    fuzz::GrabadorMensajes ui;

    const std::vector<std::string> korvane = Leer(kLastDirKorvane, ui);
    const std::vector<std::string> exeZelno = Leer(kLastDirExeZelno, ui);
    const std::vector<std::string> zelno = Leer(kLastDirZelno, ui);
    // A readable file, whatever it holds, reads without a message, and a list ends at its first
    // empty entry.
    COMPROBAR(ui.mensajes.empty());
    for (const auto* lista : {&korvane, &exeZelno, &zelno})
        COMPROBAR(std::none_of(lista->begin(), lista->end(), [](const std::string& e) { return e.empty(); }));

    // The new entry: one the file offers (any bytes at all), or an ordinary folder.
    const std::string nuevo = zelno.empty() ? "C:\\Korvane\\Caja 1" : zelno.front();
    GrabarListaReciente(kAplicacion, kLastDirKorvane, nuevo, korvane, ui);
    COMPROBAR(ui.mensajes.empty());

    // Read back: the new entry first, then the first five old ones that are not blank and not the new
    // one in other letter case, trimmed. Keys the old list left after a gap may follow.
    std::vector<std::string> esperada{nuevo};
    for (std::size_t k = 0; k < korvane.size() && k < 5; ++k) {
        const std::string anterior(SinBlancosExtremos(korvane[k]));
        if (!anterior.empty() && !IgualesSinMayusculas(anterior, nuevo)) esperada.push_back(anterior);
    }
    const std::vector<std::string> releida = Leer(kLastDirKorvane, ui);
    COMPROBAR(ui.mensajes.empty());
    COMPROBAR(releida.size() >= esperada.size());
    COMPROBAR(std::equal(esperada.begin(), esperada.end(), releida.begin()));

    // The other lists are left as they were.
    COMPROBAR(Leer(kLastDirExeZelno, ui) == exeZelno);
    COMPROBAR(Leer(kLastDirZelno, ui) == zelno);
    COMPROBAR(ui.mensajes.empty());
    return 0;
}
