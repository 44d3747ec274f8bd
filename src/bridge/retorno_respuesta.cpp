// The response return for a request in "P": once the client's estado.rsp is there and the client has
// had its waits, STATUS.ZLN is read again; the answer files (or an error answer of our own) are copied
// to the terminal folder and flushed, then "S" over that same "P", and only then are the client's
// files removed. A failure or a stop before "S" leaves the client's answer where the next tick finds
// it again; one after "S" leaves only the removal to finish. An answer that no terminal waits for any
// more is never dropped: its files are kept aside, and the user is told.
#include <algorithm>
#include <cstdio>
#include <utility>
#include <vector>

#include "bridge/archivos_intercambio.h"
#include "bridge/duplicados.h"
#include "bridge/pasos_turno.h"
#include "bridge/respuestas.h"
#include "config/textos_mensajes.h"
#include "platform/archivos.h"

using namespace intercambio;
using Etapa = FichaIntercambio::Etapa;

std::string EstadoParaActividad(const std::string& textoEstado) {
    std::string texto(1, '"');
    texto.append(textoEstado, 0, std::min<std::size_t>(textoEstado.find_first_of("\r\n"), 80));
    texto.push_back('"');
    return texto;
}

namespace {

// What the client's download folder holds for the answer, once the client has had its waits.
struct Respuesta {
    ClaseRespuesta clase = ClaseRespuesta::Cliente;
    PuntoControl puntoSeresp = "19";  // the copy of SERESP.ZLN, or the format error's checkpoint
    bool praxis = false, tiquet = false;
};

// The client has held the request for kRetencionLargaMs: said once, and the request still awaited.
void DecirRetencion(Turno& t) {
    if (!t.m.entrega || t.m.retenidaDicha) return;
    const std::int64_t ms = t.cx.esperador.AhoraMs() - *t.m.entrega;
    if (ms < kRetencionLargaMs) return;
    t.m.retenidaDicha = true;
    const std::string minutos = std::to_string(ms / 60000);
    t.Anotar("el cliente tiene la solicitud desde hace " + minutos + " min sin responder; se sigue esperando");
    t.avisos.MostrarSinAnotar(mensajes::Rellenar(mensajes::kTextoRetenida, {t.Nombre(), minutos}),
                              mensajes::kTituloRetenida, Icono::Informacion);
}

// The answer the folder held may have been this request's: it waits in doubt for one more.
// `tomada`: the client surely has this request and its answer may still come, however late;
// `incierta`: ... unless the answer kept was its own after all.
void DudarDeRespuesta(Turno& t, FichaIntercambio& e, bool tomada, bool incierta = false) {
    if (tomada)
        transicion::DudarTomada(e, t.cx.esperador.AhoraMs(), incierta);
    else
        transicion::Dudar(e, t.cx.esperador.AhoraMs(), false);
    t.Grabar(e);
    t.Anotar("no se sabe si la respuesta guardada aparte era la de esta solicitud: se espera otra " +
             std::to_string(kEsperaDudaMs / 1000) + " s");
}

// How long the answer of a request in doubt, or of one the till left, has been awaited. Not begun,
// or begun before the machine last started: it begins now, in the record, so that a stop keeps it.
std::int64_t DesdeHace(Turno& t, FichaIntercambio& e) {
    const std::int64_t ahora = t.cx.esperador.AhoraMs();
    if (!e.esperaDesde || *e.esperaDesde > ahora) {
        transicion::EmpezarEspera(e, ahora);
        t.Grabar(e);
    }
    return ahora - *e.esperaDesde;
}

// The client's waits and looks: 2 s before SERESP.ZLN (and a second look a second later at an empty
// one), 1 s more before PRAXIS.ZLN and TIQUET.PRN. Nothing is copied yet.
Tarea<Respuesta> MirarRespuestaCliente(Turno& t) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    const std::string seresp = En(descarga, kSeresp);
    Respuesta r;
    t.punto = "18";
    co_await t.Esperar(2000, "18");
    if (!archivos::Existe(seresp)) {
        r.clase = ClaseRespuesta::ErrorFormato;
        r.puntoSeresp = "21";
    } else if (archivos::Tamanio(seresp, kAvisar) == 0) {
        // The client may still be filling it: one more look a second later.
        co_await t.Esperar(1000, "18.5");
        if (archivos::Tamanio(seresp, kAvisar) != 0) {
            r.puntoSeresp = "18.7";
        } else {
            r.clase = ClaseRespuesta::ErrorFormato;
            r.puntoSeresp = "18.5";
        }
    }
    t.punto = "22";
    co_await t.Esperar(1000, "22");
    r.praxis = archivos::Existe(En(descarga, kPraxis));
    t.punto = "25";
    r.tiquet = archivos::Existe(En(descarga, kTiquet));
    co_return r;
}

