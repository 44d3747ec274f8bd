#pragma once
// The scheduler: when the terminals are looked at (a tick on the window or on the pool), which turns
// run, when the next step is due, and how the program ends while turns are in progress. The main
// window only runs its timer and posts its messages for it (Ventana); tests drive it the same way.
//
// Which thread runs what:
// - window: every entry point below but TicDelReloj, AvisoDelPool and Cambio; it alone adds and
//   removes turns (turnos_, memorias_) and reads the policy's state. Checked in debug builds.
// - pool (EjecutorHilos): the looks (CicloSondeo) and the steps of the turns, one step per turn at a
//   time (Turno::ocupado); the clock's ticks (TicDelReloj). A step uses only its turn, its context
//   and boxes and log lines (Avisos), never the status line or the message pump.
// - watch threads, one per root: Cambio.
// - the activity log's writer thread, and a thread per open message box (the window's Avisos).
// Locks: the cycle's m_ guards the looks' sets; the records, the board, the faults and the outages
// each guard their own maps; ContextoTurno::arranque serialises the client's start; the pool has its
// monitor. None of these is held across a file call, but arranque across the client's process calls.

#include <atomic>
#include <chrono>
#include <coroutine>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "bridge/cerrojo_korvane.h"
#include "bridge/ciclo_sondeo.h"
#include "config/configuracion.h"
#include "config/interfaz_usuario.h"
#include "platform/vigilancia.h"

class Planificador {
public:
    // What the scheduler asks of the window that hosts it.
    class Ventana {
    public:
        virtual ~Ventana() = default;
        // From any thread: the window should call Tic, or PasosAvisados, on its own thread (a message
        // to itself). False when there is no window to ask yet.
        virtual bool PedirTic() = 0;
        virtual bool PedirPasos() = 0;
        // The step timer, repeating until stopped: false when it could not be set.
        virtual bool ArmarPasos(std::uint32_t ms) = 0;
        virtual void DesarmarPasos() = 0;
        virtual std::uint32_t PasosMinimoMs() const { return 0; }
        // Every turn is over after an end request: the program ends.
        virtual void Cerrar() = 0;
    };

    // `carpetaFichas` keeps each terminal's exchange record: a scheduler over the same folder
    // finishes what a stopped one left half done. Every file call runs through `ejecutor` (none: at
    // once, on the caller's thread). `cerrojo`: the root's lock (none: the root is always served);
    // `vigilar`: a watch on each root while polling runs.
    Planificador(const clsConfiguracion& configuracion, InterfazUsuario& ui, Esperador& esperador,
                 ControlCliente& cliente, RelojLocal reloj, const std::string& carpetaFichas,
                 Ejecutor* ejecutor = nullptr, Ventana* ventana = nullptr, CerrojoKorvane* cerrojo = nullptr,
                 bool vigilar = false);

    // The terminal list in force, for the next tick.
    ListaTerminales Terminales;
    // Loads the terminal list anew (start, settings changed) and starts the watches again.
    void CargarTerminales();
    // The toggle and the interval: the pool's clock ticks every `intervaloMs` while `activo`.
    void Aplicar(bool activo, std::int32_t intervaloMs);
    // The window's tick: the root's lock, a look at every terminal, the watches, a reload; once all
    // is in order, the following ticks are the pool's own.
    void Tic();
    // A step or a look came back, or the step timer fired.
    void PasosAvisados();
    void TemporizadorPasos();
    // "&Salir": no new tick, then the end once the turns in progress are over (a step hung in a call
    // for kColgadoMs is not waited for). RetirarTerminar withdraws a request still waiting.
    void Terminar();
    void RetirarTerminar();
    // Before the pool goes: the watches stop, so that no change they report reaches a pool no longer
    // there. The window's destructor calls it first.
    void Detener();
    // From the pool's clock, on its thread, at every tick; from the pool, when work comes back.
    void TicDelReloj();
    void AvisoDelPool();

    // One look at every terminal of `terminales`: each terminal with work and no turn gets one, run up
    // to its first wait or its end. False, with nothing done, while a step runs here (a box of a user
    // interface that lets timer messages through).
    bool Sondear(ListaTerminales terminales);
    // Starts the turns that the looks asked for, then goes on with every turn whose wait is over (on
    // the waiter's clock), each up to its next wait or its end; stops after about kPresupuesto.
    void EjecutarPasosVencidos();
    // When the next step is due: now for turns waiting to start; none when nothing is to be done
    // before the next tick (a step on the pool is followed by the pool's notice).
    std::optional<std::int64_t> ProximoPaso() const;
    // Turns in progress, a turn whose step has been in a call for kColgadoMs left out.
    std::size_t TurnosEnCurso() const;
    void Cambio(const std::string& ruta) { ciclo_.Cambio(ruta); }
    void TicDelPool() { ciclo_.TicDelPool(); }
    CortesCarpetas& Cortes() noexcept { return cx_.cortes; }
    // One row per terminal of the list in force (or of `terminales`), without a file call.
    std::vector<FilaTerminal> Filas(const ListaTerminales& terminales) const;
    std::vector<FilaTerminal> Filas() const { return Filas(Terminales); }

    long Ciclos() const noexcept { return ciclos_; }                          // ticks that looked
    std::int32_t IntervaloAplicado() const noexcept { return tmrAplicado_; }  // 0: no clock
    std::size_t Recargas() const noexcept { return recargas_; }               // lists loaded after a root came back

    static constexpr std::chrono::milliseconds kPresupuesto{50};
    static constexpr std::int64_t kColgadoMs = 2000;
    static constexpr std::int64_t kRevisionFinMs = 250;  // while an end waits for a step in a call

private:
    void ComprobarHilo() const;
    void Pasos();
    void EmpezarTurno(Hallazgo h);
    void Despachar(Turno& t, std::coroutine_handle<> paso);
    MemoriaTurno& MemoriaDe(const std::string& rutaKorvane);
    void Vigilar();
    void AplicarTemporizador();
    void Recargar();
    void ProgramarPasos();

    const clsConfiguracion& configuracion_;
    InterfazUsuario& ui_;
    EjecutorEnLinea enLinea_;
    Ejecutor& ejecutor_;
    ContextoTurno cx_;
    CicloSondeo ciclo_;
    Ventana* ventana_;
    CerrojoKorvane* cerrojo_;
    const bool vigilar_;
    std::thread::id hiloVentana_;
    bool enCurso_ = false;                                  // a tick or a round of steps runs on the window's thread
    std::map<std::string, std::unique_ptr<Turno>> turnos_;  // by terminal folder (ClaveRuta)
    std::map<std::string, std::unique_ptr<MemoriaTurno>> memorias_;

    std::vector<std::unique_ptr<vigilancia::Vigilante>> vigilantes_;
    bool activo_ = false;
    std::int32_t intervaloMs_ = 0;
    std::int32_t tmrAplicado_ = 0;  // the period of the pool's clock, 0 when it is stopped
    std::atomic<long> ciclos_{0};
    std::size_t recargas_ = 0;
    // Once a tick of the window has found everything in order, the ticks are looks on the pool.
    std::atomic<bool> ticEnPool_{false};
    std::atomic<bool> ticPendiente_{false}, avisoPendiente_{false};  // a message is on its way
    bool terminarPendiente_ = false;
    std::optional<std::int64_t> pasosVence_;  // when the step timer set last fires, while it is set
    bool pasosArmado_ = false;
};
