#pragma once
// The steps of a turn that its three files share: turno.cpp (the routine and what every step
// needs), entrega_solicitud.cpp (the hand-off) and retorno_respuesta.cpp (the return). Every step
// reads the record afresh and passes it on by value: a turn never holds on to another's copy across
// a wait.

#include <string>

#include "bridge/turno.h"

// STATUS.ZLN: its letter read at checkpoint `punto`; `letra` written over it and flushed; "S" over
// the "P" of the request answered (false, with nothing written, when the till has written another
// letter meanwhile).
char LeerLetra(Turno& t, PuntoControl punto);
void MarcarStatus(Turno& t, const char* letra, PuntoControl puntoAbrir, PuntoControl puntoEscribir);
bool MarcarRespondida(Turno& t);

// The hand-off: everything that can fail before the request reaches the client runs while the
// request is still "C"; the decision is recorded; then "P"; then the upload, one recorded stage at a
// time, so that a stop never sends a request twice.
Tarea<> EntregarSolicitud(Turno& t);
void CompletarEntrega(Turno& t, FichaIntercambio f);
void ReanudarEntrega(Turno& t, FichaIntercambio f);
// What is left in upload of a hand-off cut short, and its originals in the terminal folder, once.
void RetirarDudosa(Turno& t, FichaIntercambio& f);
// Whatever of a request is still in upload.
void QuitarSubida(Turno& t);
// What of the request `f` is in upload now: its own files (read at checkpoint `punto`), and _svl.0.
struct QuedaEnSubida {
    bool clicab = false, praxis = false, svl = false;
    bool Algo() const { return clicab || praxis || svl; }
    // Every file of it and _svl.0: nobody has taken any of it.
    bool Entera(const FichaIntercambio& f) const { return svl && clicab == f.conClicab && praxis == f.conPraxis; }
    // It had files and none is left: taken by the client, with _svl.0 or before it.
    bool ArchivosFuera(const FichaIntercambio& f) const { return (f.conClicab || f.conPraxis) && !clicab && !praxis; }
};
QuedaEnSubida LeerSubida(Turno& t, const FichaIntercambio& f, PuntoControl punto);

// The return. True when the answer was kept aside instead and the letter must decide again.
Tarea<bool> RetornarRespuesta(Turno& t, FichaIntercambio f);
void LimpiarRespuesta(Turno& t, FichaIntercambio f);
// For a request the till left (or we answered ourselves): true once its answer was kept aside, or
// none came within kEsperaDudaMs (none is awaited for a request we answered ourselves).
Tarea<bool> DespedirRespuesta(Turno& t, FichaIntercambio f, char letra);
// An answer of the client's that no terminal is waiting for: after the client's waits, its files go
// into a folder of their own, with a line in the activity log and a message; a failure report with no
// answer in it goes with a line in the log only. True when there was one. With `anterior` (the
// answer is the last request's, whose copies are in the terminal folder), the client's own answer
// is also kept as the previous answer, so that the same sale repeated gets it and is never sent
// again; *anterior says whether it was.
Tarea<bool> GuardarAparte(Turno& t, const std::string& motivo, bool conEspera, PuntoControl punto = "16",
                          bool* anterior = nullptr);
// The till wrote the request the client holds again (the same bytes in the same minute): the same
// sale, which rides on the first's exchange. False when it is another request.
bool AdoptarRepeticion(Turno& t, const FichaIntercambio& f);
// The till has written this very request again (CLICAB.ZLN and PRAXIS.ZLN as handed off, same
// minute), its "C" still to come or come: the same sale.
bool RepeticionEscrita(Turno& t, const FichaIntercambio& f);

// estado.rsp beyond this is never part of an answer record (its first three characters and about
// eighty more after any blanks); as the activity log shows it: its first line, at most 80 bytes.
inline constexpr std::size_t kInicioEstado = 64 * 1024;
std::string EstadoParaActividad(const std::string& textoEstado);

// How long the answer to a request that may be in the client's hands is awaited when nobody is sure
// it is: after a stop in the middle of its upload, or once the till has left it.
inline constexpr std::int32_t kEsperaDudaMs = 60000;
// A request the client has held this long without an answer is said once (a line and a box); it is
// still awaited, for good: the client has it, and no answer is made up.
inline constexpr std::int64_t kRetencionLargaMs = 5 * 60 * 1000;