// The answer into the terminal folder, each file on the disk before "S" says it is there. False when
// the format-error answer could not be written (its message has been shown).
enum class Entrega { Hecha, SinErrorFormato, Dejada };

// The answer into the terminal folder, each file on the disk before "S" says it is there. PRAXIS.ZLN
// is the one name the till writes too: ours never replaces a file we did not put there, and a till's
// new PRAXIS.ZLN found in its place means the till has moved on (Dejada). SinErrorFormato: the
// format-error answer could not be written (its message has been shown).
Entrega EntregarRespuesta(Turno& t, const Respuesta& r, FichaIntercambio& e, const std::string& textoEstado) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    t.entregados.clear();
    const auto copiar = [&](PuntoControl punto, const char* nombre) {
        t.punto = punto;
        const std::string origen = En(descarga, nombre), destino = En(t.rutaKorvane, nombre);
        const bool suyo = nombre == std::string_view(kPraxis);
        bool puesto = archivos::ColocarCopia(origen, destino, En(t.rutaKorvane, kTemporalTramiza), !suyo, kAvisar);
        // An earlier attempt's own copy (its bytes and its time) is ours to replace.
        if (!puesto &&
            archivos::SegundosModificacion(origen, kAvisar) == archivos::SegundosModificacion(destino, kAvisar) &&
            CompararArchivos(destino, origen, kAvisar))
            puesto = archivos::ColocarCopia(origen, destino, En(t.rutaKorvane, kTemporalTramiza), true, kAvisar);
        if (puesto) t.entregados.append(" ").append(nombre);
        return puesto;
    };
    // A ticket beside an answer that has none is an earlier answer's that the till never took away
    // (it left that request as the answer came): it would be printed with this one. Only we write it.
    t.punto = "26";
    if (!r.tiquet && archivos::Existe(En(t.rutaKorvane, kTiquet)))
        archivos::Borrar(En(t.rutaKorvane, kTiquet), kAvisar);
    using Clase = ClaseRespuesta;
    if (r.clase == Clase::ErrorComunicacion || r.clase == Clase::SinRespuesta) {
        t.punto = "28";
        const std::string seresp = En(t.rutaKorvane, kSeresp);
        // The whole file: an older, longer SERESP.ZLN must not leave its tail behind the record.
        archivos::EscribirCompleto(seresp, RespuestaErrorComunicacion(textoEstado), kAvisar);
        archivos::Sincronizar(seresp, kAvisar);
        t.Anotar("respuesta de error de comunicación escrita en SERESP.ZLN");
        t.entregados = " SERESP.ZLN";
        return Entrega::Hecha;
    }
    if (r.clase == Clase::ErrorFormato) {
        t.punto = r.puntoSeresp;
        if (!GrabarErrorFormato(t.rutaKorvane, t.avisos, kAvisar)) return Entrega::SinErrorFormato;
        t.Anotar("respuesta de error de formato escrita en SERESP.ZLN");
        t.entregados = " SERESP.ZLN";
    } else {
        copiar(r.puntoSeresp, kSeresp);
    }
    if (r.praxis && !copiar("23", kPraxis)) return Entrega::Dejada;
    if (r.tiquet) copiar("26", kTiquet);
    // Only the client's own answer, delivered whole, may serve a later repeat; the kept files are
    // exactly the ones the terminal got. A copy held by another program is waited for a moment only:
    // past that, the box, and the answer goes to its till all the same, with nothing kept.
    e.respuestaGuardada = e.resultado == ClaseRespuesta::Cliente &&
                          GuardarRespuestasAnteriores(t.rutaZelno, r.praxis, t.avisos, archivos::kEsperar);
    // The PRAXIS.ZLN of a format-error answer is kept as well, though not to serve a repeat: a till
    // that leaves the request as it comes writes its next one around it, and the next hand-off must
    // know it for ours, never for that request's.
    if (r.clase == Clase::ErrorFormato && r.praxis) {
        t.punto = "23";
        archivos::CopiarYSincronizar(En(descarga, kPraxis), En(descarga, kPraxisAnterior), kAvisar);
    }
    return Entrega::Hecha;
}

