#pragma once
// The answer records the system writes into a terminal's SERESP.ZLN when the client gives none:
// fixed columns of single-byte text ending in a lone carriage return.

#include <string>
#include <string_view>

#include "config/interfaz_usuario.h"
#include "platform/archivos.h"

// The 351-byte communication-error answer built from the client's estado.rsp text.
std::string RespuestaErrorComunicacion(std::string_view textoEstado);

// The 339-byte format-error answer, for a client that reported success without a usable answer.
std::string RespuestaErrorFormato();

// Replaces rutaKorvane\SERESP.ZLN with the format-error answer, flushed to disk. A failure is shown
// as "Respuesta de Zelno con Error", not passed on, and gives false; a short lock met with
// AnteBloqueo::Avisar reaches the caller as BloqueoConAviso with that message.
bool GrabarErrorFormato(const std::string& rutaKorvane, Avisos& ui, archivos::AnteBloqueo modo = archivos::kEsperar);
