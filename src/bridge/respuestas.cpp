#include "bridge/respuestas.h"

#include "bridge/archivos_intercambio.h"
#include "bridge/aviso_bloqueo.h"
#include "config/textos_mensajes.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

using namespace intercambio;

namespace {

constexpr std::string_view kErrorComunicacion = "ERROR EN LA COMUNICACION. REINTENTE. ";

// Cut or padded with blanks to exactly `ancho` characters.
std::string Ajustar(std::string_view texto, std::size_t ancho) {
    std::string campo(texto.substr(0, ancho));
    campo.resize(ancho, ' ');
    return campo;
}

}  // namespace

std::string RespuestaErrorComunicacion(std::string_view textoEstado) {
    // Line ends would break the fixed columns: line feeds go first, then carriage returns.
    std::string e;
    e.reserve(textoEstado.size());
    for (char c : textoEstado)
        if (c != '\n') e += c;
    std::erase(e, '\r');

    std::string respuesta;
    respuesta.reserve(351);
    respuesta += "9200000001";
    respuesta += kErrorComunicacion;
    respuesta += Ajustar(std::string_view(e).substr(0, 3), 3);
    respuesta += Ajustar(std::string(kErrorComunicacion) + std::string(SinBlancosExtremos(e)), 80);
    respuesta += std::string(17, ' ');
    respuesta += "0100000000";
    respuesta += std::string(50 + 2 + 20 + 30 + 20 + 71, ' ');
    respuesta += '\r';
    return respuesta;
}

std::string RespuestaErrorFormato() {
    std::string respuesta;
    respuesta.reserve(339);
    respuesta += "92";
    respuesta += "000000";
    respuesta += "01";
    respuesta += "ERROR, FORMATO DE TRANSACCION ERRONEO. ";
    respuesta += Ajustar("ERROR, FORMATO DE TRANSACCION ERRONEO. REVISE TICKET.PRN Y REINTENTE.", 80);
    respuesta += std::string(6, ' ');
    respuesta += "01";
    respuesta += "00";
    respuesta += "000000";
    respuesta += std::string(50 + 2 + 20 + 30 + 1 + 8 + 11 + 71, ' ');
    respuesta += '\r';
    return respuesta;
}

bool GrabarErrorFormato(const std::string& rutaKorvane, Avisos& ui, archivos::AnteBloqueo modo) {
    const std::string ruta = En(rutaKorvane, kSeresp);
    const auto texto = [&](const plataforma::ErrorSistema& e) {
        return mensajes::Rellenar(mensajes::kTextoErrorFormato, {ruta, e.TextoNumeroDescripcion()});
    };
    try {
        // The whole file: an older, longer SERESP.ZLN must not leave its tail behind the record.
        archivos::EscribirCompleto(ruta, RespuestaErrorFormato(), modo);
        archivos::Sincronizar(ruta, modo);
    } catch (const plataforma::BloqueoPasajero& b) {
        throw BloqueoConAviso(b, texto(b), mensajes::kTituloRespuestaConError, Icono::Critico);
    } catch (const plataforma::ErrorSistema& e) {
        ui.MostrarMensaje(texto(e), mensajes::kTituloRespuestaConError, Icono::Critico);
        return false;
    }
    return true;
}