// Removes from the terminal folder the answer files that a return put there without its "S": each
// one that is still a copy of the client's file (its bytes and its time: a till's own file of the
// same bytes, such as a new PRAXIS.ZLN, is newer) or one of our error records.
void RetirarRespuesta(Turno& t) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    t.punto = "29";
    const std::string textoEstado =
        archivos::Existe(estadoRsp) ? archivos::LeerInicio(estadoRsp, kInicioEstado, kAvisar) : std::string();
    for (const char* nombre : {kSeresp, kPraxis, kTiquet}) {
        const std::string destino = En(t.rutaKorvane, nombre);
        if (!archivos::Existe(destino)) continue;
        const std::string origen = En(descarga, nombre);
        bool nuestro =
            archivos::Existe(origen) &&
            archivos::SegundosModificacion(origen, kAvisar) == archivos::SegundosModificacion(destino, kAvisar) &&
            CompararArchivos(destino, origen, kAvisar);
        if (!nuestro && nombre == std::string_view(kSeresp)) {
            const std::string texto = archivos::LeerInicio(destino, kInicioEstado, kAvisar);
            nuestro = texto == RespuestaErrorFormato() || texto == RespuestaErrorComunicacion(textoEstado) ||
                      texto == RespuestaErrorComunicacion("");
        }
        if (nuestro) archivos::Borrar(destino, kAvisar);
    }
}

// The till wrote another request meanwhile: what an earlier attempt put into the terminal folder
// goes, the client's answer is kept aside, and the record lets the new request go.
Tarea<> DejarPorOtraSolicitud(Turno& t, FichaIntercambio f) {
    if (f.etapa == Etapa::Respondiendo) RetirarRespuesta(t);
    bool anterior = false;
    co_await GuardarAparte(t, mensajes::kTextoMotivoOtraSolicitud, false, "16", &anterior);
    transicion::Soltar(f, anterior);
    t.Grabar(f);
}

}  // namespace

