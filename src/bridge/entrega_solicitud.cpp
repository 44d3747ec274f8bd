// The hand-off of a new request ("C"). Every step that can fail before the request reaches the
// client (the client check, an earlier exchange's leftovers, reading CLICAB.ZLN, the repeat test and
// its copies, the company table) runs while the request is still "C", so a failure there leaves it
// for a later tick. A "C" is always decided afresh from its files; the decision is recorded, then
// "P", then the upload one recorded stage at a time: after a stop, a request that may already have
// reached the client is never sent again.
#include <functional>
#include <tuple>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "bridge/codigo_proveedor.h"
#include "bridge/duplicados.h"
#include "bridge/log_duplicados.h"
#include "bridge/pasos_turno.h"
#include "bridge/respuestas.h"
#include "config/textos_mensajes.h"
#include "platform/actividad.h"
#include "platform/archivos.h"

using namespace intercambio;
using Etapa = FichaIntercambio::Etapa;

namespace {

// Bytes of CLICAB.ZLN that the company code can come from: its place ends at byte 198.
constexpr std::size_t kInicioClicab = 198;
// The client's company table is a line per company; anything past this is not read.
constexpr std::size_t kMaximoTabla = 4 * 1024 * 1024;

Tarea<bool> ClienteDisponible(Turno& t) {
    if (!t.iniciarZelno) co_return true;
    // A client that ends within its start-up wait did not start; the other terminals go on meanwhile.
    std::function<std::int32_t()> arrancado;
    {
        // Two terminals whose steps run side by side start one client.
        const std::lock_guard lock(t.cx.arranque);
        if (t.cx.cliente.ProcesoEnEjecucion(API::kNombreCliente)) co_return true;
        arrancado = t.cx.cliente.IniciarCliente(t.zelnoExe, t.avisos);
    }
    if (!arrancado) co_return false;
    co_await t.Esperar(static_cast<std::int32_t>(API::kEsperaArranqueMs));
    co_return arrancado() > 0;
}

// Whatever an earlier exchange left in the client's folder (an estado.rsp, answer files that came
// late) is kept aside before a new request goes, so that it never becomes the new one's answer.
Tarea<> ApartarRestos(Turno& t) {
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
    co_await GuardarAparte(t, mensajes::kTextoMotivoAnterior, false, "1");
    // The client has answered since the request let go without its answer: it is done with that one.
    if (FichaIntercambio f = t.Ficha(); conEstado && f.anteriorPendiente) {
        transicion::AnteriorRespondida(f);
        t.Grabar(f);
    }
    // An answer flag just removed: the client gets a second before the new request.
    if (conEstado) co_await t.Esperar(1000);
}

std::string CodigoProveedor(Turno& t) {
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

// A file of the terminal folder that is the copy of the answer the terminal got last (the kept copy's
// bytes and time): ours, left there, and no part of the till's new request.
bool CopiaDeRespuesta(Turno& t, const std::string& archivo, const char* copia) {
    const std::string guardada = En(En(t.rutaZelno, kDescarga), copia);
    return archivos::Existe(guardada) &&
           archivos::SegundosModificacion(guardada, kAvisar) == archivos::SegundosModificacion(archivo, kAvisar) &&
           CompararArchivos(archivo, guardada, kAvisar);
}

FichaIntercambio DecidirEntrega(Turno& t, FichaIntercambio f) {
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    bool duplicado = false, conClicab = false;
    t.tamanio = -2;
    if (archivos::Existe(clicab)) {
        conClicab = true;
        t.punto = "4";
        const std::int64_t tamanio = archivos::Tamanio(clicab, kAvisar);
        t.tamanio = tamanio;
        t.codigoEmpresa = CodigoEmpresaDeClicab(archivos::LeerInicio(clicab, kInicioClicab, kAvisar), tamanio);
        t.punto = "5";
        // The kept answer serves only when it is the one the terminal got for the request repeated.
        duplicado = f.respuestaGuardada && archivos::Existe(En(En(t.rutaZelno, kDescarga), kSerespAnterior)) &&
                    EsDuplicado(t.rutaKorvane, t.directorioKorvane, t.cx.reloj, t.avisos, kAvisar);
    }
    t.punto = "6";
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    const bool conPraxis = archivos::Existe(praxis) && !CopiaDeRespuesta(t, praxis, kPraxisAnterior);
    // The provider code is only written for a new request, but read now: a table that cannot be read
    // must leave the request "C".
    std::string proveedor = duplicado ? std::string() : CodigoProveedor(t);
    transicion::Decidir(f, duplicado, conClicab, conPraxis, std::move(proveedor));
    t.Grabar(f);
    t.m.subida.reset();
    return f;
}

MemoriaTurno::Subida& SubidaDe(Turno& t) { return t.m.subida ? *t.m.subida : t.m.subida.emplace(); }

void CopiarAnteriores(Turno& t) {
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "5";
    if (archivos::Existe(clicab)) archivos::Copiar(clicab, En(t.rutaKorvane, kClicabAnterior), kAvisar);
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    t.punto = "7";
    if (archivos::Existe(praxis)) archivos::Copiar(praxis, En(t.rutaKorvane, kPraxisAnterior), kAvisar);
}

// A write into upload that failed without leaving its file there: the record goes back to `atras`,
// so that after a stop the request is not taken for one that a client may have (a doubt) when
// nothing of it ever reached upload.
void SinRastro(Turno& t, FichaIntercambio f, Etapa atras, const std::string& destino,
               const std::function<void()>& escribir) {
    try {
        escribir();
    } catch (...) {
        if (atras != f.etapa && !archivos::ExisteEntrada(destino)) {
            transicion::Retroceder(f, atras);
            try {
                t.Grabar(f);
            } catch (...) {
                actividad::AnotarFalloIgnorado(t.Nombre(), "registro tras fallar " + destino);
            }
        }
        throw;
    }
}

// One request file of the terminal folder into upload, whole and on the disk (`copiado` says so from
// then on: a client may take it even if the flush is held up), then out of the terminal folder.
// `atras`: the stage to go back to when nothing of it reached upload.
void Subir(Turno& t, const FichaIntercambio& f, const char* nombre, Etapa atras, bool* copiado) {
    const std::string origen = En(t.rutaKorvane, nombre), destino = En(En(t.rutaZelno, kSubida), nombre);
    if (copiado) {
        // Whole when it appears: a client that takes the request files before _svl.0 never reads half
        // of one. A file of ours from an earlier attempt is replaced.
        SinRastro(t, f, atras, destino,
                  [&] { archivos::ColocarCopia(origen, destino, En(t.rutaZelno, kTemporalTramiza), true, kAvisar); });
        *copiado = true;
    }
}

// The request files in the terminal folder are still the request's own, as copied when it was
// decided. After its "P", a till that leaves it may be writing its next request there, files first
// and "C" a moment later: those are never uploaded nor removed as this one's. `clicabFuera` and
// `praxisFuera` say that the file may well be gone (it is in upload, say); one that is not there
// otherwise the till has taken away, leaving the request.
bool OriginalesSuyos(Turno& t, const FichaIntercambio& f, bool clicabFuera = true, bool praxisFuera = true) {
    for (const auto& [nombre, copia, suyo, fuera] : {std::tuple(kClicab, kClicabAnterior, f.conClicab, clicabFuera),
                                                     std::tuple(kPraxis, kPraxisAnterior, f.conPraxis, praxisFuera)}) {
        const std::string original = En(t.rutaKorvane, nombre);
        t.punto = "3";
        if (!suyo) continue;
        if (!archivos::Existe(original)) {
            if (fuera) continue;
            return false;
        }
        t.punto = "5";
        if (archivos::Existe(En(t.rutaKorvane, copia)) &&
            !CompararArchivos(original, En(t.rutaKorvane, copia), kAvisar))
            return false;
    }
    return true;
}

// Each request file that is still in the terminal folder reaches upload (`copiar`), on the disk,
// before it leaves the terminal folder; an answer of an earlier exchange goes too.
void QuitarOriginales(Turno& t, const FichaIntercambio& f, bool copiar) {
    // Only an upload of this process's own is known; removing the originals alone learns nothing.
    MemoriaTurno::Subida* hecho = copiar ? &SubidaDe(t) : nullptr;
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    if (f.conClicab && archivos::Existe(clicab)) {
        t.punto = "5";
        Subir(t, f, kClicab, Etapa::Decidida, hecho ? &hecho->clicab : nullptr);
        archivos::Borrar(clicab, kAvisar);
    }
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    t.punto = "6";
    if (f.conPraxis && archivos::Existe(praxis)) {
        t.punto = "7";
        // The first file of a request without CLICAB.ZLN: nothing of it is in upload when it fails.
        Subir(t, f, kPraxis, f.conClicab ? f.etapa : Etapa::Decidida, hecho ? &hecho->praxis : nullptr);
        t.punto = "8";
        archivos::Borrar(praxis, kAvisar);
    }
    // The answer's PRAXIS.ZLN that the till got last, when its new request has none of its own.
    if (!f.conPraxis && archivos::Existe(praxis) && CopiaDeRespuesta(t, praxis, kPraxisAnterior)) {
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

// The client has the request: its TX marker first (written again by an attempt after a failure,
// which is harmless), then the record, with the moment it got it.
void Entregada(Turno& t, FichaIntercambio& f) {
    if (t.activarTx) {
        t.punto = "15";
        archivos::EscribirAlInicio(En(archivos::Unir(t.directorioZelno, kCarpetaTx),
                                      kPrefijoTerminal + t.codigoTerminal),
                                   "", kAvisar);
    }
    transicion::Entregada(f);
    t.Grabar(f);
    t.m.subida.reset();
    t.m.entrega = t.cx.esperador.AhoraMs();
    t.m.retenidaDicha = false;
}

// _svl.0 hands the request over: the client takes it, and removes the upload files, once it is there.
void EntregarAlCliente(Turno& t, FichaIntercambio f) {
    transicion::Entregar(f);
    t.Grabar(f);
    const std::string svl = En(En(t.rutaZelno, kSubida), kSvl);
    t.punto = "13";
    // The whole file: a short code written over a longer earlier one must not leave a mixture.
    SinRastro(t, f, Etapa::Subiendo, svl, [&] { archivos::EscribirEntrega(svl, f.proveedor, kAvisar); });
    SubidaDe(t).svl = true;
    Entregada(t, f);
    const std::string tamanio = t.tamanio >= 0    ? std::to_string(t.tamanio) + " bytes"
                                : t.tamanio == -2 ? std::string("sin CLICAB.ZLN")
                                                  : std::string("tamaño no leído en este arranque");
    t.Anotar("solicitud entregada, " + tamanio + ", proveedor " + f.proveedor);
}

// A request that reached the client without a _svl.0 of this attempt's.
void MarcarEntregada(Turno& t, FichaIntercambio f, const char* como) {
    Entregada(t, f);
    t.Anotar(std::string("solicitud entregada (") + como + "), proveedor " + f.proveedor);
}

// The kept answer goes only onto this request's "P", and "S" only with an answer in place; the
// request's own files go only once its answer is there. A kept answer that has gone meanwhile gives
// our communication-error answer, so that the till can try again: never a "P" for good.
void ResponderDuplicado(Turno& t, FichaIntercambio f) {
    if (LeerLetra(t, "29") != 'P') {
        transicion::Olvidar(f);
        t.Grabar(f);
        return;
    }
    const std::string descarga = En(t.rutaZelno, kDescarga);
    const std::string praxis = En(t.rutaKorvane, kPraxis);
    // The till wrote a new request meanwhile: the answer must not travel with it, nor take its place.
    const auto otraSolicitud = [&] {
        for (const auto& [copia, nombre] : {std::pair{kSerespAnterior, kSeresp}, std::pair{kPraxisAnterior, kPraxis}}) {
            const std::string destino = En(t.rutaKorvane, nombre);
            if (!archivos::Existe(destino)) continue;
            const bool nuestro =
                (archivos::Existe(En(descarga, copia)) && CompararArchivos(destino, En(descarga, copia), kAvisar)) ||
                (nombre == std::string_view(kSeresp) &&
                 archivos::LeerInicio(destino, kInicioEstado, kAvisar) == RespuestaErrorComunicacion(""));
            if (nuestro) archivos::Borrar(destino, kAvisar);
        }
        transicion::Olvidar(f);
        t.Grabar(f);
        t.Anotar("duplicado no respondido: la terminal escribió otra solicitud");
    };
    const bool guardada = archivos::Existe(En(descarga, kSerespAnterior));
    if (guardada) {
        // The request's PRAXIS.ZLN (a copy of it is PRAXISAnterior.ZLN beside it) makes room for the
        // kept one; a PRAXIS.ZLN that is neither it nor ours is the till's next request's.
        t.punto = "8";
        if (archivos::Existe(praxis)) {
            const std::string kept = En(descarga, kPraxisAnterior);
            if (!CompararArchivos(praxis, En(t.rutaKorvane, kPraxisAnterior), kAvisar) &&
                !(archivos::Existe(kept) && CompararArchivos(praxis, kept, kAvisar))) {
                otraSolicitud();
                return;
            }
            archivos::Borrar(praxis, kAvisar);
        }
        bool ajena = false;
        if (!RecuperarRespuestasAnteriores(t.rutaZelno, t.rutaKorvane, t.avisos, kAvisar, &ajena)) return;
        if (ajena) {
            otraSolicitud();
            return;
        }
    } else {
        t.punto = "28";
        const std::string seresp = En(t.rutaKorvane, kSeresp);
        archivos::EscribirCompleto(seresp, RespuestaErrorComunicacion(""), kAvisar);
        archivos::Sincronizar(seresp, kAvisar);
        t.Anotar(
            "la respuesta guardada de la solicitud repetida ya no está: respuesta de error de comunicación "
            "escrita en SERESP.ZLN");
        t.punto = "8";
        if (archivos::Existe(praxis) && CompararArchivos(praxis, En(t.rutaKorvane, kPraxisAnterior), kAvisar))
            archivos::Borrar(praxis, kAvisar);
    }
    // The request's CLICAB.ZLN goes only once its answer is in place.
    const std::string clicab = En(t.rutaKorvane, kClicab);
    t.punto = "3";
    if (archivos::Existe(clicab)) archivos::Borrar(clicab, kAvisar);
    if (!MarcarRespondida(t)) {
        otraSolicitud();
        return;
    }
    if (guardada) {
        transicion::Olvidar(f);
    } else {
        transicion::Soltar(f);
    }
    t.Grabar(f);
    t.cx.tablero.RespondidaDuplicado(t.rutaKorvane, t.cx.reloj(), t.cx.esperador.AhoraMs());
    t.Anotar("duplicado respondido con la respuesta anterior");
}

// The request may or may not be in the client's hands: what is left of it in upload is withdrawn, the
// terminal's originals go as after any hand-off, and the client's answer is awaited for a while.
void CaerEnDuda(Turno& t, FichaIntercambio f) {
    // The doubt is recorded (and the upload forgotten) before anything is withdrawn: files that we
    // remove from upload ourselves must never look taken by the client to a later attempt. A
    // withdrawal cut short by a failure is finished by the doubt's next attempt.
    t.m.subida.reset();
    transicion::Dudar(f, t.cx.esperador.AhoraMs(), true);
    t.Grabar(f);
    t.Anotar(
        "no se sabe si el cliente recibió la solicitud (entrega interrumpida): no se envía otra vez; se espera su "
        "respuesta " +
        std::to_string(kEsperaDudaMs / 1000) + " s");
    RetirarDudosa(t, f);
}

}  // namespace

Tarea<> EntregarSolicitud(Turno& t) {
    const bool disponible = co_await ClienteDisponible(t);
    if (!disponible) {
        t.avisos.MostrarMensaje(mensajes::kTextoNoSeEncuentraZelno, mensajes::kTituloZelno32, Icono::Critico);
        co_return;
    }
    co_await ApartarRestos(t);
    const FichaIntercambio f = DecidirEntrega(t, t.Ficha());
    CopiarAnteriores(t);
    MarcarStatus(t, "P", "2", "2.5");
    CompletarEntrega(t, f);
}

void CompletarEntrega(Turno& t, FichaIntercambio f) {
    if (f.duplicado) {
        ResponderDuplicado(t, f);
        return;
    }
    // Nothing goes while the till writes its next request: its "C" decides that one afresh.
    if (!OriginalesSuyos(t, f, false, false)) return;
    transicion::Subir(f);
    t.Grabar(f);
    t.m.subida = MemoriaTurno::Subida{};
    // A request file of an earlier request that nobody took must not travel with this one.
    const std::string subida = En(t.rutaZelno, kSubida);
    t.punto = "13";
    for (const auto& [nombre, suyo] : {std::pair(kClicab, f.conClicab), std::pair(kPraxis, f.conPraxis)})
        if (!suyo && archivos::Existe(En(subida, nombre))) archivos::Borrar(En(subida, nombre), kAvisar);
    QuitarOriginales(t, f, true);
    EntregarAlCliente(t, f);
}

// An upload cut short. What this process did itself it knows (MemoriaTurno::subida); after a stop, a
// request file missing from upload may have been taken by a client that does not wait for _svl.0,
// and a missing _svl.0 may have been taken: then nobody can tell, and the request is not sent again.
void ReanudarEntrega(Turno& t, FichaIntercambio f) {
    const bool mia = t.m.subida.has_value();
    const MemoriaTurno::Subida hecho = t.m.subida.value_or(MemoriaTurno::Subida{});
    const QuedaEnSubida queda = LeerSubida(t, f, "13");
    if (f.etapa == Etapa::Subiendo) {
        // A client that does not wait for _svl.0 takes every request file it finds, at once: while
        // one is still in upload, nothing was taken. With none left, this process knows which it
        // copied there; after a stop, nobody knows.
        const bool conArchivos = f.conClicab || f.conPraxis;
        const bool copiadoAlguno = (f.conClicab && hecho.clicab) || (f.conPraxis && hecho.praxis);
        const bool copiadoTodo = (!f.conClicab || hecho.clicab) && (!f.conPraxis || hecho.praxis);
        if (!conArchivos || queda.clicab || queda.praxis || (mia && !copiadoAlguno)) {
            if (!OriginalesSuyos(t, f, queda.clicab || hecho.clicab, queda.praxis || hecho.praxis)) return;
            QuitarOriginales(t, f, true);
            EntregarAlCliente(t, f);
        } else if (mia && copiadoTodo) {
            // It has the request. A _svl.0 written now could be taken for a request of its own.
            if (OriginalesSuyos(t, f)) QuitarOriginales(t, f, false);
            MarcarEntregada(t, f, "tomada por el cliente antes de _svl.0");
        } else {
            CaerEnDuda(t, f);
        }
        return;
    }
    // Entregando: _svl.0 still there was not taken. Gone, it was taken when this process wrote it;
    // request files gone too were taken, with it or before it; a _svl.0 that this process knows it
    // did not write is written, while the files wait in upload.
    if (queda.svl) {
        EntregarAlCliente(t, f);
    } else if (queda.ArchivosFuera(f) || hecho.svl) {
        MarcarEntregada(t, f, "tomada por el cliente durante la entrega");
    } else if (mia) {
        EntregarAlCliente(t, f);
    } else {
        CaerEnDuda(t, f);
    }
}

bool RepeticionEscrita(Turno& t, const FichaIntercambio& f) {
    if (!f.conClicab) return false;
    t.punto = "3";
    if (!archivos::Existe(En(t.rutaKorvane, kClicab))) return false;
    // A comparison that fails decides nothing: the turn's failure, and the next tick compares again.
    t.punto = "5";
    return MismaSolicitud(t.rutaKorvane, kAvisar, !f.conPraxis);
}

bool AdoptarRepeticion(Turno& t, const FichaIntercambio& f) {
    if (!RepeticionEscrita(t, f)) return false;
    GrabarLog(t.directorioKorvane, t.rutaKorvane, t.cx.reloj, kAvisar);
    // "P" first: a stop after it finds a request in the client's hands, never a "C" without its files.
    MarcarStatus(t, "P", "2", "2.5");
    QuitarOriginales(t, f, false);
    t.Anotar("la terminal repitió la solicitud que tiene el cliente: se le dará su respuesta, no se envía otra vez");
    return true;
}

void RetirarDudosa(Turno& t, FichaIntercambio& f) {
    if (f.retirada) return;
    QuitarSubida(t);
    if (OriginalesSuyos(t, f)) QuitarOriginales(t, f, false);
    // Once: whatever the till writes from now on is its next request, the same one again included.
    transicion::Retirada(f);
    t.Grabar(f);
}

QuedaEnSubida LeerSubida(Turno& t, const FichaIntercambio& f, PuntoControl punto) {
    const std::string subida = En(t.rutaZelno, kSubida);
    t.punto = punto;
    QuedaEnSubida q;
    q.clicab = f.conClicab && archivos::Existe(En(subida, kClicab));
    q.praxis = f.conPraxis && archivos::Existe(En(subida, kPraxis));
    q.svl = archivos::Existe(En(subida, kSvl));
    return q;
}

void QuitarSubida(Turno& t) {
    const std::string subida = En(t.rutaZelno, kSubida);
    t.punto = "13";
    for (const char* nombre : {kSvl, kClicab, kPraxis})
        if (archivos::Existe(En(subida, nombre))) archivos::Borrar(En(subida, nombre), kAvisar);
}
