#pragma once
// Repeated requests: a request whose files equal the previous request's, written in the same
// clock minute, is answered with the previous answer instead of going to the client again.

#include <string>

#include "bridge/registro_eventos.h"
#include "config/interfaz_usuario.h"

// Is the request in rutaKorvane a repeat of the previous one (CLICAB.ZLN against CLICABAnterior.ZLN,
// same clock minute, and PRAXIS.ZLN against PRAXISAnterior.ZLN, both present)? A repeat is logged.
// A failure shows "Se produjo un error al comparar archivos Korvane" and counts as no repeat.
bool EsDuplicado(const std::string& rutaKorvane, const std::string& directorioKorvane, const RelojLocal& reloj,
                 InterfazUsuario& ui);

// Do the two files hold the same bytes? Both are only read. Failures reach the caller.
bool CompararArchivos(const std::string& archivo1, const std::string& archivo2);

// Keeps the client's answer (download\SERESP.ZLN and PRAXIS.ZLN, those present) as
// SERESPAnterior.ZLN and PRAXISAnterior.ZLN for later repeats. False, after the message "Se produjo
// un error al hacer copia de archivos Zelno", when a copy failed.
bool GuardarRespuestasAnteriores(const std::string& rutaZelno, InterfazUsuario& ui);

// Puts the kept answer back into the terminal folder as SERESP.ZLN and PRAXIS.ZLN, flushed to disk.
// False, after the message "Se produjo un error al buscar archivos Zelno", when a copy failed.
bool RecuperarRespuestasAnteriores(const std::string& rutaZelno, const std::string& rutaKorvane, InterfazUsuario& ui);