Tarea<bool> RetornarRespuesta(Turno& t, FichaIntercambio e) {
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    // What a doubt withdraws may have been cut short by a failure.
    if (e.etapa == Etapa::EnDuda) RetirarDudosa(t, e);
    t.punto = "16";
    Respuesta r;
    std::string textoEstado;
    if (!archivos::Existe(estadoRsp)) {
        // A request that may never have reached the client is answered by us once its time is over
        // (and again, when the "S" of that answer could not be written).
        const bool vencida = e.etapa == Etapa::EnDuda
                                 ? DesdeHace(t, e) >= kEsperaDudaMs
                                 : (e.etapa == Etapa::Respondiendo || e.etapa == Etapa::Respondida) &&
                                       e.resultado == ClaseRespuesta::SinRespuesta;
        if (!vencida) {
            if (e.etapa == Etapa::Entregada) DecirRetencion(t);
            co_return false;
        }
        r.clase = ClaseRespuesta::SinRespuesta;
    } else if (e.etapa == Etapa::Entregada && LeerSubida(t, e, "16").Algo()) {
        // The client takes a request from upload before it answers it, and answers the requests it
        // took in order: while this one is still there, the answer is an earlier request's (one the
        // till left, say). It is kept aside, and this request waits for its own.
        // The client gets the time a return would give it to finish those files. Having finished
        // the earlier request, it may take this one meanwhile and answer it into the same names:
        // then nobody can tell whose answer the folder holds. It is kept aside all the same, and
        // this request is in doubt: an answer coming later is its own; none, and it gets ours.
        // Taken meanwhile, the doubt is recorded before the answer goes aside, that answer still counted
        // as due: a failure or a stop in between finds this request in doubt and the answer nobody's
        // (the branch below keeps it aside), never waiting for good for an answer gone aside.
        co_await t.Esperar(4000, "aparte");
        const bool tomadaEntretanto = !LeerSubida(t, e, "16").Algo();
        if (tomadaEntretanto) {
            transicion::AnteriorPorApartar(e);
            DudarDeRespuesta(t, e, true);
        }
        co_await GuardarAparte(t, tomadaEntretanto ? mensajes::kTextoMotivoIncierta : mensajes::kTextoMotivoAnterior,
                               false);
        transicion::AnteriorRespondida(e);
        t.Grabar(e);
        co_return false;
    } else if ((e.etapa == Etapa::Entregada || e.etapa == Etapa::EnDuda) && e.anteriorPendiente) {
        // An earlier request was let go unanswered, and this one has left upload: the client may have
        // answered that one just before it took this one, and this one just after, into the same
        // names. Whose answer this is nobody can tell: it is kept aside, and this request is in doubt.
        // Its own answer may still come, however late; or the one kept was its own. So it is
        // awaited after this request is let go, once: a doubt that comes of that wait awaits none.
        // The doubt is recorded before the answer goes aside, the earlier one still due: a failure or
        // a stop in between finds this request in doubt (its answer kept aside once more, or ours after
        // the doubt's wait), never waiting for good for an answer that has gone aside.
        const bool cierta = !e.anteriorIncierta;
        co_await t.Esperar(4000, "aparte");
        DudarDeRespuesta(t, e, cierta, true);
        co_await GuardarAparte(t, mensajes::kTextoMotivoIncierta, false);
        transicion::AnteriorRespondida(e);
        t.Grabar(e);
        co_return false;
    } else {
        t.punto = "17";
        co_await t.Esperar(1000, "17");
        textoEstado = archivos::LeerInicio(estadoRsp, kInicioEstado, kAvisar);
        if (!textoEstado.empty() && textoEstado[0] == '0')
            r = co_await MirarRespuestaCliente(t);
        else
            r.clase = ClaseRespuesta::ErrorComunicacion;
    }

    // The answer goes only onto the request it answers. What an earlier attempt put into the
    // terminal folder must not travel with the till's new request.
    // A CLICAB.ZLN in the terminal folder is the till's next request (this one's went at its hand-off):
    // a till that gives up writes its files before its "C", so the "P" may still be there.
    if (const char letra = LeerLetra(t, "29"); letra != 'P' || archivos::Existe(En(t.rutaKorvane, kClicab))) {
        // The same request written again while the client had it is the same sale: it gets this
        // answer, once its "C" is there (a till that writes its files first writes it a moment
        // later). Any other goes on without it.
        const bool enCurso = e.etapa == Etapa::Entregada || e.etapa == Etapa::EnDuda;
        if (letra == 'P' && enCurso && RepeticionEscrita(t, e)) co_return false;
        const bool mismaVenta = letra == 'C' && enCurso && AdoptarRepeticion(t, e);
        if (!mismaVenta) {
            co_await DejarPorOtraSolicitud(t, e);
            co_return true;
        }
    }
    // Recorded before the first file goes into the terminal folder: a till that leaves the request
    // after a failure or a stop from here on finds every file of ours taken away again.
    transicion::Responder(e, r.clase);
    t.Grabar(e);
    const Entrega entrega = EntregarRespuesta(t, r, e, textoEstado);
    if (entrega == Entrega::SinErrorFormato) co_return false;  // no "S": tried again next tick
    if (entrega == Entrega::Dejada) {
        t.Anotar("PRAXIS.ZLN de la terminal en lugar de la respuesta: la terminal escribió otra solicitud");
        co_await DejarPorOtraSolicitud(t, e);
        co_return true;
    }

    // "S" only once every answer file is in place, and before the client's files go.
    if (!MarcarRespondida(t)) {
        // The till wrote a new request in the last moment.
        co_await DejarPorOtraSolicitud(t, e);
        co_return true;
    }
    transicion::Respondida(e);
    t.Grabar(e);
    t.cx.tablero.Respondida(t.rutaKorvane, e, textoEstado, t.cx.reloj(), t.cx.esperador.AhoraMs());
    // For the activity log: how the answer went and how long the client had the request.
    std::string que("respuesta devuelta, estado.rsp ");
    que.append(r.clase == ClaseRespuesta::SinRespuesta ? std::string("ninguno") : EstadoParaActividad(textoEstado))
        .append(", archivos");
    que.append(t.entregados.empty() ? std::string(" ninguno") : t.entregados).append(", ");
    if (t.m.entrega) {
        que.append(std::to_string(t.cx.esperador.AhoraMs() - *t.m.entrega)).append(" ms");
        t.m.entrega.reset();
    } else {
        que.append("duración no conocida (entregada antes de este arranque)");
    }
    t.Anotar(que);
    LimpiarRespuesta(t, e);
    co_return false;
}

