#pragma once
// Where each terminal's exchange stands, and what a turn does about it: the stages, every change of
// stage (a named transition, the only code that sets one) and the one table that says, for a stage
// and the request letter of STATUS.ZLN, what the turn does. How a record is kept on the disk is
// ficha_intercambio.h's.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// What answer a request got, as far as anyone tells them apart.
enum class ClaseRespuesta {
    Cliente,            // the client's own answer
    ErrorFormato,       // our format-error record: the client said yes without a usable answer
    ErrorComunicacion,  // our communication-error record: the client said no
    SinRespuesta,       // our communication-error record: the client never answered a request in doubt
    Duplicado,          // a repeat, answered from the previous answer (never kept in a record)
};

// A terminal's exchange record.
struct FichaIntercambio {
    enum class Etapa {
        Ninguna,       // no exchange of ours in progress
        Decidida,      // "C" decided: its copies and "P" may be part done; nothing is in upload yet
        Subiendo,      // "P": the request files are going into upload; an eager client may take them
        Entregando,    // "P": _svl.0 may be written, so the client may have the request
        Entregada,     // in the client's hands: its answer is awaited
        EnDuda,        // may or may not have reached the client: its answer is awaited for a while only
        Vencida,       // answered with our own error record: an answer that comes now cannot be delivered
        Respondiendo,  // the answer is going into the terminal folder; "S" is not written yet
        Respondida,    // "S" is written; cleanup pending
    };

    Etapa etapa = Etapa::Ninguna;
    // Of the request decided (made afresh for each "C"; it serves only that request's hand-off).
    bool duplicado = false;
    bool conClicab = false;  // the request had CLICAB.ZLN
    bool conPraxis = false;  // and PRAXIS.ZLN
    std::string proveedor;
    // Of the last answer.
    ClaseRespuesta resultado = ClaseRespuesta::Cliente;
    // SERESPAnterior.ZLN and PRAXISAnterior.ZLN in download are exactly the answer that the terminal
    // got for its previous request: only then may a repeat be answered from them.
    bool respuestaGuardada = false;
    // When the wait for the answer of a request in doubt, or of one the till left, began, on the
    // waiter's clock (the machine's time since it started): the wait's minute counts across a stop.
    std::optional<std::int64_t> esperaDesde;
    // A request the client may have taken was let go without its answer: the client may still write
    // that answer into the same folder, even after it has taken the next request, so an answer seen
    // once the next is out of upload is nobody's for sure. Kept across requests until the client is
    // seen to have answered.
    bool anteriorPendiente = false;
    // ... only perhaps: the request let go was in doubt because of an answer that may have been its
    // own. An answer taken for that one's makes no further doubt that outlives its request, so that
    // a wrong guess holds up one request more, never every next one in turn.
    bool anteriorIncierta = false;
    // The request in doubt left upload by the client's hand: the client surely has it, so once it is
    // let go its answer may still come, as for a request handed over. `tomadaIncierta`: it was in
    // doubt because an earlier answer was still due (see anteriorIncierta).
    bool tomadaPorCliente = false;
    bool tomadaIncierta = false;
    // Of a request in doubt: what was left of it in upload and the till's files as they were at its
    // hand-off are withdrawn (or there was nothing to withdraw). Done once: files the till writes
    // afterwards, the same request again included, are its next request's.
    bool retirada = false;

    // The client may hold this request or answer it: the stages from the first upload copy until the
    // answer is back or given up.
    bool EnManosDelCliente() const {
        return etapa == Etapa::Subiendo || etapa == Etapa::Entregando || etapa == Etapa::Entregada ||
               etapa == Etapa::EnDuda;
    }

    friend bool operator==(const FichaIntercambio&, const FichaIntercambio&) = default;
};

