// The hand-off of a new request ("C"). Every step that can fail before the request reaches the
// client (the client check, an earlier exchange's leftovers, reading CLICAB.ZLN, the repeat test and
// its copies, the company table) runs while the request is still "C", so a failure there leaves it
// for a later tick. A "C" is always decided afresh from its files; the decision is recorded, then
// "P", then the upload one recorded stage at a time: after a stop, a request that may already have
// reached the client is never sent again.
#include "bridge/archivos_intercambio.h"
#include "bridge/ciclo_sondeo.h"
#include "bridge/codigo_proveedor.h"
#include "bridge/duplicados.h"
#include "config/textos_mensajes.h"
#include "platform/archivos.h"
#include "platform/registro_actividad.h"

#include <functional>

#include <utility>

using namespace intercambio;

namespace {

// Bytes of CLICAB.ZLN that the company code can come from: its place ends at byte 198.
constexpr std::size_t kInicioClicab = 198;
// The client's company table is a line per company; anything past this is not read.
constexpr std::size_t kMaximoTabla = 4 * 1024 * 1024;

}  // namespace

Tarea<bool> CicloSondeo::ClienteDisponible(Turno& t) {
    if (!t.iniciarZelno) co_return true;
    // A client that ends within its start-up wait did not start; the other terminals go on meanwhile.
    std::function<std::int32_t()> arrancado;
    {
        // Two terminals whose steps run side by side start one client.
        const std::lock_guard lock(arranque_);
        if (cliente_.ProcesoEnEjecucion(API::kNombreCliente)) co_return true;
        arrancado = cliente_.IniciarCliente(t.zelnoExe, t.ui);
    }
    if (!arrancado) co_return false;
    co_await Esperar(t, static_cast<std::int32_t>(API::kEsperaArranqueMs));
    co_return arrancado() > 0;
}

Tarea<> CicloSondeo::EntregarSolicitud(Turno& t) {
    const bool disponible = co_await ClienteDisponible(t);
    if (!disponible) {
        t.ui.MostrarMensaje(mensajes::kTextoNoSeEncuentraZelno, mensajes::kTituloZelno32, Icono::Critico);
        co_return;
    }
    co_await ApartarRestos(t);
    const EstadoIntercambio e = DecidirEntrega(t, Registro(t));
    CopiarAnteriores(t);
    MarcarStatus(t, "P", "2", "2.5");
    CompletarEntrega(t, e);
}

Tarea<> CicloSondeo::ApartarRestos(Turno& t) {
    t.punto = "1";
    const std::string descarga = En(t.rutaZelno, kDescarga);
    // An empty answer file (the one a format error left) holds nothing to keep.
    bool restos = archivos::Existe(En(t.rutaZelno, kEstadoRsp));
    for (const char* nombre : {kSeresp, kPraxis, kTiquet}) {
        const std::string ruta = En(descarga, nombre);
        if (!archivos::Existe(ruta)) continue;
        if (archivos::Tamanio(ruta, kAvisar) == 0)
            archivos::Borrar(ruta, kAvisar);
        else
            restos = true;
    }
    if (!restos) co_return;
    const bool conEstado = archivos::Existe(En(t.rutaZelno, kEstadoRsp));
    co_await GuardarAparte(t, mensajes::kTextoMotivoAnterior, false);
    // An answer flag just removed: the client gets a second before the new request.
    if (conEstado) co_await Esperar(t, 1000);
}

EstadoIntercambio CicloSondeo::DecidirEntrega(Turno& t, EstadoIntercambio e) {
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    bool duplicado = false;
    e.conClicab = false;
    t.tamanio = -2;
    if (archivos::Existe(clicab)) {
        e.conClicab = true;
        t.punto = "4";
        const std::int64_t tamanio = archivos::Tamanio(clicab, kAvisar);
        t.tamanio = tamanio;
        t.codigoEmpresa = CodigoEmpresaDeClicab(archivos::LeerInicio(clicab, kInicioClicab, kAvisar), tamanio);
        t.punto = "5";
        // The kept answer serves only when it is the one the terminal got for the request repeated.
        duplicado = e.respuestaGuardada && archivos::Existe(En(En(t.rutaZelno, kDescarga), kSerespAnterior)) &&
                    EsDuplicado(t.rutaKorvane, t.directorioKorvane, reloj_, t.ui, kAvisar);
    }
    t.punto = "6";
    e.conPraxis = archivos::Existe(En(t.rutaKorvane, kPraxis));
    // The provider code is only written for a new request, but read now: a table that cannot be read
    // must leave the request "C".
    e.proveedor = duplicado ? std::string() : CodigoProveedor(t);
    e.duplicado = duplicado;
    // The copies about to be made describe a new request, whose answer is not kept yet.
    if (!duplicado) e.respuestaGuardada = false;
    e.etapa = EstadoIntercambio::Etapa::Decidida;
    Registrar(t, e);
    t.m.subida.reset();
    return e;
}