void LimpiarRespuesta(Turno& t, FichaIntercambio e) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    using R = ClaseRespuesta;
    // A communication error leaves the download folder as the client left it, and an empty SERESP.ZLN
    // that gave the format-error answer stays: the next hand-off keeps aside whatever is there. Our
    // answer to a request in doubt touches nothing of the client's: an answer coming now is its own.
    if (e.resultado == R::Cliente || e.resultado == R::ErrorFormato) {
        const std::string seresp = En(descarga, kSeresp);
        if (e.resultado == R::Cliente && archivos::Existe(seresp)) {
            t.punto = "20";
            archivos::Borrar(seresp, kAvisar);
        }
        const std::string praxis = En(descarga, kPraxis);
        if (archivos::Existe(praxis)) {
            t.punto = "24";
            archivos::Borrar(praxis, kAvisar);
        }
        const std::string tiquet = En(descarga, kTiquet);
        if (archivos::Existe(tiquet)) {
            t.punto = "27";
            archivos::Borrar(tiquet, kAvisar);
        }
    }
    if (e.resultado != R::SinRespuesta) {
        const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
        t.punto = "30";
        if (archivos::Existe(estadoRsp)) archivos::Borrar(estadoRsp, kAvisar);
    }
    transicion::Limpiada(e);
    t.Grabar(e);
}

