#include "config/configuracion.h"

#include <string_view>
#include <utility>

#include "platform/actividad.h"
#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"

namespace {

// Every setting has a section of its own, all under this one key.
const char kClave[] = "Tramiza";

[[noreturn]] void ErrorTipos() { throw plataforma::ErrorSistema(13, "No coinciden los tipos"); }
[[noreturn]] void ErrorDesbordamiento() { throw plataforma::ErrorSistema(6, "Desbordamiento"); }

bool EsDigito(char c) { return c >= '0' && c <= '9'; }
bool EsBlanco(char c) { return c == ' ' || c == '\t'; }

}  // namespace

clsConfiguracion::clsConfiguracion(std::string aplicacion) : aplicacion_(std::move(aplicacion)) {}

void clsConfiguracion::Save() const {
    // What was saved goes to the activity log once it is all in the store.
    std::string anotado = "Ajustes guardados:";
    const auto grabarYAnotar = [&](const char* seccion, const std::string& valor) {
        ajustes::GrabarAjuste(aplicacion_, seccion, kClave, valor);
        anotado.append(" ").append(seccion).append("=").append(valor);
    };
    grabarYAnotar("Intervalo", std::to_string(Intervalo));
    grabarYAnotar("ActivarTX", std::to_string(ActivarTX));
    grabarYAnotar("IniciarActivo", std::to_string(IniciarActivo));
    grabarYAnotar("IniciarZelnoExe", std::to_string(IniciarZelnoExe));
    grabarYAnotar("DirectorioKorvane", DirectorioKorvane);
    grabarYAnotar("DirectorioZELNO", DirectorioZELNO);
    grabarYAnotar("ZelnoExe", ZelnoExe);
    actividad::Anotar(anotado);
}

void clsConfiguracion::Load() {
    const auto leer = [this](const char* seccion, const char* porDefecto) {
        return ajustes::LeerAjuste(aplicacion_, seccion, kClave, porDefecto);
    };
    // Each field is assigned before the next is read: a number that does not convert leaves the
    // fields before it loaded and the rest as they were.
    Intervalo = ConvertirEntero16(leer("Intervalo", "1"));
    ActivarTX = ConvertirEntero16(leer("ActivarTX", "1"));
    IniciarActivo = ConvertirEntero16(leer("IniciarActivo", "1"));
    IniciarZelnoExe = ConvertirEntero16(leer("IniciarZelnoExe", "1"));
    DirectorioKorvane = leer("DirectorioKorvane", "C:\\");
    DirectorioZELNO = leer("DirectorioZELNO", "C:\\Estandar");
    ZelnoExe = leer("ZelnoExe", "");
}

std::int16_t ConvertirEntero16(const std::string& texto) {
    std::string_view t(texto);
    while (!t.empty() && EsBlanco(t.front())) t.remove_prefix(1);
    while (!t.empty() && EsBlanco(t.back())) t.remove_suffix(1);

    bool negativo = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negativo = t.front() == '-';
        t.remove_prefix(1);
    }
    const std::size_t punto = t.find('.');
    const std::string_view entera = t.substr(0, punto);
    const std::string_view fraccion = punto == std::string_view::npos ? std::string_view{} : t.substr(punto + 1);
    for (const char c : entera)
        if (!EsDigito(c)) ErrorTipos();
    for (const char c : fraccion)
        if (!EsDigito(c)) ErrorTipos();
    if (entera.empty() && fraccion.empty()) ErrorTipos();

    // Anything past the 16-bit range is overflow however long it is; stop counting there.
    constexpr long kTope = 32768;
    long magnitud = 0;
    for (const char c : entera) {
        magnitud = magnitud * 10 + (c - '0');
        if (magnitud > kTope) ErrorDesbordamiento();
    }

    // Half to even, as the conversion of the stored text has always rounded.
    if (!fraccion.empty()) {
        const int primera = fraccion.front() - '0';
        const bool restoCero = fraccion.substr(1).find_first_not_of('0') == std::string_view::npos;
        if (primera > 5 || (primera == 5 && (!restoCero || magnitud % 2 == 1))) ++magnitud;
    }

    if (negativo) {
        if (magnitud > kTope) ErrorDesbordamiento();
        return static_cast<std::int16_t>(-magnitud);
    }
    if (magnitud > kTope - 1) ErrorDesbordamiento();
    return static_cast<std::int16_t>(magnitud);
}