CicloSondeo::Subida& CicloSondeo::SubidaDe(Turno& t) { return t.m.subida ? *t.m.subida : t.m.subida.emplace(); }

void CicloSondeo::CopiarAnteriores(Turno& t) {
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "5";
    if (archivos::Existe(clicab)) archivos::Copiar(clicab, En(t.rutaKorvane, kClicabAnterior), kAvisar);
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    t.punto = "7";
    if (archivos::Existe(praxis)) archivos::Copiar(praxis, En(t.rutaKorvane, kPraxisAnterior), kAvisar);
}

void CicloSondeo::CompletarEntrega(Turno& t, EstadoIntercambio e) {
    if (e.duplicado) {
        QuitarOriginales(t, e, false);
        ResponderDuplicado(t, e);
        return;
    }
    e.etapa = EstadoIntercambio::Etapa::Subiendo;
    Registrar(t, e);
    t.m.subida = Subida{};
    QuitarOriginales(t, e, true);
    EntregarAlCliente(t, e);
}

// A write into upload that failed without leaving its file there: the record goes back to `atras`,
// so that after a stop the request is not taken for one that a client may have (a doubt) when
// nothing of it ever reached upload.
void CicloSondeo::SinRastro(Turno& t, EstadoIntercambio e, EstadoIntercambio::Etapa atras, const std::string& destino,
                            const std::function<void()>& escribir) {
    try {
        escribir();
    } catch (...) {
        if (atras != e.etapa && !archivos::ExisteEntrada(destino)) {
            e.etapa = atras;
            try {
                Registrar(t, e);
            } catch (...) {
                actividad::AnotarFalloIgnorado(NombreTerminal(t), "registro tras fallar " + destino);
            }
        }
        throw;
    }
}

// Each request file that is still in the terminal folder reaches upload (`copiar`), on the disk,
// before it leaves the terminal folder; an answer of an earlier exchange goes too.
void CicloSondeo::QuitarOriginales(Turno& t, const EstadoIntercambio& e, bool copiar) {
    const std::string subida = En(t.rutaZelno, kSubida);
    // Only an upload of this process's own is known; removing the originals alone learns nothing.
    Subida* hecho = copiar ? &SubidaDe(t) : nullptr;
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    if (e.conClicab && archivos::Existe(clicab)) {
        t.punto = "5";
        if (copiar) {
            SinRastro(t, e, EstadoIntercambio::Etapa::Decidida, En(subida, kClicab),
                      [&] { archivos::Copiar(clicab, En(subida, kClicab), kAvisar); });
            // In upload whole from here on: a client may take it even if the flush is held up.
            hecho->clicab = true;
            archivos::Sincronizar(En(subida, kClicab), kAvisar);
        }
        archivos::Borrar(clicab, kAvisar);
    }
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    t.punto = "6";
    if (e.conPraxis && archivos::Existe(praxis)) {
        t.punto = "7";
        if (copiar) {
            // The first file of a request without CLICAB.ZLN: nothing of it is in upload when it fails.
            SinRastro(t, e, e.conClicab ? e.etapa : EstadoIntercambio::Etapa::Decidida, En(subida, kPraxis),
                      [&] { archivos::Copiar(praxis, En(subida, kPraxis), kAvisar); });
            hecho->praxis = true;
            archivos::Sincronizar(En(subida, kPraxis), kAvisar);
        }
        t.punto = "8";
        archivos::Borrar(praxis, kAvisar);
    }
    const std::string serespViejo = En(t.rutaKorvane, kSeresp);
    t.punto = "9";
    if (archivos::Existe(serespViejo)) {
        t.punto = "10";
        archivos::Borrar(serespViejo, kAvisar);
    }
}

