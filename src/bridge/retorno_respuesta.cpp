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
#include "bridge/ciclo_sondeo.h"
#include "bridge/duplicados.h"
#include "bridge/respuestas.h"
#include "config/textos_mensajes.h"
#include "platform/archivos.h"

using namespace intercambio;

namespace {

// estado.rsp beyond this is never part of an answer record (its first three characters and about
// eighty more after any blanks).
constexpr std::size_t kInicioEstado = 64 * 1024;

// The client's estado.rsp as the activity log shows it: its first line, at most 80 bytes.
std::string EstadoParaRegistro(const std::string& textoEstado) {
    std::string texto(1, '"');
    texto.append(textoEstado, 0, std::min<std::size_t>(textoEstado.find_first_of("\r\n"), 80));
    texto.push_back('"');
    return texto;
}

}  // namespace

// What the client's download folder holds for the answer, once the client has had its waits.
struct CicloSondeo::Respuesta {
    enum class Clase { Cliente, ErrorFormato, ErrorComunicacion, SinRespuesta } clase = Clase::Cliente;
    PuntoControl puntoSeresp = "19";  // the copy of SERESP.ZLN, or the format error's checkpoint
    bool praxis = false, tiquet = false;
};

EstadoIntercambio::Resultado CicloSondeo::ResultadoDe(const Respuesta& r) {
    using R = EstadoIntercambio::Resultado;
    switch (r.clase) {
        case Respuesta::Clase::ErrorFormato: return R::ErrorFormato;
        case Respuesta::Clase::ErrorComunicacion: return R::ErrorComunicacion;
        case Respuesta::Clase::SinRespuesta: return R::SinRespuesta;
        case Respuesta::Clase::Cliente: break;
    }
    return R::Cliente;
}

std::int64_t CicloSondeo::DesdeHace(Turno& t) {
    const std::int64_t ahora = esperador_.AhoraMs();
    if (!t.m.desde) t.m.desde = ahora;
    return ahora - *t.m.desde;
}

Tarea<bool> CicloSondeo::RetornarRespuesta(Turno& t, EstadoIntercambio e) {
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    // What a doubt withdraws may have been cut short by a failure.
    if (e.etapa == EstadoIntercambio::Etapa::EnDuda) RetirarDudosa(t, e);
    t.punto = "16";
    Respuesta r;
    std::string textoEstado;
    if (!archivos::Existe(estadoRsp)) {
        // A request that may never have reached the client is answered by us once its time is over
        // (and again, when the "S" of that answer could not be written).
        const bool vencida = e.etapa == EstadoIntercambio::Etapa::EnDuda
                                 ? DesdeHace(t) >= kEsperaDudaMs
                                 : (e.etapa == EstadoIntercambio::Etapa::Respondiendo ||
                                    e.etapa == EstadoIntercambio::Etapa::Respondida) &&
                                       e.resultado == EstadoIntercambio::Resultado::SinRespuesta;
        if (!vencida) co_return false;
        r.clase = Respuesta::Clase::SinRespuesta;
    } else {
        t.punto = "17";
        co_await Esperar(t, 1000, "17");
        textoEstado = archivos::LeerInicio(estadoRsp, kInicioEstado, kAvisar);
        if (!textoEstado.empty() && textoEstado[0] == '0')
            r = co_await MirarRespuestaCliente(t);
        else
            r.clase = Respuesta::Clase::ErrorComunicacion;
    }

    // The answer goes only onto the request it answers. What an earlier attempt put into the
    // terminal folder must not travel with the till's new request.
    if (LeerLetra(t, "29") != 'P') {
        if (e.etapa == EstadoIntercambio::Etapa::Respondiendo) RetirarRespuesta(t);
        co_await GuardarAparte(t, mensajes::kTextoMotivoOtraSolicitud, false);
        e.etapa = EstadoIntercambio::Etapa::Ninguna;
        e.respuestaGuardada = false;
        Registrar(t, e);
        co_return true;
    }
    // Recorded before the first file goes into the terminal folder: a till that leaves the request
    // after a failure or a stop from here on finds every file of ours taken away again.
    e.etapa = EstadoIntercambio::Etapa::Respondiendo;
    e.resultado = ResultadoDe(r);
    e.respuestaGuardada = false;
    Registrar(t, e);
    if (!EntregarRespuesta(t, r, e, textoEstado)) co_return false;  // no "S": tried again next tick

    // "S" only once every answer file is in place, and before the client's files go.
    if (!MarcarRespondida(t)) {
        // The till wrote a new request in the last moment.
        RetirarRespuesta(t);
        co_await GuardarAparte(t, mensajes::kTextoMotivoOtraSolicitud, false);
        e.etapa = EstadoIntercambio::Etapa::Ninguna;
        e.respuestaGuardada = false;
        Registrar(t, e);
        co_return true;
    }
    e.etapa = EstadoIntercambio::Etapa::Respondida;
    Registrar(t, e);
    tablero_.Respondida(t.rutaKorvane, e, textoEstado, reloj_(), esperador_.AhoraMs());
    // For the activity log: how the answer went and how long the client had the request.
    std::string que("respuesta devuelta, estado.rsp ");
    que.append(r.clase == Respuesta::Clase::SinRespuesta ? std::string("ninguno") : EstadoParaRegistro(textoEstado))
        .append(", archivos");
    que.append(t.entregados.empty() ? std::string(" ninguno") : t.entregados).append(", ");
    if (t.m.entrega) {
        que.append(std::to_string(esperador_.AhoraMs() - *t.m.entrega)).append(" ms");
        t.m.entrega.reset();
    } else {
        que.append("duración no conocida (entregada antes de este arranque)");
    }
    Anotar(t, que);
    t.m.desde.reset();
    LimpiarRespuesta(t, e);
    co_return false;
}

