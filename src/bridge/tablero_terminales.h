#pragma once
// What the "Terminales" window shows of each terminal: its request letter, where its exchange
// stands, its last answer and its last failure. The polling cycle tells the board of a few events
// as they happen (a letter read or written, an answer given, a failure, a turn that ended well);
// the rows are built only when someone asks for them, so that an open window costs a tick nothing
// and a closed one nothing at all.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

#include "bridge/etapas_intercambio.h"
#include "platform/archivos.h"
#include "platform/exclusion.h"
#include "platform/reloj.h"

// One terminal's row, as texts ready to be shown.
struct FilaTerminal {
    std::string terminal;    // its folder: TER01
    std::string letra;       // the request letter of STATUS.ZLN: C, P, S, "otra (x)", "ninguna"...
    std::string situacion;   // where its exchange stands
    std::string hora;        // local time of the last answer
    std::string resultado;   // what that answer was
    std::string duracion;    // from the request's "C" seen to its "S"
    std::string fallo;       // the last failure: checkpoint, since when, how often, whether it is over
    std::string textoFallo;  // the failure's number and description
    std::string espera;      // how long the sale in progress has waited (SeguimientoEsperas)

    friend bool operator==(const FilaTerminal&, const FilaTerminal&) = default;
};

class TableroTerminales {
public:
    // STATUS.ZLN of the terminal whose folder is `ruta` holds `letra` ('\0': none), as just read or
    // written; `ms` on the waiter's clock (used only for a "C"). The first "C" of a request starts
    // its duration. True when the board changed.
    bool Letra(const std::string& ruta, char letra, std::int64_t ms);
    // The terminal folder has no STATUS.ZLN.
    void SinStatus(const std::string& ruta);
    // Counts the changes to the board: a look that finds the letter it saw last time, with no change
    // made since, has nothing to tell it.
    std::uint64_t Cambios() const { return cambios_.load(std::memory_order_acquire); }
    // "S" was written over the answered request. `textoEstado`: the client's estado.rsp, whose
    // first characters are its error code.
    void Respondida(const std::string& ruta, const FichaIntercambio& e, const std::string& textoEstado,
                    const archivos::FechaHora& hora, std::int64_t ms);
    void RespondidaDuplicado(const std::string& ruta, const archivos::FechaHora& hora, std::int64_t ms);
    // A turn ended in the failure handler at checkpoint `punto`. The same failure again (same
    // checkpoint and text, no turn ended well in between) keeps the time it first happened.
    void Fallo(const std::string& ruta, const char* punto, const std::string& texto, const archivos::FechaHora& hora);
    // A turn ended without failure: a failure still standing is over. The clock is read only then.
    void TurnoCumplido(const std::string& ruta, const RelojLocal& reloj);

    // The row of terminal `nombre`, whose folder is `ruta`. `ficha`: its exchange record when
    // the cycle holds it (none before the terminal was first looked at); `puntoEnCurso`: the
    // checkpoint of its turn in progress, none without one. Times of another day than `ahora`
    // carry their date.
    FilaTerminal Fila(const std::string& ruta, const std::string& nombre, const FichaIntercambio* ficha,
                      const char* puntoEnCurso, const archivos::FechaHora& ahora) const;

private:
    struct Terminal {
        // The letter: none before the first read, nor while the file is missing (sinStatus).
        std::optional<char> letra;
        bool sinStatus = false;
        // The request in progress: when its "C" was first seen, and whether it has been "P" since.
        std::optional<std::int64_t> pedidaMs;
        bool pedidaEnP = false;
        // The last answer.
        std::optional<archivos::FechaHora> horaRespuesta;
        ClaseRespuesta resultado = ClaseRespuesta::Cliente;
        std::string codigoError;
        std::optional<std::int64_t> duracionMs;
        // The last failure.
        std::optional<archivos::FechaHora> falloDesde;
        std::string puntoFallo, textoFallo;
        int veces = 0;
        std::optional<archivos::FechaHora> falloResuelto;
    };
    void Responder(Terminal& t, ClaseRespuesta r, const archivos::FechaHora& hora, std::int64_t ms);
    void Cambio() { cambios_.fetch_add(1, std::memory_order_release); }

    // Fed by the terminals' steps, which may run side by side on other threads; read by the window.
    mutable plataforma::Exclusion m_;
    // By ClaveRuta of the terminal folder; looked up for every terminal at every tick, never walked in
    // order.
    std::unordered_map<std::string, Terminal> terminales_;
    std::atomic<std::uint64_t> cambios_{0};  // raised under m_, after the change
};

// The client's error code in its estado.rsp: the first three characters once line ends are left out
// (those the communication-error answer carries), without blanks.
std::string CodigoErrorCliente(const std::string& textoEstado);