// _svl.0 hands the request over: the client takes it, and removes the upload files, once it is there.
void CicloSondeo::EntregarAlCliente(Turno& t, EstadoIntercambio e) {
    e.etapa = EstadoIntercambio::Etapa::Entregando;
    Registrar(t, e);
    const std::string svl = En(En(t.rutaZelno, kSubida), kSvl);
    t.punto = "13";
    // The whole file: a short code written over a longer earlier one must not leave a mixture.
    SinRastro(t, e, EstadoIntercambio::Etapa::Subiendo, svl,
              [&] { archivos::EscribirEntrega(svl, e.proveedor, kAvisar); });
    SubidaDe(t).svl = true;
    e.etapa = EstadoIntercambio::Etapa::Entregada;
    Registrar(t, e);
    t.m.subida.reset();
    t.m.entrega = esperador_.AhoraMs();
    if (t.activarTx) {
        t.punto = "15";
        archivos::EscribirAlInicio(En(archivos::Unir(t.directorioZelno, kCarpetaTx),
                                      kPrefijoTerminal + t.codigoTerminal),
                                   "", kAvisar);
    }
    const std::string tamanio = t.tamanio >= 0    ? std::to_string(t.tamanio) + " bytes"
                                : t.tamanio == -2 ? std::string("sin CLICAB.ZLN")
                                                  : std::string("tamaño no leído en este arranque");
    Anotar(t, "solicitud entregada, " + tamanio + ", proveedor " + e.proveedor);
}

// An upload cut short. What this process did itself it knows (Memoria::subida); after a stop, a request
// file missing from upload may have been taken by a client that does not wait for _svl.0, and a
// missing _svl.0 may have been taken: then nobody can tell, and the request is not sent again.
void CicloSondeo::ReanudarEntrega(Turno& t, EstadoIntercambio e) {
    const std::string subida = En(t.rutaZelno, kSubida);
    const bool mia = t.m.subida.has_value();
    const Subida hecho = t.m.subida.value_or(Subida{});
    t.punto = "13";
    const bool clicabEnSubida = e.conClicab && archivos::Existe(En(subida, kClicab));
    const bool praxisEnSubida = e.conPraxis && archivos::Existe(En(subida, kPraxis));
    if (e.etapa == EstadoIntercambio::Etapa::Subiendo) {
        // A client that does not wait for _svl.0 takes every request file it finds, at once: while
        // one is still in upload, nothing was taken. With none left, this process knows which it
        // copied there; after a stop, nobody knows.
        const bool conArchivos = e.conClicab || e.conPraxis;
        const bool copiadoAlguno = (e.conClicab && hecho.clicab) || (e.conPraxis && hecho.praxis);
        const bool copiadoTodo = (!e.conClicab || hecho.clicab) && (!e.conPraxis || hecho.praxis);
        if (!conArchivos || clicabEnSubida || praxisEnSubida || (mia && !copiadoAlguno)) {
            QuitarOriginales(t, e, true);
            EntregarAlCliente(t, e);
        } else if (mia && copiadoTodo) {
            // It has the request. A _svl.0 written now could be taken for a request of its own.
            QuitarOriginales(t, e, false);
            MarcarEntregada(t, e, "tomada por el cliente antes de _svl.0");
        } else {
            CaerEnDuda(t, e);
        }
        return;
    }
    // Entregando: _svl.0 still there was not taken. Gone, it was taken when this process wrote it;
    // request files gone too were taken, with it or before it; a _svl.0 that this process knows it
    // did not write is written, while the files wait in upload.
    const bool svl = archivos::Existe(En(subida, kSvl));
    const bool archivosFuera = (e.conClicab || e.conPraxis) && !clicabEnSubida && !praxisEnSubida;
    if (svl) {
        EntregarAlCliente(t, e);
    } else if (archivosFuera || hecho.svl) {
        MarcarEntregada(t, e, "tomada por el cliente durante la entrega");
    } else if (mia) {
        EntregarAlCliente(t, e);
    } else {
        CaerEnDuda(t, e);
    }
}

