// The hand-off of a new request ("C"). Every step that can fail before the request reaches the
// client (the client check, a stale estado.rsp, reading CLICAB.ZLN, the duplicate test and its
// copies, the company table) runs while the request is still "C", so a failure there leaves it
// for a later tick. The decision is recorded before anything is changed; "P" is on the disk before
// the upload; a stop at any point is finished by the next tick from the record and the files.
#include "bridge/archivos_intercambio.h"
#include "bridge/ciclo_sondeo.h"
#include "bridge/codigo_proveedor.h"
#include "bridge/duplicados.h"
#include "platform/archivos.h"

using namespace intercambio;

namespace {

// Bytes of CLICAB.ZLN that the company code can come from: its place ends at byte 198.
constexpr std::size_t kInicioClicab = 198;

}  // namespace

Tarea<bool> CicloSondeo::ClienteDisponible(Turno& t) {
    if (configuracion_.IniciarZelnoExe == 0) co_return true;
    if (cliente_.ProcesoEnEjecucion(API::kNombreCliente)) co_return true;
    // A client that ends within its start-up wait did not start; the other terminals go on meanwhile.
    const auto arrancado = cliente_.IniciarCliente(configuracion_.ZelnoExe, ui_);
    if (!arrancado) co_return false;
    co_await Esperar(t, static_cast<std::int32_t>(API::kEsperaArranqueMs));
    co_return arrancado() > 0;
}

Tarea<> CicloSondeo::EntregarSolicitud(Turno& t) {
    const bool disponible = co_await ClienteDisponible(t);
    if (!disponible) {
        ui_.MostrarMensaje("No se puede encontrar ZELNO32.exe", "Zelno32", Icono::Critico);
        co_return;
    }
    // A stop after the decision: the same decision holds (the duplicate test would now find the copies
    // of this very request).
    if (registro_.De(t.rutaKorvane).etapa != EstadoIntercambio::Etapa::Decidida) co_await DecidirEntrega(t);
    CopiarAnteriores(t);
    MarcarStatus(t, "P", "2", "2.5");
    CompletarEntrega(t);
}

Tarea<> CicloSondeo::DecidirEntrega(Turno& t) {
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    if (archivos::Existe(estadoRsp)) {
        // An answer flag left from an earlier exchange would be taken for this request's answer.
        archivos::Borrar(estadoRsp);
        co_await Esperar(t, 1000);
    }

    EstadoIntercambio e = registro_.De(t.rutaKorvane);
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    bool duplicado = false;
    e.conArchivos = false;
    t.tamanio = -2;
    if (archivos::Existe(clicab)) {
        e.conArchivos = true;
        t.punto = "4";
        const std::int64_t tamanio = archivos::Tamanio(clicab);
        t.tamanio = tamanio;
        t.codigoEmpresa = CodigoEmpresaDeClicab(archivos::LeerInicio(clicab, kInicioClicab), tamanio);
        t.punto = "5";
        // The kept answer serves only when it is the one the terminal got for the request repeated.
        duplicado = e.respuestaGuardada && EsDuplicado(t.rutaKorvane, t.directorioKorvane, reloj_, ui_);
    }
    t.punto = "6";
    if (archivos::Existe(En(t.rutaKorvane, kPraxis))) e.conArchivos = true;
    // The provider code is only written for a new request, but read now: a table that cannot be read
    // must leave the request "C".
    e.proveedor = duplicado ? std::string() : CodigoProveedor(t);
    e.duplicado = duplicado;
    // The copies about to be made describe a new request, whose answer is not kept yet.
    if (!duplicado) e.respuestaGuardada = false;
    e.etapa = EstadoIntercambio::Etapa::Decidida;
    Registrar(t, e);
}

void CicloSondeo::CopiarAnteriores(Turno& t) {
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "5";
    if (archivos::Existe(clicab)) archivos::Copiar(clicab, En(t.rutaKorvane, kClicabAnterior));
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    t.punto = "7";
    if (archivos::Existe(praxis)) archivos::Copiar(praxis, En(t.rutaKorvane, kPraxisAnterior));
}

void CicloSondeo::CompletarEntrega(Turno& t) {
    const EstadoIntercambio e = registro_.De(t.rutaKorvane);
    t.duplicada = e.duplicado;
    const std::string subida = En(t.rutaZelno, kSubida);

    // Each request file reaches the upload folder before it leaves the terminal folder.
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    if (archivos::Existe(clicab)) {
        t.punto = "5";
        if (!e.duplicado) archivos::Copiar(clicab, En(subida, kClicab));
        archivos::Borrar(clicab);
    }
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    t.punto = "6";
    if (archivos::Existe(praxis)) {
        t.punto = "7";
        if (!e.duplicado) archivos::Copiar(praxis, En(subida, kPraxis));
        t.punto = "8";
        archivos::Borrar(praxis);
    }

    const std::string serespViejo = En(t.rutaKorvane, kSeresp);
    t.punto = "9";
    if (archivos::Existe(serespViejo)) {
        t.punto = "10";
        archivos::Borrar(serespViejo);
    }

    if (e.duplicado) return;  // answered from the kept answer, in this tick

    // _svl.0 hands the request over: the client takes it, and removes the upload files, once it is
    // there. After a stop it is written again only while the request is still waiting in upload.
    const std::string svl = En(subida, kSvl);
    const bool pendiente = !e.conArchivos || archivos::Existe(En(subida, kClicab)) ||
                           archivos::Existe(En(subida, kPraxis)) || archivos::Existe(svl);
    if (pendiente) {
        t.punto = "13";
        // The whole file: a short code written over a longer earlier one must not leave a mixture.
        archivos::EscribirCompleto(svl, e.proveedor);
        if (configuracion_.ActivarTX > 0) {
            t.punto = "15";
            archivos::EscribirAlInicio(En(archivos::Unir(t.directorioZelno, kCarpetaTx),
                                          kPrefijoTerminal + t.codigoTerminal),
                                       "");
        }
    }
    EstadoIntercambio enviado = e;
    enviado.etapa = EstadoIntercambio::Etapa::Ninguna;
    Registrar(t, enviado);
    entregas_[t.rutaKorvane] = esperador_.AhoraMs();
    const std::string tamanio = t.tamanio >= 0    ? std::to_string(t.tamanio) + " bytes"
                                : t.tamanio == -2 ? std::string("sin CLICAB.ZLN")
                                                  : std::string("tamaño no leído en este arranque");
    Anotar(t, "solicitud entregada, " + tamanio + ", proveedor " + e.proveedor);
}

std::string CicloSondeo::CodigoProveedor(Turno& t) {
    const std::string codigo = NormalizarCodigoEmpresa(t.codigoEmpresa);
    const std::string tabla = archivos::Unir(t.directorioZelno, kTablaEmpresas);
    t.punto = "11";
    if (archivos::Existe(tabla)) {
        t.punto = "12";
        if (auto proveedor = BuscarEnTablaEmpresas(archivos::LeerCompleto(tabla), codigo)) return *proveedor;
    }
    return CodigoProveedorFijo(codigo);
}
