// The response return for a request in "P": once the client's estado.rsp is there, its answer
// files (or an error answer of our own) are copied to the terminal folder and flushed, then "S",
// and only then are the client's files removed. A failure or a stop before "S" leaves the client's
// answer where the next tick finds it again; one after "S" leaves only the removal to finish.
#include <algorithm>

#include "bridge/archivos_intercambio.h"
#include "bridge/ciclo_sondeo.h"
#include "bridge/duplicados.h"
#include "bridge/respuestas.h"
#include "platform/archivos.h"

using namespace intercambio;

namespace {

// estado.rsp beyond this is never part of an answer record (its first three characters and about
// eighty more after any blanks).
constexpr std::size_t kInicioEstado = 64 * 1024;

// A copy of an answer file that is on the disk before "S" says it is there; its name joins the list
// of files delivered.
void CopiarRespuesta(const std::string& origen, const std::string& destino, std::string& entregados) {
    archivos::Copiar(origen, destino);
    archivos::Sincronizar(destino);
    entregados += ' ';
    entregados += destino.substr(destino.find_last_of("\\/") + 1);
}

// The client's estado.rsp as the activity log shows it: its first line, at most 80 bytes.
std::string EstadoParaRegistro(const std::string& textoEstado) {
    std::string texto(1, '"');
    texto.append(textoEstado, 0, std::min<std::size_t>(textoEstado.find_first_of("\r\n"), 80));
    texto.push_back('"');
    return texto;
}

}  // namespace

Tarea<> CicloSondeo::RetornarRespuesta(Turno& t) {
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    t.punto = "16";
    if (!archivos::Existe(estadoRsp)) co_return;

    t.punto = "17";
    co_await Esperar(t, 1000);
    const std::string textoEstado = archivos::LeerInicio(estadoRsp, kInicioEstado);

    EstadoIntercambio e = registro_.De(t.rutaKorvane);
    if (!textoEstado.empty() && textoEstado[0] == '0') {
        bool enLugar = true;
        e.resultado = co_await RetornarRespuestaCliente(t, enLugar);
        if (!enLugar) co_return;  // the error answer could not be written: no "S", tried again next tick
        // Only the client's own answer, delivered whole, may serve a later duplicate.
        e.respuestaGuardada =
            e.resultado == EstadoIntercambio::Resultado::Cliente && GuardarRespuestasAnteriores(t.rutaZelno, ui_);
    } else {
        const std::string registro = RegistroErrorComunicacion(textoEstado);
        t.punto = "28";
        // The whole file: an older, longer SERESP.ZLN must not leave its tail behind the record.
        archivos::EscribirCompleto(En(t.rutaKorvane, kSeresp), registro);
        archivos::Sincronizar(En(t.rutaKorvane, kSeresp));
        Anotar(t, "respuesta de error de comunicación escrita en SERESP.ZLN");
        t.entregados = " SERESP.ZLN";
        e.resultado = EstadoIntercambio::Resultado::ErrorComunicacion;
        e.respuestaGuardada = false;
    }

    // "S" only once every answer file is in place, and before the client's files go.
    e.etapa = EstadoIntercambio::Etapa::Respondida;
    Registrar(t, e);
    MarcarStatus(t, "S", "29", "29.5");
    // For the activity log: how the answer went and how long the client had the request.
    std::string que("respuesta devuelta, estado.rsp ");
    que.append(EstadoParaRegistro(textoEstado)).append(", archivos");
    que.append(t.entregados.empty() ? std::string(" ninguno") : t.entregados).append(", ");
    const auto entrega = entregas_.find(t.rutaKorvane);
    if (entrega != entregas_.end()) {
        que.append(std::to_string(esperador_.AhoraMs() - entrega->second)).append(" ms");
        entregas_.erase(entrega);
    } else {
        que.append("duración no conocida (entregada antes de este arranque)");
    }
    Anotar(t, que);
    LimpiarRespuesta(t);
}

void CicloSondeo::AnotarErrorFormato(Turno& t) {
    Anotar(t, "respuesta de error de formato escrita en SERESP.ZLN");
    t.entregados = " SERESP.ZLN";
}

Tarea<EstadoIntercambio::Resultado> CicloSondeo::RetornarRespuestaCliente(Turno& t, bool& enLugar) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    auto resultado = EstadoIntercambio::Resultado::Cliente;

    const std::string seresp = En(descarga, kSeresp);
    const std::string serespDestino = En(t.rutaKorvane, kSeresp);
    t.punto = "18";
    co_await Esperar(t, 2000);
    if (!archivos::Existe(seresp)) {
        t.punto = "21";
        enLugar = GrabarErrorFormato(t.rutaKorvane, ui_);
        resultado = EstadoIntercambio::Resultado::ErrorFormato;
        if (enLugar) AnotarErrorFormato(t);
    } else if (archivos::Tamanio(seresp) != 0) {
        t.punto = "19";
        CopiarRespuesta(seresp, serespDestino, t.entregados);
    } else {
        // The client may still be filling it: one more look a second later.
        co_await Esperar(t, 1000);
        if (archivos::Tamanio(seresp) != 0) {
            t.punto = "18.7";
            CopiarRespuesta(seresp, serespDestino, t.entregados);
        } else {
            t.punto = "18.5";
            enLugar = GrabarErrorFormato(t.rutaKorvane, ui_);
            resultado = EstadoIntercambio::Resultado::ErrorFormato;
            if (enLugar) AnotarErrorFormato(t);
        }
    }
    if (!enLugar) co_return resultado;

    const std::string praxis = En(descarga, kPraxis);
    t.punto = "22";
    co_await Esperar(t, 1000);
    if (archivos::Existe(praxis)) {
        t.punto = "23";
        CopiarRespuesta(praxis, En(t.rutaKorvane, kPraxis), t.entregados);
    }

    const std::string tiquet = En(descarga, kTiquet);
    t.punto = "25";
    if (archivos::Existe(tiquet)) {
        t.punto = "26";
        CopiarRespuesta(tiquet, En(t.rutaKorvane, kTiquet), t.entregados);
    }
    co_return resultado;
}

void CicloSondeo::LimpiarRespuesta(Turno& t) {
    EstadoIntercambio e = registro_.De(t.rutaKorvane);
    const std::string descarga = En(t.rutaZelno, kDescarga);
    // A communication error leaves the download folder as the client left it; an empty SERESP.ZLN
    // that gave the format-error answer stays too.
    if (e.resultado != EstadoIntercambio::Resultado::ErrorComunicacion) {
        const std::string seresp = En(descarga, kSeresp);
        if (e.resultado == EstadoIntercambio::Resultado::Cliente && archivos::Existe(seresp)) {
            t.punto = "20";
            archivos::Borrar(seresp);
        }
        const std::string praxis = En(descarga, kPraxis);
        if (archivos::Existe(praxis)) {
            t.punto = "24";
            archivos::Borrar(praxis);
        }
        const std::string tiquet = En(descarga, kTiquet);
        if (archivos::Existe(tiquet)) {
            t.punto = "27";
            archivos::Borrar(tiquet);
        }
    }
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    t.punto = "30";
    if (archivos::Existe(estadoRsp)) archivos::Borrar(estadoRsp);
    e.etapa = EstadoIntercambio::Etapa::Ninguna;
    Registrar(t, e);
}