void CicloSondeo::MarcarEntregada(Turno& t, EstadoIntercambio e, const char* como) {
    e.etapa = EstadoIntercambio::Etapa::Entregada;
    Registrar(t, e);
    t.m.subida.reset();
    t.m.entrega = esperador_.AhoraMs();
    Anotar(t, std::string("solicitud entregada (") + como + "), proveedor " + e.proveedor);
}

// The request may or may not be in the client's hands: what is left of it in upload is withdrawn, the
// terminal's originals go as after any hand-off, and the client's answer is awaited for a while.
void CicloSondeo::CaerEnDuda(Turno& t, EstadoIntercambio e) {
    // The doubt is recorded (and the upload forgotten) before anything is withdrawn: files that we
    // remove from upload ourselves must never look taken by the client to a later attempt. A
    // withdrawal cut short by a failure is finished by the doubt's next attempt.
    t.m.subida.reset();
    e.etapa = EstadoIntercambio::Etapa::EnDuda;
    Registrar(t, e);
    t.m.desde = esperador_.AhoraMs();
    Anotar(t,
           "no se sabe si el cliente recibió la solicitud (entrega interrumpida): no se envía otra vez; se "
           "espera su respuesta " +
               std::to_string(kEsperaDudaMs / 1000) + " s");
    RetirarDudosa(t, e);
}

void CicloSondeo::RetirarDudosa(Turno& t, const EstadoIntercambio& e) {
    QuitarSubida(t);
    QuitarOriginales(t, e, false);
}

void CicloSondeo::QuitarSubida(Turno& t) {
    const std::string subida = En(t.rutaZelno, kSubida);
    t.punto = "13";
    for (const char* nombre : {kSvl, kClicab, kPraxis})
        if (archivos::Existe(En(subida, nombre))) archivos::Borrar(En(subida, nombre), kAvisar);
}

std::string CicloSondeo::CodigoProveedor(Turno& t) {
    const std::string codigo = NormalizarCodigoEmpresa(t.codigoEmpresa);
    const std::string tabla = archivos::Unir(t.directorioZelno, kTablaEmpresas);
    t.punto = "11";
    if (archivos::Existe(tabla)) {
        t.punto = "12";
        if (auto proveedor = BuscarEnTablaEmpresas(archivos::LeerInicio(tabla, kMaximoTabla, kAvisar), codigo))
            return *proveedor;
    }
    return CodigoProveedorFijo(codigo);
}

void CicloSondeo::ResponderDuplicado(Turno& t, EstadoIntercambio e) {
    // The kept answer goes only onto this request's "P", and "S" only with the kept answer in place;
    // otherwise the request stays "P" and is tried again.
    if (LeerLetra(t, "29") != 'P') {
        e.etapa = EstadoIntercambio::Etapa::Ninguna;
        Registrar(t, e);
        return;
    }
    if (!RecuperarRespuestasAnteriores(t.rutaZelno, t.rutaKorvane, t.ui, kAvisar)) return;
    if (!MarcarRespondida(t)) {
        // The till wrote a new request meanwhile: the kept answer must not travel with it.
        const std::string descarga = En(t.rutaZelno, kDescarga);
        for (const auto& [copia, nombre] : {std::pair{kSerespAnterior, kSeresp}, std::pair{kPraxisAnterior, kPraxis}}) {
            const std::string destino = En(t.rutaKorvane, nombre);
            if (archivos::Existe(destino) && archivos::Existe(En(descarga, copia)) &&
                CompararArchivos(destino, En(descarga, copia), kAvisar))
                archivos::Borrar(destino, kAvisar);
        }
        e.etapa = EstadoIntercambio::Etapa::Ninguna;
        Registrar(t, e);
        Anotar(t, "duplicado no respondido: la terminal escribió otra solicitud");
        return;
    }
    e.etapa = EstadoIntercambio::Etapa::Ninguna;
    Registrar(t, e);
    tablero_.RespondidaDuplicado(t.rutaKorvane, reloj_(), esperador_.AhoraMs());
    Anotar(t, "duplicado respondido con la respuesta anterior");
}