// The client's waits and looks: 2 s before SERESP.ZLN (and a second look a second later at an empty
// one), 1 s more before PRAXIS.ZLN and TIQUET.PRN. Nothing is copied yet.
Tarea<CicloSondeo::Respuesta> CicloSondeo::MirarRespuestaCliente(Turno& t) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    const std::string seresp = En(descarga, kSeresp);
    Respuesta r;
    t.punto = "18";
    co_await Esperar(t, 2000, "18");
    if (!archivos::Existe(seresp)) {
        r.clase = Respuesta::Clase::ErrorFormato;
        r.puntoSeresp = "21";
    } else if (archivos::Tamanio(seresp, kAvisar) == 0) {
        // The client may still be filling it: one more look a second later.
        co_await Esperar(t, 1000, "18.5");
        if (archivos::Tamanio(seresp, kAvisar) != 0) {
            r.puntoSeresp = "18.7";
        } else {
            r.clase = Respuesta::Clase::ErrorFormato;
            r.puntoSeresp = "18.5";
        }
    }
    t.punto = "22";
    co_await Esperar(t, 1000, "22");
    r.praxis = archivos::Existe(En(descarga, kPraxis));
    t.punto = "25";
    r.tiquet = archivos::Existe(En(descarga, kTiquet));
    co_return r;
}

// The answer into the terminal folder, each file on the disk before "S" says it is there. False when
// the format-error answer could not be written (its message has been shown).
bool CicloSondeo::EntregarRespuesta(Turno& t, const Respuesta& r, EstadoIntercambio& e,
                                    const std::string& textoEstado) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    t.entregados.clear();
    const auto copiar = [&](PuntoControl punto, const char* nombre) {
        t.punto = punto;
        const std::string destino = En(t.rutaKorvane, nombre);
        archivos::CopiarYSincronizar(En(descarga, nombre), destino, kAvisar);
        t.entregados.append(" ").append(nombre);
    };
    using Clase = Respuesta::Clase;
    if (r.clase == Clase::ErrorComunicacion || r.clase == Clase::SinRespuesta) {
        t.punto = "28";
        const std::string seresp = En(t.rutaKorvane, kSeresp);
        // The whole file: an older, longer SERESP.ZLN must not leave its tail behind the record.
        archivos::EscribirCompleto(seresp, RegistroErrorComunicacion(textoEstado), kAvisar);
        archivos::Sincronizar(seresp, kAvisar);
        Anotar(t, "respuesta de error de comunicación escrita en SERESP.ZLN");
        t.entregados = " SERESP.ZLN";
        return true;
    }
    if (r.clase == Clase::ErrorFormato) {
        t.punto = r.puntoSeresp;
        if (!GrabarErrorFormato(t.rutaKorvane, t.ui, kAvisar)) return false;
        Anotar(t, "respuesta de error de formato escrita en SERESP.ZLN");
        t.entregados = " SERESP.ZLN";
    } else {
        copiar(r.puntoSeresp, kSeresp);
    }
    if (r.praxis) copiar("23", kPraxis);
    if (r.tiquet) copiar("26", kTiquet);
    // Only the client's own answer, delivered whole, may serve a later repeat; the kept files are
    // exactly the ones the terminal got.
    e.respuestaGuardada = e.resultado == EstadoIntercambio::Resultado::Cliente &&
                          GuardarRespuestasAnteriores(t.rutaZelno, r.praxis, t.ui, kAvisar);
    return true;
}

// Removes from the terminal folder the answer files that a return put there without its "S": each
// one that is still a copy of the client's file (its bytes and its time: a till's own file of the
// same bytes, such as a new PRAXIS.ZLN, is newer) or one of our error records.
void CicloSondeo::RetirarRespuesta(Turno& t) {
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
            nuestro = texto == RegistroErrorFormato() || texto == RegistroErrorComunicacion(textoEstado) ||
                      texto == RegistroErrorComunicacion("");
        }
        if (nuestro) archivos::Borrar(destino, kAvisar);
    }
}

