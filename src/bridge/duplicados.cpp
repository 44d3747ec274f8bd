#include "bridge/duplicados.h"

#include <cstdint>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "platform/archivos.h"

using namespace intercambio;

namespace {

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
std::int64_t DiasCiviles(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::int64_t MinutoDelReloj(const archivos::FechaHora& t) {
    return (DiasCiviles(t.anio, static_cast<unsigned>(t.mes), static_cast<unsigned>(t.dia)) * 24 + t.hora) * 60 +
           t.minuto;
}

}  // namespace

bool CompararArchivos(const std::string& archivo1, const std::string& archivo2) {
    return archivos::LeerCompleto(archivo1) == archivos::LeerCompleto(archivo2);
}

bool EsDuplicado(const std::string& rutaKorvane, const std::string& directorioKorvane, const RelojLocal& reloj,
                 InterfazUsuario& ui) {
    const std::string anterior = En(rutaKorvane, kClicabAnterior);
    const std::string nuevo = En(rutaKorvane, kClicab);
    const std::string praxis = En(rutaKorvane, kPraxis);
    const std::string praxisAnterior = En(rutaKorvane, kPraxisAnterior);
    bool resultado = false;
    try {
        if (!archivos::Existe(anterior)) return false;
        // Minute boundaries crossed from the copy's time to the new file's; a new file older than
        // the copy (a clock set back) still counts as the same minute.
        const std::int64_t minutos =
            MinutoDelReloj(archivos::FechaModificacion(nuevo)) - MinutoDelReloj(archivos::FechaModificacion(anterior));
        if (minutos >= 1) return false;
        if (!CompararArchivos(anterior, nuevo)) return false;
        resultado =
            archivos::Existe(praxis) && archivos::Existe(praxisAnterior) && CompararArchivos(praxisAnterior, praxis);
    } catch (const std::exception&) {
        // A comparison that could not be made is no proof of a repeat: the request goes to the client.
        ui.MostrarMensaje("Se produjo un error al comparar archivos Korvane", "Error", Icono::Informacion);
        return false;
    }
    if (resultado) GrabarLog(directorioKorvane, rutaKorvane, reloj);
    return resultado;
}

bool GuardarRespuestasAnteriores(const std::string& rutaZelno, InterfazUsuario& ui) {
    const std::string descarga = En(rutaZelno, kDescarga);
    try {
        if (archivos::Existe(En(descarga, kSeresp)))
            archivos::Copiar(En(descarga, kSeresp), En(descarga, kSerespAnterior));
        if (archivos::Existe(En(descarga, kPraxis)))
            archivos::Copiar(En(descarga, kPraxis), En(descarga, kPraxisAnterior));
    } catch (const std::exception&) {
        ui.MostrarMensaje("Se produjo un error al hacer copia de archivos Zelno", "Error", Icono::Informacion);
        return false;
    }
    return true;
}

bool RecuperarRespuestasAnteriores(const std::string& rutaZelno, const std::string& rutaKorvane, InterfazUsuario& ui) {
    const std::string descarga = En(rutaZelno, kDescarga);
    try {
        for (const auto& [kept, nombre] : {std::pair{kSerespAnterior, kSeresp}, std::pair{kPraxisAnterior, kPraxis}}) {
            if (!archivos::Existe(En(descarga, kept))) continue;
            archivos::Copiar(En(descarga, kept), En(rutaKorvane, nombre));
            archivos::Sincronizar(En(rutaKorvane, nombre));
        }
    } catch (const std::exception&) {
        ui.MostrarMensaje("Se produjo un error al buscar archivos Zelno", "Error", Icono::Informacion);
        return false;
    }
    return true;
}
