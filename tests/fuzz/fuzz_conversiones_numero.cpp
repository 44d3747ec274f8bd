// The two readings of a number typed or stored as text: the settings dialog's interval field and
// the stored 16-bit settings.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comun_fuzz.h"
#include "config/configuracion.h"
#include "config/listas_recientes.h"
#include "platform/error_sistema.h"

namespace {

bool EsDigito(char c) { return c >= '0' && c <= '9'; }

// A plain decimal both conversions read alike: spaces or tabs around it, a sign, digits, a point
// and digits. Its magnitude and fraction stay short enough (six whole digits, eight decimals) for
// the interval's reading through a double to round exactly like the digit-wise one.
bool EsDecimalLlano(std::string_view t) {
    while (!t.empty() && (t.front() == ' ' || t.front() == '\t')) t.remove_prefix(1);
    while (!t.empty() && (t.back() == ' ' || t.back() == '\t')) t.remove_suffix(1);
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) t.remove_prefix(1);
    const std::size_t punto = t.find('.');
    std::string_view entera = t.substr(0, punto);
    std::string_view fraccion = punto == std::string_view::npos ? std::string_view{} : t.substr(punto + 1);
    for (const char c : entera)
        if (!EsDigito(c)) return false;
    for (const char c : fraccion)
        if (!EsDigito(c)) return false;
    if (entera.empty() && fraccion.empty()) return false;
    while (!entera.empty() && entera.front() == '0') entera.remove_prefix(1);
    while (!fraccion.empty() && fraccion.back() == '0') fraccion.remove_suffix(1);
    return entera.size() <= 6 && fraccion.size() <= 8;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    const std::string texto = fuzz::Texto(datos, largo);

    const std::optional<std::int16_t> intervalo = NumeroDelIntervalo(texto);

    // Text that is no number, or too big a number, is the one failure it reports.
    std::optional<std::int16_t> entero;
    long fallo = 0;
    try {
        entero = ConvertirEntero16(texto);
    } catch (const plataforma::ErrorSistema& e) {
        fallo = e.Numero();
        COMPROBAR(fallo == 13 || fallo == 6);
    }

    // Both read a plain decimal to the same value, or both find it out of range.
    if (EsDecimalLlano(texto)) {
        COMPROBAR(fallo != 13);
        COMPROBAR(intervalo == entero);
    }

    // A value read comes back from its own decimal text.
    if (entero) COMPROBAR(ConvertirEntero16(std::to_string(*entero)) == *entero);
    if (intervalo) COMPROBAR(NumeroDelIntervalo(std::to_string(*intervalo)) == *intervalo);
    return 0;
}
