#include "bridge/duplicados.h"

#include <cstdint>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "bridge/aviso_bloqueo.h"
#include "bridge/log_duplicados.h"
#include "config/textos_mensajes.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

using namespace intercambio;
using namespace mensajes;

namespace {

// Whole minutes since 1970 UTC, rounded down also before 1970.
std::int64_t Minuto(std::int64_t segundos) { return segundos >= 0 ? segundos / 60 : -((59 - segundos) / 60); }

// What a comparison reads at a time: request files of any size cost a bounded amount of memory.
constexpr std::size_t kBloqueComparacion = 64 * 1024;

}  // namespace

bool CompararArchivos(const std::string& archivo1, const std::string& archivo2, archivos::AnteBloqueo modo) {
    const std::int64_t tamanio = archivos::Tamanio(archivo1, modo);
    if (tamanio != archivos::Tamanio(archivo2, modo)) return false;
    for (std::int64_t desde = 0; desde < tamanio; desde += kBloqueComparacion) {
        const std::string a = archivos::LeerTramo(archivo1, desde, kBloqueComparacion, modo);
        // A file that changed size meanwhile reads shorter or longer here: that is no match either.
        if (a.empty() || a != archivos::LeerTramo(archivo2, desde, kBloqueComparacion, modo)) return false;
    }
    return true;
}

bool MismaSolicitud(const std::string& rutaKorvane, archivos::AnteBloqueo modo, bool sinPraxis) {
    const std::string anterior = En(rutaKorvane, kClicabAnterior);
    const std::string nuevo = En(rutaKorvane, kClicab);
    const std::string praxis = En(rutaKorvane, kPraxis);
    const std::string praxisAnterior = En(rutaKorvane, kPraxisAnterior);
    if (!archivos::Existe(anterior)) return false;
    // Minute boundaries crossed from the copy's time to the new file's. A new file older than the
    // copy by up to one boundary still counts as the same minute (the two clocks of a copy).
    const std::int64_t minutos =
        Minuto(archivos::SegundosModificacion(nuevo, modo)) - Minuto(archivos::SegundosModificacion(anterior, modo));
    if (minutos >= 1 || minutos < -1) return false;
    if (!CompararArchivos(anterior, nuevo, modo)) return false;
    return sinPraxis ? !archivos::Existe(praxis)
                     : archivos::Existe(praxis) && archivos::Existe(praxisAnterior) &&
                           CompararArchivos(praxisAnterior, praxis, modo);
}

bool EsDuplicado(const std::string& rutaKorvane, const std::string& directorioKorvane, const RelojLocal& reloj,
                 Avisos& ui, archivos::AnteBloqueo modo) {
    bool resultado = false;
    try {
        resultado = MismaSolicitud(rutaKorvane, modo, false);
    } catch (const plataforma::BloqueoPasajero& b) {
        throw BloqueoConAviso(b, kTextoErrorComparar, kTituloError, Icono::Informacion);
    } catch (const std::exception&) {
        // A comparison that could not be made is no proof of a repeat: the request goes to the client.
        ui.MostrarMensaje(kTextoErrorComparar, kTituloError, Icono::Informacion);
        return false;
    }
    if (resultado) GrabarLog(directorioKorvane, rutaKorvane, reloj, modo);
    return resultado;
}

bool GuardarRespuestasAnteriores(const std::string& rutaZelno, bool conPraxis, Avisos& ui, archivos::AnteBloqueo modo) {
    const std::string descarga = En(rutaZelno, kDescarga);
    try {
        // PRAXIS.ZLN first: the next hand-off knows this answer's PRAXIS.ZLN by its copy, even when the
        // copy of SERESP.ZLN then fails and nothing is kept for a repeat.
        const std::string praxisAnterior = En(descarga, kPraxisAnterior);
        if (conPraxis) {
            archivos::CopiarYSincronizar(En(descarga, kPraxis), praxisAnterior, modo);
        } else if (archivos::Existe(praxisAnterior)) {
            archivos::Borrar(praxisAnterior, modo);
        }
        archivos::CopiarYSincronizar(En(descarga, kSeresp), En(descarga, kSerespAnterior), modo);
    } catch (const plataforma::BloqueoPasajero& b) {
        throw BloqueoConAviso(b, kTextoErrorCopia, kTituloError, Icono::Informacion);
    } catch (const std::exception&) {
        ui.MostrarMensaje(kTextoErrorCopia, kTituloError, Icono::Informacion);
        return false;
    }
    return true;
}

bool RecuperarRespuestasAnteriores(const std::string& rutaZelno, const std::string& rutaKorvane, Avisos& ui,
                                   archivos::AnteBloqueo modo, bool* ajena) {
    const std::string descarga = En(rutaZelno, kDescarga);
    const std::string temporal = En(rutaKorvane, kTemporalTramiza);
    try {
        const std::string seresp = En(descarga, kSerespAnterior);
        // Without the kept SERESP there is no answer to give: the copy fails as a missing file would.
        if (!archivos::Existe(seresp)) throw plataforma::ErrorSistema(2, "no existe", seresp);
        archivos::ColocarCopia(seresp, En(rutaKorvane, kSeresp), temporal, true, modo);
        const std::string praxis = En(rutaKorvane, kPraxis);
        if (archivos::Existe(En(descarga, kPraxisAnterior))) {
            const bool puesta =
                archivos::ColocarCopia(En(descarga, kPraxisAnterior), praxis, temporal, ajena == nullptr, modo);
            if (ajena) *ajena = !puesta;
        } else if (archivos::Existe(praxis)) {
            archivos::Borrar(praxis, modo);
        }
    } catch (const plataforma::BloqueoPasajero& b) {
        throw BloqueoConAviso(b, kTextoErrorBuscar, kTituloError, Icono::Informacion);
    } catch (const std::exception&) {
        ui.MostrarMensaje(kTextoErrorBuscar, kTituloError, Icono::Informacion);
        return false;
    }
    return true;
}
