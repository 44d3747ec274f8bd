#pragma once
// Where each terminal's exchange stands, and what a turn does about it. The stages and their
// transitions live here, with the one table that says, for a stage and the request letter of
// STATUS.ZLN, what the turn does. The record of each terminal survives a stop (a killed process, a
// power cut): the outside programs' folders hold only their own files, so it lives in one small
// file per terminal in the program's own folder, replaced in one step, and held in memory between
// writes.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform/archivos.h"
#include "platform/exclusion.h"

struct EstadoIntercambio {
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
    enum class Resultado {
        Cliente,            // the client's own answer
        ErrorFormato,       // our format-error record: the client said yes without a usable answer
        ErrorComunicacion,  // our communication-error record: the client said no
        SinRespuesta,       // our communication-error record: the client never answered a request in doubt
    };

    Etapa etapa = Etapa::Ninguna;
    // Of the request decided (made afresh for each "C"; it serves only that request's hand-off).
    bool duplicado = false;
    bool conClicab = false;  // the request had CLICAB.ZLN
    bool conPraxis = false;  // and PRAXIS.ZLN
    std::string proveedor;
    // Of the last answer.
    Resultado resultado = Resultado::Cliente;
    // SERESPAnterior.ZLN and PRAXISAnterior.ZLN in download are exactly the answer that the terminal
    // got for its previous request: only then may a repeat be answered from them.
    bool respuestaGuardada = false;

    // The client may hold this request or answer it: the stages from the first upload copy until the
    // answer is back or given up.
    bool EnManosDelCliente() const {
        return etapa == Etapa::Subiendo || etapa == Etapa::Entregando || etapa == Etapa::Entregada ||
               etapa == Etapa::EnDuda;
    }

    friend bool operator==(const EstadoIntercambio&, const EstadoIntercambio&) = default;
};

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
Accion QueHacer(EstadoIntercambio::Etapa etapa, char letra);

// An idle terminal costs a tick its two file calls: a letter and stage with nothing to do.
inline bool SinTrabajo(EstadoIntercambio::Etapa etapa, char letra) { return QueHacer(etapa, letra) == Accion::Nada; }

const char* NombreEtapa(EstadoIntercambio::Etapa etapa);

// A terminal's record file holds two slots of kRanuraRegistro bytes. Each write goes into the slot
// that does not hold the record in force, numbered one past it and with a checksum, then is flushed:
// a stop or a power cut in the middle of it leaves the other slot, with the record before, whole.
// The file is written in place, never made anew: one opening, one write and one flush per record.
// The file of an older version (the record's text alone, from its first byte) counts as slot 0,
// number 0, until it is written over.
inline constexpr std::size_t kRanuraRegistro = 256;

// The slot (kRanuraRegistro bytes) that holds `estado` as record number `numero`.
std::string RanuraRegistro(std::uint64_t numero, const EstadoIntercambio& estado);

// What a record file's first bytes hold: the record in force, its number and its slot.
struct RegistroLeido {
    EstadoIntercambio estado;
    std::uint64_t numero = 0;
    int ranura = 0;
    bool enDisco = false;  // the file exists (set by whoever read it)
};
RegistroLeido LeerRegistro(std::string_view contenido);

class RegistroIntercambios {
public:
    // `carpeta` is created (with its parents) when the first record is written. Empty: records are
    // kept in memory only (a stop forgets them), for uses without a folder of their own.
    explicit RegistroIntercambios(std::string carpeta);

    // A copy of the record of the terminal whose folder is `rutaKorvane`; read from its file the
    // first time.
    EstadoIntercambio De(const std::string& rutaKorvane, archivos::AnteBloqueo modo);
    // Replaces the record, file first: when this returns, a stop keeps it.
    void Grabar(const std::string& rutaKorvane, const EstadoIntercambio& estado, archivos::AnteBloqueo modo);
    // The record as held in memory, without reading any file: none before it was first read.
    std::optional<EstadoIntercambio> EnMemoria(const std::string& rutaKorvane) const;
    // Counts the records replaced: a look that finds the letter it saw last time, with no record
    // replaced since, finds the same stage.
    std::uint64_t Cambios() const { return cambios_.load(std::memory_order_acquire); }

private:
    std::string Archivo(const std::string& rutaKorvane) const;
    RegistroLeido Cargar(const std::string& rutaKorvane, archivos::AnteBloqueo modo);

    std::string carpeta_;
    std::atomic<bool> carpetaLista_{false};
    // Terminals' steps may run side by side, each on its own terminal's record: the map is shared.
    mutable plataforma::Exclusion m_;
    std::unordered_map<std::string, RegistroLeido> enMemoria_;  // looked up for every terminal at every tick
    std::atomic<std::uint64_t> cambios_{0};                     // raised under m_, after the change
};

// The program's folder of exchange records (Intercambios in its local data folder); empty, so kept in
// memory only, when the platform cannot say where that is.
std::string CarpetaRegistroIntercambios();

// Beside the records' folder: where answers that could not be delivered are kept (NoEntregadas).
std::string CarpetaNoEntregadas(const std::string& carpetaRegistros);

// The text of a record and back; an unreadable text gives the empty record.
std::string TextoEstado(const EstadoIntercambio& estado);
EstadoIntercambio EstadoDeTexto(std::string_view texto);

// Creates the folder and whichever of its parents are missing.
void CrearConSusPadres(const std::string& carpeta, archivos::AnteBloqueo modo);
