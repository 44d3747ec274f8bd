// The Linux settings store over a settings file that holds the fuzzed bytes: reading, writing and
// removing keys, and the program's settings loaded and saved through it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "comun_fuzz.h"
#include "config/configuracion.h"
#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

namespace {

const std::string kAplicacion = "TramizaFuzz";
// Returned for an absent key; a stored value equal to it reads the same, which the checks allow.
const std::string kAusente = "\x01(ausente)";

struct Sonda {
    std::string seccion;
    std::string clave;
};

// The program's settings, and the section and key names the file spells (up to three of each, as
// written, escapes and all), in every pairing.
std::vector<Sonda> Sondas(std::string_view archivo) {
    std::vector<std::string> secciones, claves;
    std::size_t inicio = 0;
    while (inicio < archivo.size()) {
        std::size_t fin = archivo.find('\n', inicio);
        if (fin == std::string_view::npos) fin = archivo.size();
        std::string_view linea = archivo.substr(inicio, fin - inicio);
        inicio = fin + 1;
        if (linea.ends_with('\r')) linea.remove_suffix(1);
        if (linea.size() >= 2 && linea.front() == '[' && linea.back() == ']') {
            if (secciones.size() < 3) secciones.emplace_back(linea.substr(1, linea.size() - 2));
        } else if (const std::size_t igual = linea.find('='); igual != std::string_view::npos) {
            if (claves.size() < 3) claves.emplace_back(linea.substr(0, igual));
        }
    }
    std::vector<Sonda> sondas;
    for (const auto& s : secciones)
        for (const auto& c : claves) sondas.push_back({s, c});
    for (const char* s : {"Intervalo", "ActivarTX", "IniciarActivo", "IniciarZelnoExe", "DirectorioKorvane",
                          "DirectorioZELNO", "ZelnoExe"})
        sondas.push_back({s, "Tramiza"});
    return sondas;
}

bool MismaSonda(const Sonda& a, const Sonda& b) {
    return IgualesSinMayusculas(a.seccion, b.seccion) && IgualesSinMayusculas(a.clave, b.clave);
}

std::vector<std::string> LeerTodas(const std::vector<Sonda>& sondas) {
    std::vector<std::string> valores;
    for (const Sonda& s : sondas) valores.push_back(ajustes::LeerAjuste(kAplicacion, s.seccion, s.clave, kAusente));
    return valores;
}

// Every probe but `tocada` reads as before.
void ComprobarIntactas(const std::vector<Sonda>& sondas, const std::vector<std::string>& antes, const Sonda& tocada) {
    const std::vector<std::string> ahora = LeerTodas(sondas);
    for (std::size_t i = 0; i < sondas.size(); ++i)
        if (!MismaSonda(sondas[i], tocada)) COMPROBAR(ahora[i] == antes[i]);
}

bool Iguales(const clsConfiguracion& a, const clsConfiguracion& b) {
    return a.Intervalo == b.Intervalo && a.ActivarTX == b.ActivarTX && a.IniciarActivo == b.IniciarActivo &&
           a.IniciarZelnoExe == b.IniciarZelnoExe && a.DirectorioKorvane == b.DirectorioKorvane &&
           a.DirectorioZELNO == b.DirectorioZELNO && a.ZelnoExe == b.ZelnoExe;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::PrepararAlmacenAjustes();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    fuzz::EscribirArchivoAjustes(kAplicacion, datos, largo);
    const std::string archivo = fuzz::Texto(datos, largo);
    const std::vector<Sonda> sondas = Sondas(archivo);
    const std::vector<std::string> antes = LeerTodas(sondas);

    // One key written, with the file's last line as its value (any bytes): it reads back as written,
    // and no other key changes.
    const Sonda& tocada = sondas.front();
    const std::size_t ultimoSalto = archivo.rfind('\n');
    const std::string valor = ultimoSalto == std::string::npos ? archivo : archivo.substr(ultimoSalto + 1);
    ajustes::GrabarAjuste(kAplicacion, tocada.seccion, tocada.clave, valor);
    COMPROBAR(ajustes::LeerAjuste(kAplicacion, tocada.seccion, tocada.clave, kAusente) == valor);
    ComprobarIntactas(sondas, antes, tocada);

    // Removed again, it is absent, wherever and however often the file had it; the rest stays.
    ajustes::BorrarAjuste(kAplicacion, tocada.seccion, tocada.clave);
    COMPROBAR(ajustes::LeerAjuste(kAplicacion, tocada.seccion, tocada.clave, kAusente) == kAusente);
    ComprobarIntactas(sondas, antes, tocada);

    // The program's settings: a load stops only at a number that does not convert; what is then in
    // memory saves and loads back unchanged.
    clsConfiguracion cargada(kAplicacion);
    try {
        cargada.Load();
    } catch (const plataforma::ErrorSistema& e) {
        COMPROBAR(e.Numero() == 13 || e.Numero() == 6);
    }
    cargada.Save();
    clsConfiguracion releida(kAplicacion);
    releida.Load();
    COMPROBAR(Iguales(cargada, releida));
    return 0;
}