void CicloSondeo::LimpiarRespuesta(Turno& t, EstadoIntercambio e) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    using R = EstadoIntercambio::Resultado;
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
    e.etapa = e.resultado == R::SinRespuesta ? EstadoIntercambio::Etapa::Vencida : EstadoIntercambio::Etapa::Ninguna;
    Registrar(t, e);
}

Tarea<bool> CicloSondeo::DespedirRespuesta(Turno& t, EstadoIntercambio e, char letra) {
    using E = EstadoIntercambio::Etapa;
    // What is left in upload belongs to the request the till left (and must not look taken later).
    if (e.etapa == E::Subiendo || e.etapa == E::Entregando) {
        t.m.subida.reset();
        QuitarSubida(t);
    }
    if (e.etapa == E::Respondiendo) RetirarRespuesta(t);
    const bool apartada =
        co_await GuardarAparte(t,
                               e.etapa == E::Vencida ? mensajes::kTextoMotivoTrasError : mensajes::kTextoMotivoDejada,
                               true);
    if (!apartada) {
        if (e.etapa == E::Vencida) {
            // Watched for until the terminal sends its next request: its answer is the next one.
            if (letra != 'C') co_return false;
        } else if (DesdeHace(t) < kEsperaDudaMs) {
            co_return false;
        } else {
            Anotar(t, "la solicitud que la terminal dejó no tuvo respuesta del cliente en " +
                          std::to_string(kEsperaDudaMs / 1000) + " s");
        }
    }
    e.etapa = E::Ninguna;
    e.respuestaGuardada = false;
    Registrar(t, e);
    t.m.desde.reset();
    t.m.entrega.reset();
    t.m.subida.reset();
    co_return true;
}

Tarea<bool> CicloSondeo::GuardarAparte(Turno& t, const std::string& motivo, bool conEspera) {
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    const std::string descarga = En(t.rutaZelno, kDescarga);
    t.punto = "16";
    if (conEspera) {
        if (!archivos::Existe(estadoRsp)) co_return false;
        // The client gets the time a return would give it to finish its answer files.
        co_await Esperar(t, 4000, "aparte");
    }
    std::vector<std::pair<std::string, std::string>> archivosCliente;  // where it is, its name aside
    if (archivos::Existe(estadoRsp)) archivosCliente.emplace_back(estadoRsp, kEstadoRsp);
    for (const char* nombre : {kSeresp, kPraxis, kTiquet})
        if (archivos::Existe(En(descarga, nombre))) archivosCliente.emplace_back(En(descarga, nombre), nombre);
    if (archivosCliente.empty()) co_return false;
    const std::string textoEstado =
        archivos::Existe(estadoRsp) ? archivos::LeerInicio(estadoRsp, kInicioEstado, kAvisar) : std::string();

    // One folder per answer, named when it is first kept: an attempt after a short lock fills the same.
    if (!t.m.aparte) {
        std::string base = carpetaNoEntregadas_.empty() ? En(t.rutaZelno, "NoEntregadas") : carpetaNoEntregadas_;
        const archivos::FechaHora f = reloj_();
        char sello[40];
        std::snprintf(sello, sizeof sello, "%04d%02d%02d-%02d%02d%02d", f.anio, f.mes, f.dia, f.hora, f.minuto,
                      f.segundo);
        std::string nombre = archivos::Unir(base, NombreTerminal(t) + "-" + sello);
        for (int n = 2; archivos::ExisteEntrada(nombre); ++n)
            nombre = archivos::Unir(base, NombreTerminal(t) + "-" + sello + "-" + std::to_string(n));
        t.m.aparte = nombre;
    }
    const std::string carpeta = *t.m.aparte;
    CrearConSusPadres(carpeta, kAvisar);
    // Copied and on the disk before the client's files go: a stop in between keeps them twice, never none.
    for (const auto& [origen, nombre] : archivosCliente) {
        const std::string destino = En(carpeta, nombre);
        archivos::CopiarYSincronizar(origen, destino, kAvisar);
    }
    for (const auto& [origen, nombre] : archivosCliente) archivos::Borrar(origen, kAvisar);
    const std::string guardada = carpeta;
    t.m.aparte.reset();

    const std::string estado = textoEstado.empty() ? std::string("ninguno") : EstadoParaRegistro(textoEstado);
    Anotar(t,
           "respuesta del cliente no entregada (" + motivo + "), estado.rsp " + estado + ", guardada en " + guardada);
    t.ui.MostrarMensaje(mensajes::Rellenar(mensajes::kTextoNoEntregada, {NombreTerminal(t), estado, motivo, guardada}),
                        mensajes::kTituloNoEntregada, Icono::Critico);
    co_return true;
}
