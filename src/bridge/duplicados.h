#pragma once
// Repeated requests: a request whose files equal the previous request's, written in the same
// clock minute, is answered with the previous answer instead of going to the client again.
//
// Every operation here takes the lock mode of its caller. A short lock met with
// archivos::AnteBloqueo::Avisar reaches the caller as BloqueoConAviso, carrying the operation's own
// message for a lock that lasts; only other failures are handled here.

#include <string>

#include "config/interfaz_usuario.h"
#include "platform/archivos.h"
#include "platform/reloj.h"

// Is the request in rutaKorvane a repeat of the previous one (CLICAB.ZLN against CLICABAnterior.ZLN,
// same minute, and PRAXIS.ZLN against PRAXISAnterior.ZLN, both present)? The minute is taken from the
// files' times in UTC, so that the hour repeated when the clocks go back is no repeat; a new file
// older than the copy by more than one minute (a clock set back) is none either. A repeat is
// logged. A failure shows "Se produjo un error al comparar archivos Korvane" and counts as no repeat.
bool EsDuplicado(const std::string& rutaKorvane, const std::string& directorioKorvane, const RelojLocal& reloj,
                 Avisos& ui, archivos::AnteBloqueo modo = archivos::kEsperar);

// The comparison alone, neither logged nor shown: failures reach the caller. `sinPraxis`: the first
// request had no PRAXIS.ZLN and the repeat must have none either (a request still in the client's
// hands, written again, is the same sale with PRAXIS.ZLN or without).
bool MismaSolicitud(const std::string& rutaKorvane, archivos::AnteBloqueo modo, bool sinPraxis);

// Do the two files hold the same bytes? Both are only read, a block at a time. Failures reach the
// caller.
bool CompararArchivos(const std::string& archivo1, const std::string& archivo2,
                      archivos::AnteBloqueo modo = archivos::kEsperar);

// Keeps the answer the terminal got as SERESPAnterior.ZLN and PRAXISAnterior.ZLN in download, for
// later repeats: the client's SERESP.ZLN, and its PRAXIS.ZLN when `conPraxis` (the terminal got one);
// otherwise an older PRAXISAnterior.ZLN is removed, so that the kept files are exactly that answer.
// Each copy is on the disk when this returns. False, after the message "Se produjo un error al hacer
// copia de archivos Zelno", when it failed: the kept files are then not to be used.
bool GuardarRespuestasAnteriores(const std::string& rutaZelno, bool conPraxis, Avisos& ui,
                                 archivos::AnteBloqueo modo = archivos::kEsperar);

// Puts the kept answer back into the terminal folder as SERESP.ZLN and PRAXIS.ZLN, flushed to disk;
// without a kept PRAXIS the terminal is left without one. Each appears whole, and the kept PRAXIS.ZLN
// never replaces one the till has written meanwhile: `ajena`, when given, then says so. False, after
// the message "Se produjo un error al buscar archivos Zelno", when a copy failed or there is no kept
// SERESPAnterior.ZLN.
bool RecuperarRespuestasAnteriores(const std::string& rutaZelno, const std::string& rutaKorvane, Avisos& ui,
                                   archivos::AnteBloqueo modo = archivos::kEsperar, bool* ajena = nullptr);