Tarea<bool> DespedirRespuesta(Turno& t, FichaIntercambio e, char letra) {
    using E = Etapa;
    // The same request again, while the client has the first: it waits for the first's answer. So
    // too for a hand-off cut short (a record that
    // could not be written, say) whose files have left upload since: the client may have taken them.
    bool puedeTenerla = e.etapa == E::Entregada || e.etapa == E::EnDuda;
    if (letra == 'C' && (e.etapa == E::Subiendo || e.etapa == E::Entregando)) {
        const QuedaEnSubida queda = LeerSubida(t, e, "16");
        puedeTenerla = e.etapa == E::Entregando
                           ? !queda.svl
                           : queda.ArchivosFuera(e) && (!t.m.subida || t.m.subida->clicab || t.m.subida->praxis);
    }
    if (letra == 'C' && puedeTenerla && AdoptarRepeticion(t, e)) co_return true;
    // What is left in upload belongs to the request the till left (and must not look taken later).
    if (e.etapa == E::Subiendo || e.etapa == E::Entregando) {
        t.m.subida.reset();
        QuitarSubida(t);
    }
    if (e.etapa == E::Respondiendo) RetirarRespuesta(t);
    // Handed over and still wholly in upload: the client has not begun on it (busy with an earlier
    // request, say). It is withdrawn, _svl.0 first, and the till's next request goes at once. Left
    // there, the next hand-off would mix its files with what remains of this one.
    if (e.etapa == E::Entregada && LeerSubida(t, e, "16").Entera(e) && !archivos::Existe(En(t.rutaZelno, kEstadoRsp))) {
        QuitarSubida(t);
        t.Anotar("la solicitud que la terminal dejó no la había tomado el cliente: se retira de upload");
        transicion::Soltar(e, false);
        t.Grabar(e);
        t.m.entrega.reset();
        co_return true;
    }
    // The client answers in the order it took: while an earlier request's answer is still due, the
    // answer that comes is that one's, never kept to serve this request's repeat, and this request's
    // own, if the client took it, may still come.
    const bool antesOtra = e.anteriorPendiente;
    bool anterior = false;
    const bool apartada =
        co_await GuardarAparte(t,
                               e.etapa == E::Vencida ? mensajes::kTextoMotivoTrasError : mensajes::kTextoMotivoDejada,
                               true, "16", antesOtra ? nullptr : &anterior);
    if (!apartada) {
        if (e.etapa == E::Vencida) {
            // Watched for until the terminal sends its next request: its answer is the next one.
            if (letra != 'C') co_return false;
        } else if (DesdeHace(t, e) < kEsperaDudaMs) {
            co_return false;
        } else {
            t.Anotar("la solicitud que la terminal dejó no tuvo respuesta del cliente en " +
                     std::to_string(kEsperaDudaMs / 1000) + " s");
            // What is left of it in upload was never taken: it must not travel with the next request.
            if (e.etapa == E::Entregada && LeerSubida(t, e, "16").Algo()) {
                QuitarSubida(t);
                transicion::Soltar(e);
                t.Grabar(e);
                t.m.entrega.reset();
                t.m.subida.reset();
                co_return true;
            }
        }
        // A request known to be in the client's hands may still be answered, after the client has
        // taken the next one, however long we waited. (One that may never have reached it is not
        // waited for so.)
        if (e.etapa == E::Entregada || e.tomadaPorCliente)
            transicion::SoltarSinRespuesta(e, e.etapa != E::Entregada && e.tomadaIncierta);
        else
            transicion::Soltar(e);
    } else if (antesOtra && (e.etapa == E::Entregada || e.tomadaPorCliente)) {
        transicion::SoltarSinRespuesta(e, e.etapa != E::Entregada && e.tomadaIncierta);
    } else {
        transicion::Soltar(e, anterior);
        transicion::AnteriorRespondida(e);
    }
    t.Grabar(e);
    t.m.entrega.reset();
    t.m.subida.reset();
    co_return true;
}

