// The response return for a request in "P": once the client's estado.rsp is there, its answer
// files (or an error answer of our own) go to the terminal folder, then "S", then estado.rsp goes.
#include "bridge/ciclo_sondeo.h"
#include "bridge/duplicados.h"
#include "bridge/respuestas.h"
#include "bridge/archivos_intercambio.h"
#include "platform/archivos.h"

using namespace intercambio;

void CicloSondeo::RetornarRespuesta(const Terminal& t) {
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    puntoControl_ = "16";
    if (!archivos::Existe(estadoRsp)) return;

    puntoControl_ = "17";
    esperador_.Esperar(1000);
    const std::string textoEstado = archivos::LeerCompleto(estadoRsp);

    if (!textoEstado.empty() && textoEstado[0] == '0') {
        RetornarRespuestaCliente(t);
    } else {
        const std::string registro = RegistroErrorComunicacion(textoEstado);
        puntoControl_ = "28";
        archivos::EscribirAlInicio(En(t.rutaKorvane, kSeresp), registro);
    }

    // "S" only once every answer file is in place, and before estado.rsp goes.
    MarcarStatus(t, "S", "29", "29.5");
    puntoControl_ = "30";
    archivos::Borrar(estadoRsp);
}

void CicloSondeo::RetornarRespuestaCliente(const Terminal& t) {
    const std::string descarga = En(t.rutaZelno, kDescarga);
    GuardarRespuestasAnteriores(t.rutaZelno, ui_);

    const std::string seresp = En(descarga, kSeresp);
    const std::string serespDestino = En(t.rutaKorvane, kSeresp);
    puntoControl_ = "18";
    esperador_.Esperar(2000);
    if (!archivos::Existe(seresp)) {
        puntoControl_ = "21";
        GrabarErrorFormato(t.rutaKorvane, ui_);
    } else if (archivos::Tamanio(seresp) != 0) {
        puntoControl_ = "19";
        archivos::Copiar(seresp, serespDestino);
        puntoControl_ = "20";
        archivos::Borrar(seresp);
    } else {
        // The client may still be filling it: one more look a second later.
        esperador_.Esperar(1000);
        if (archivos::Tamanio(seresp) != 0) {
            puntoControl_ = "18.7";
            archivos::Copiar(seresp, serespDestino);
            archivos::Borrar(seresp);
        } else {
            puntoControl_ = "18.5";
            GrabarErrorFormato(t.rutaKorvane, ui_);
        }
    }

    const std::string praxis = En(descarga, kPraxis);
    puntoControl_ = "22";
    esperador_.Esperar(1000);
    if (archivos::Existe(praxis)) {
        puntoControl_ = "23";
        archivos::Copiar(praxis, En(t.rutaKorvane, kPraxis));
        puntoControl_ = "24";
        archivos::Borrar(praxis);
    }

    const std::string tiquet = En(descarga, kTiquet);
    puntoControl_ = "25";
    if (archivos::Existe(tiquet)) {
        puntoControl_ = "26";
        archivos::Copiar(tiquet, En(t.rutaKorvane, kTiquet));
        puntoControl_ = "27";
        archivos::Borrar(tiquet);
    }
}