// The transitions. Each takes the record as it stands and leaves it at its new stage.
namespace transicion {

// A "C" decided from its files: a repeat of the answered request, or a new one with its files and
// provider code, whose answer is not kept yet.
void Decidir(FichaIntercambio& f, bool duplicado, bool conClicab, bool conPraxis, std::string proveedor);
// The request files start going into upload.
void Subir(FichaIntercambio& f);
// _svl.0 is about to be written.
void Entregar(FichaIntercambio& f);
// The client has the request.
void Entregada(FichaIntercambio& f);
// A write into upload failed and left nothing there: back to the stage before it.
void Retroceder(FichaIntercambio& f, FichaIntercambio::Etapa atras);
// Nobody can tell whether the client has the request: its answer is awaited from `ahoraMs` on.
// `retirar`: its hand-off was cut short, and what is left of it is still to be withdrawn.
void Dudar(FichaIntercambio& f, std::int64_t ahoraMs, bool retirar);
// What was left of a hand-off cut short is withdrawn.
void Retirada(FichaIntercambio& f);
// The client took the request, but the answer it left may be another's: this request's own is
// awaited from `ahoraMs` on.
void DudarTomada(FichaIntercambio& f, std::int64_t ahoraMs, bool incierta = false);
// The answer of a request in doubt, or of one the till left, is awaited from `ahoraMs` on.
void EmpezarEspera(FichaIntercambio& f, std::int64_t ahoraMs);
// The answer of kind `clase` starts going into the terminal folder; nothing is kept for a repeat yet.
void Responder(FichaIntercambio& f, ClaseRespuesta clase);
// "S" is written over the answered request.
void Respondida(FichaIntercambio& f);
// The client's files are removed: a request we answered with our own record watches for a late
// answer; any other is over.
void Limpiada(FichaIntercambio& f);
// The till has moved on (or the request was answered from elsewhere): nothing is in progress. The
// kept answer is the one the left request got from the client (`respuestaGuardada`: it serves the
// same request repeated), or none.
void Soltar(FichaIntercambio& f, bool respuestaGuardada = false);
// The till has moved on from a request the client has, or may have, taken and not answered: its
// answer may still come (see anteriorPendiente).
void SoltarSinRespuesta(FichaIntercambio& f, bool incierta = false);
// An answer found while this request was still in upload is about to go aside: until it has, it
// counts as an earlier request's answer still due (kept as sure or unsure as it was).
void AnteriorPorApartar(FichaIntercambio& f);
// The client has been seen to answer after the request let go without its answer.
void AnteriorRespondida(FichaIntercambio& f);
// Nothing is in progress any more; the kept answer stays what it was.
void Olvidar(FichaIntercambio& f);
// The stage a record holds as read from its file (or made for a test): none is passed through.
void Leida(FichaIntercambio& f, FichaIntercambio::Etapa etapa);

}  // namespace transicion

// What a turn does for a terminal.
enum class Accion {
    Nada,        // nothing to do
    Entregar,    // a new request: decided afresh from the files in the folder, then handed off
    Completar,   // the hand-off decided for this very request ("P" is ours) goes on
    Reanudar,    // an upload cut short goes on, or falls into doubt when the client may have it
    Retornar,    // the client's answer is looked for and brought back
    Limpiar,     // the answer is delivered: the client's files are removed, then the letter decides
    Olvidar,     // the decision's request is gone: the record is dropped
    Abandonada,  // the till left a request the client may still answer: that answer is kept aside
    Tardia,      // we answered with our own error: an answer that comes now is kept aside
};

// The one table: what a turn does with a terminal whose record is at `etapa` and whose STATUS.ZLN
// holds `letra` ('C', 'P', 'S', or any other; '\0' for none).
Accion QueHacer(FichaIntercambio::Etapa etapa, char letra);

// An idle terminal costs a tick its two file calls: a letter and stage with nothing to do.
inline bool SinTrabajo(FichaIntercambio::Etapa etapa, char letra) { return QueHacer(etapa, letra) == Accion::Nada; }

// The stage's name in a record file, and back (none for a name of no stage).
const char* NombreEtapa(FichaIntercambio::Etapa etapa);
std::optional<FichaIntercambio::Etapa> EtapaDeNombre(std::string_view nombre);