Tarea<bool> GuardarAparte(Turno& t, const std::string& motivo, bool conEspera, PuntoControl punto, bool* anterior) {
    if (anterior) *anterior = false;
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    const std::string descarga = En(t.rutaZelno, kDescarga);
    t.punto = punto;
    if (conEspera) {
        if (!archivos::Existe(estadoRsp)) co_return false;
        // The client gets the time a return would give it to finish its answer files.
        co_await t.Esperar(4000, "aparte");
    }
    // Where each is, its name aside. estado.rsp last, so that it is removed last: until it goes, a
    // failure or a stop in between finds the answer again.
    std::vector<std::pair<std::string, std::string>> archivosCliente;
    for (const char* nombre : {kSeresp, kPraxis, kTiquet})
        if (archivos::Existe(En(descarga, nombre))) archivosCliente.emplace_back(En(descarga, nombre), nombre);
    if (archivos::Existe(estadoRsp)) archivosCliente.emplace_back(estadoRsp, kEstadoRsp);
    if (archivosCliente.empty()) co_return false;
    const std::string textoEstado =
        archivos::Existe(estadoRsp) ? archivos::LeerInicio(estadoRsp, kInicioEstado, kAvisar) : std::string();
    // Only an answer is kept and reported: an estado.rsp of success, or an answer file with something
    // in it. A failure report with nothing else charged nobody: it goes, with a line in the log.
    bool conRespuesta = !textoEstado.empty() && textoEstado[0] == '0';
    for (const auto& [origen, nombre] : archivosCliente)
        if (!conRespuesta && origen != estadoRsp) conRespuesta = archivos::Tamanio(origen, kAvisar) != 0;
    if (!conRespuesta) {
        for (const auto& [origen, nombre] : archivosCliente) archivos::Borrar(origen, kAvisar);
        t.Anotar("estado.rsp sin respuesta quitado (" + motivo + "), estado.rsp " +
                 (textoEstado.empty() ? std::string("vacío") : EstadoParaActividad(textoEstado)));
        co_return true;
    }

    // One folder per answer, named when it is first kept: an attempt after a short lock fills the same.
    if (!t.m.aparte) {
        std::string base =
            t.cx.carpetaNoEntregadas.empty() ? En(t.rutaZelno, "NoEntregadas") : t.cx.carpetaNoEntregadas;
        const archivos::FechaHora f = t.cx.reloj();
        char sello[40];
        std::snprintf(sello, sizeof sello, "%04d%02d%02d-%02d%02d%02d", f.anio, f.mes, f.dia, f.hora, f.minuto,
                      f.segundo);
        std::string nombre = archivos::Unir(base, t.Nombre() + "-" + sello);
        for (int n = 2; archivos::ExisteEntrada(nombre); ++n)
            nombre = archivos::Unir(base, t.Nombre() + "-" + sello + "-" + std::to_string(n));
        t.m.aparte = nombre;
    }
    const std::string carpeta = *t.m.aparte;
    const std::string seresp = En(descarga, kSeresp);
    if (anterior && textoEstado.starts_with("0") && archivos::Existe(seresp) && archivos::Tamanio(seresp, kAvisar) != 0)
        *anterior = GuardarRespuestasAnteriores(t.rutaZelno, archivos::Existe(En(descarga, kPraxis)), t.avisos,
                                                archivos::kEsperar);
    archivos::CrearConSusPadres(carpeta, kAvisar);
    // Copied and on the disk before the client's files go: a stop in between keeps them twice, never none.
    for (const auto& [origen, nombre] : archivosCliente) {
        const std::string destino = En(carpeta, nombre);
        archivos::CopiarYSincronizar(origen, destino, kAvisar);
    }
    for (const auto& [origen, nombre] : archivosCliente) archivos::Borrar(origen, kAvisar);
    const std::string guardada = carpeta;
    t.m.aparte.reset();

    const std::string estado = textoEstado.empty() ? std::string("ninguno") : EstadoParaActividad(textoEstado);
    t.Anotar("respuesta del cliente no entregada (" + motivo + "), estado.rsp " + estado + ", guardada en " + guardada);
    t.avisos.MostrarMensaje(mensajes::Rellenar(mensajes::kTextoNoEntregada, {t.Nombre(), estado, motivo, guardada}),
                            mensajes::kTituloNoEntregada, Icono::Critico);
    co_return true;
}
