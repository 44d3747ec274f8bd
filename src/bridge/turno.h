#pragma once
// One terminal's exchange in progress: a turn. It is a routine (Tarea) that runs up to a fixed wait,
// is left there while the other terminals and the window go on, and goes on once its wait is over.
// Its steps (the hand-off, the return) reach the rest of the program through a small context: the
// records, the board, the faults, the clocks, the client and the boxes, nothing of the window's.

#include <atomic>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <set>
#include <string>

#include "bridge/avisos_turno.h"
#include "bridge/control_cliente.h"
#include "bridge/esperar.h"
#include "bridge/fallos_duraderos.h"
#include "bridge/ficha_intercambio.h"
#include "bridge/puntos_control.h"
#include "bridge/tablero_terminales.h"
#include "bridge/tarea.h"
#include "bridge/terminales.h"
#include "platform/reloj.h"

// What every turn shares. The records, the board and the faults are fed from the pool's threads and
// guard themselves; `arranque` lets one step at a time look for the client and start it.
struct ContextoTurno {
    ContextoTurno(Avisos& avisos, Esperador& esperador, ControlCliente& cliente, RelojLocal reloj,
                  const std::string& carpetaFichas);
    Avisos& avisos;
    Esperador& esperador;
    ControlCliente& cliente;
    RelojLocal reloj;
    FichasIntercambio fichas;
    std::string carpetaNoEntregadas;
    TableroTerminales tablero;  // what the "Terminales" window shows, fed as the turns go
    FallosDuraderos fallos;
    CortesCarpetas cortes;
    std::mutex arranque;
};

// What this process knows of a terminal's exchange beyond its record, kept from one turn to the
// next. After a stop nothing is known.
struct MemoriaTurno {
    // Of an upload made by this process: which files reached upload whole, and whether _svl.0 was
    // written. An aggregate without member initialisers: Subida{} and an emplaced one are all false.
    struct Subida {
        bool clicab, praxis, svl;
    };
    std::optional<std::int64_t> entrega;  // when the request in the client's hands was handed off
    std::optional<std::string> aparte;    // the folder an answer is being kept aside in
    bool retenidaDicha = false;           // the client's long hold of the request has been said
    std::optional<Subida> subida;
};

struct Turno {
    // Of the terminal `item`, in the roots as they are now; the settings a step needs are taken by
    // the scheduler as they were when the turn began (a step may run on another thread meanwhile).
    Turno(ContextoTurno& contexto, const clsItemTerXX& item, const std::string& directorioKorvane,
          const std::string& directorioZelno, MemoriaTurno& memoria);
    Turno(const Turno&) = delete;
    Turno& operator=(const Turno&) = delete;

    ContextoTurno& cx;
    AvisosTurno avisos;  // every box of the turn goes through it
    MemoriaTurno& m;
    std::string codigoTerminal;
    std::string rutaKorvane;  // the terminal's folder
    std::string rutaZelno;    // its folder in the client's tree
    std::string directorioKorvane, directorioZelno;
    bool iniciarZelno = false, activarTx = false;
    std::string zelnoExe;
    PuntoEnCurso punto{"1"};  // checkpoint of the step running or last run; read by the window's thread
    std::string codigoEmpresa;
    std::int64_t tamanio = -1;  // of CLICAB.ZLN, for the activity log: -1 not read by this turn, -2 none
    std::string entregados;     // answer files put in the terminal folder, for the activity log

    // The scheduler's: a step runs on the executor (set and read by the window's thread, cleared by
    // the step once it has suspended or ended, so that what it left below is then visible), since
    // when, until when the turn waits and what goes on then.
    std::atomic<bool> ocupado{false};
    std::int64_t ocupadoDesde = 0;
    std::int64_t vence = 0;
    std::coroutine_handle<> reanudar;
    // The waits given to the client that this turn has had, by name: an attempt after a short lock
    // passes them.
    std::set<std::string, std::less<>> esperasHechas;
    Tarea<> rutina;

    // Suspends the turn until `vence`; at once when `hecha`.
    struct Espera {
        Turno& turno;
        std::int64_t vence;
        bool hecha = false;
        bool await_ready() const noexcept { return hecha; }
        void await_suspend(std::coroutine_handle<> h) noexcept {
            turno.reanudar = h;
            turno.vence = vence;
        }
        void await_resume() const noexcept {}
    };
    // A wait of `ms`. `nombre`: a wait that gives the client time to answer, passed by an attempt
    // after a short lock when the turn already had it; none: one that every attempt has.
    Espera Esperar(std::int32_t ms, const char* nombre = nullptr);

    FichaIntercambio Ficha() const;
    void Grabar(const FichaIntercambio& f) const;
    // The terminal's folder name, and one line of the activity log about it.
    std::string Nombre() const;
    void Anotar(const std::string& que) const;
};

// The turn's whole routine, from the request letter read by the look (none when a short lock kept
// it from being read) to the end of what the table of stages says for it.
Tarea<> Atender(Turno& t, std::optional<char> letra);

// Inside a catch block: a failure of the turn's, reported once as an outage when one of its folders
// cannot be reached, otherwise with its checkpoint's message; logged as a fault that may last.
void AvisarFallo(Turno& t);
// The first of the turn's folders that cannot be reached, reported as an outage; false when all can.
bool VerCarpetas(const Turno& t);
