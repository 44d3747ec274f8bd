#pragma once
// The polling cycle over the terminal list: at each tick it reads each terminal's STATUS.ZLN and
// either hands a new request ("C") to the exchange client or brings the client's answer back ("P").
// Each terminal's exchange is a turn of its own: a routine that runs up to a fixed wait, is left
// there while the other terminals and the window go on, and goes on once its wait is over. No
// terminal waits for another, and a failure ends only the turn of the terminal it happened in.

#include <atomic>
#include <chrono>
#include <coroutine>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

#include "bridge/control_cliente.h"
#include "bridge/ejecutor.h"
#include "bridge/esperar.h"
#include "bridge/estado_intercambio.h"
#include "bridge/fallos_duraderos.h"
#include "bridge/puntos_control.h"
#include "bridge/registro_eventos.h"
#include "bridge/tablero_terminales.h"
#include "bridge/tarea.h"
#include "bridge/terminales.h"
#include "config/configuracion.h"
#include "config/interfaz_usuario.h"
#include "platform/exclusion.h"

class CicloSondeo {
public:
    // `carpetaEstado` keeps the record of each terminal's exchange (see RegistroIntercambios): a new
    // cycle object over the same folder finishes what a stopped one left half done.
    //
    // Every file call runs through `ejecutor` (none: at once, on the caller's thread). With a pool,
    // the calls below only hand work to it and never wait for a file: a share that hangs holds up
    // only its own terminal. They must then all be made from one thread (the window's), which the
    // pool's notice brings back to EjecutarPasosVencidos.
    CicloSondeo(const clsConfiguracion& configuracion, InterfazUsuario& ui, Esperador& esperador,
                ControlCliente& cliente, RelojLocal reloj, std::string carpetaEstado, Ejecutor* ejecutor = nullptr);

    // One tick over `terminales`, taken by value: a list reloaded later applies from the next tick.
    // A look at every terminal is handed to the executor; each terminal with work to do and no turn
    // in progress gets a turn, run up to its first wait or its end; a terminal whose turn is still in
    // progress, or whose last look has not come back, is left to it, so the same terminal never has
    // two. A tick that arrives while a step runs here (a message box of a user interface that lets
    // timer messages through) is skipped and returns false.
    bool TmrBuscando_Timer(ListaTerminales terminales);

    // The same look, from the pool's clock (any thread), over the list and folders of the last tick
    // or Conocer: it touches nothing of the window's. Only a terminal with work, or a root that came
    // back (TomarRecarga), wakes the window, through the executor's notice.
    void TicDelPool();

    // Starts the turns that the looks asked for, then goes on with every turn whose wait is over (on
    // the waiter's clock, never earlier), each up to its next wait or its end. Steps run here stop
    // after about kPresupuesto and go on at the next call, at once due, so that the window answers
    // its other messages in between.
    void EjecutarPasosVencidos();

    // A file changed under the Korvane or the Zelno root (from a watch's thread, or any other): a
    // STATUS.ZLN of a terminal, or the client's estado.rsp for one, has that terminal looked at now,
    // at the next EjecutarPasosVencidos, instead of at the next tick. Anything else is ignored.
    void Cambio(const std::string& ruta);
    // The terminals that Cambio matches changes against, in the folders in force, until the next tick
    // gives its own: for a watch that starts before the first tick.
    void Conocer(ListaTerminales terminales);

    // When the next step is due, on the waiter's clock: now for turns waiting to start, otherwise the
    // end of the earliest wait; none when nothing is left to do before the next tick (a step running
    // on the pool is followed by the pool's notice).
    std::optional<std::int64_t> ProximoPaso() const;

    static constexpr std::chrono::milliseconds kPresupuesto{50};
    // A file held by another program: the turn tries again every kPausaBloqueoMs; one hold that
    // lasts kEsperaBloqueoMs gives the failure's message.
    static constexpr std::int32_t kEsperaBloqueoMs = 1000;
    static constexpr std::int32_t kPausaBloqueoMs = 50;
    // How long the answer to a request that may be in the client's hands is awaited when nobody is
    // sure it is: after a stop in the middle of its upload, or once the till has left it.
    static constexpr std::int32_t kEsperaDudaMs = 60000;

    // Turns in progress. Each is waiting at a point that a later tick, or a new start after the
    // program ended, repeats without harm: a command may end the program at any time between steps.
    // A turn whose step has been in a call for kColgadoMs (a share that does not answer) is not
    // counted: the program may end in that call, as after a stop at that file operation.
    std::size_t TurnosEnCurso() const;
    static constexpr std::int64_t kColgadoMs = 2000;

    // Folders out of reach: terminals in them are left alone until they come back.
    CortesCarpetas& Cortes() noexcept { return cortes_; }
    // True once after the Korvane or the Zelno root came back from an outage: the terminal list
    // should be loaded again (it may have been loaded while the root was away).
    bool TomarRecarga() noexcept { return recargar_.exchange(false); }

    // One row per terminal of `terminales`, in its order, for the "Terminales" window: built now,
    // from what the cycle holds in memory, without a file call.
    std::vector<FilaTerminal> Filas(const ListaTerminales& terminales) const;

private:
    // How a turn reaches the user: its boxes are logged under its terminal's name, and a box that
    // comes back at every tick is counted as a fault that lasts instead of logged each time.
    class InterfazTurno final : public InterfazUsuario {
    public:
        InterfazTurno(InterfazUsuario& base, FallosDuraderos& fallos, std::string terminal, const PuntoEnCurso& punto)
            : base_(base), fallos_(fallos), terminal_(std::move(terminal)), punto_(punto) {}
        void EstablecerEstado(const std::string& texto) override { base_.EstablecerEstado(texto); }
        void ProcesarMensajes() override { base_.ProcesarMensajes(); }
        const std::string& Terminal() const noexcept { return terminal_; }

    protected:
        void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) override {
            base_.MostrarSinAnotar(texto, titulo, icono);
        }
        // A box shown while a failure is handled names the checkpoint, the file and the failure.
        void AnotarMensaje(const std::string& texto, const std::string& titulo) override;

    private:
        InterfazUsuario& base_;
        FallosDuraderos& fallos_;
        std::string terminal_;
        const PuntoEnCurso& punto_;
    };

    // What this process knows of a terminal's exchange beyond its record, kept from one turn to the
    // next. After a stop nothing is known.
    // An aggregate without member initialisers: Subida{} and an emplaced one are all false.
    struct Subida {
        bool clicab, praxis, svl;
    };
    struct Memoria {
        std::optional<std::int64_t> entrega;  // when the request in the client's hands was handed off
        std::optional<std::int64_t> desde;    // since when an answer in doubt, or of a left request, is awaited
        std::optional<std::string> aparte;    // the folder an answer is being kept aside in
        // Of an upload made by this process: which files reached upload whole, and whether _svl.0
        // was written.
        std::optional<Subida> subida;
    };

    // One terminal's exchange in progress, with what its steps share.
    struct Turno {
        Turno(InterfazUsuario& base, FallosDuraderos& fallos, std::string terminal, Memoria& memoria)
            : ui(base, fallos, std::move(terminal), punto), m(memoria) {}
        InterfazTurno ui;  // every box of the turn goes through it
        Memoria& m;
        // A step is running on the executor; set and read by the window's thread, cleared by the step
        // once it has suspended or ended (what it left in `vence` and `reanudar` is then visible).
        std::atomic<bool> ocupado{false};
        std::int64_t ocupadoDesde = 0;
        std::string codigoTerminal;
        std::string rutaKorvane;      // the terminal's folder
        std::string rutaZelno;        // its folder in the client's tree
        std::string directorioZelno;  // the client's root when the turn began
        std::string directorioKorvane;
        // The settings a step needs, as they were when the turn began: a step may run on another
        // thread while the settings change.
        bool iniciarZelno = false, activarTx = false;
        std::string zelnoExe;
        // Read by the window's thread while a step may be writing it.
        PuntoEnCurso punto{"1"};  // checkpoint of the step running or last run
        std::string codigoEmpresa;
        std::int64_t tamanio = -1;         // of CLICAB.ZLN, for the activity log: -1 not read by this turn, -2 none
        std::string entregados;            // answer files put in the terminal folder, for the activity log
        std::int64_t vence = 0;            // end of the wait it is in
        std::coroutine_handle<> reanudar;  // what goes on then
        // The waits given to the client that this turn has had, by name: an attempt after a short
        // lock passes them (see Atender).
        std::set<std::string, std::less<>> esperasHechas;
        Tarea<> rutina;
    };

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
    Espera Esperar(Turno& t, std::int32_t ms, const char* nombre = nullptr);

    // A terminal that a look found with work to do.
    struct Hallazgo {
        clsItemTerXX item;
        std::optional<char> estado;  // none when a short lock kept the letter from being read
        std::string directorioKorvane, directorioZelno;
    };
    // What the looks keep of the list of terminals they walk, from tick to tick: each terminal's
    // folder and STATUS.ZLN, joined once, and what its last idle look found (a key of Reposo; 0:
    // nothing kept).
    struct Vista {
        ListaTerminales lista;
        std::string directorioKorvane;
        std::vector<std::string> rutas, status;
        std::unique_ptr<std::atomic<std::uint64_t>[]> reposo;
    };
    // The look at every terminal of one tick, on the executor.
    void Recorrer(const ListaTerminales& lista, const std::string& directorioKorvane,
                  const std::string& directorioZelno);
    // The Vista of the list the ticks walk, made when it is first walked; none for any other list.
    std::shared_ptr<const Vista> VistaDe(const ListaTerminales& lista, const std::string& directorioKorvane);
    // One terminal of that look, in its folder `rutaKorvane`. `reposo`: where the look keeps what
    // it found idle, none when it keeps nothing.
    std::optional<Hallazgo> Mirar(const clsItemTerXX& item, const std::string& rutaKorvane, const std::string& status,
                                  std::atomic<std::uint64_t>* reposo, const std::string& directorioKorvane,
                                  const std::string& directorioZelno);
    // The changes to the board and the records so far.
    std::uint64_t Cambios() const { return tablero_.Cambios() + registro_.Cambios(); }
    void EmpezarTurno(Hallazgo h);
    // Hands the turn's next step to the executor.
    void Despachar(Turno& t, std::coroutine_handle<> paso);
    Memoria& MemoriaDe(const std::string& rutaKorvane);
    static Subida& SubidaDe(Turno& t);
    // Inside a catch block: a failure of the turn's, reported once as an outage when one of its
    // folders cannot be reached, otherwise with its checkpoint's message; logged as a fault that
    // may last.
    void AvisarFallo(Turno& t);
    // The first of the turn's folders that cannot be reached, reported as an outage; false when
    // all can.
    bool VerCarpetas(const Turno& t);
    Tarea<> Intentar(Turno& t, std::optional<char> estado);
    // `estado`: the request letter read at the start of the turn; none when a short lock kept it from
    // being read.
    Tarea<> Atender(Turno& t, std::optional<char> estado);
    // What the table of EstadoIntercambio says for the terminal's stage and letter, until it says
    // nothing more is to be done in this turn.
    Tarea<> AtenderPasos(Turno& t, char letra);
    char LeerLetra(Turno& t, PuntoControl punto);

    // The hand-off: everything that can fail before the request reaches the client runs while the
    // request is still "C"; the decision is recorded; then "P"; then the upload, one recorded stage
    // at a time, so that a stop never sends a request twice.
    Tarea<> EntregarSolicitud(Turno& t);
    Tarea<bool> ClienteDisponible(Turno& t);
    EstadoIntercambio DecidirEntrega(Turno& t, EstadoIntercambio e);
    // Whatever an earlier exchange left in the client's folder (an estado.rsp, answer files that came
    // late) is kept aside before a new request goes, so that it never becomes the new one's answer.
    Tarea<> ApartarRestos(Turno& t);
    void QuitarSubida(Turno& t);
    std::string CodigoProveedor(Turno& t);
    void CopiarAnteriores(Turno& t);
    void CompletarEntrega(Turno& t, EstadoIntercambio e);
    void QuitarOriginales(Turno& t, const EstadoIntercambio& e, bool copiar);
    void SinRastro(Turno& t, EstadoIntercambio e, EstadoIntercambio::Etapa atras, const std::string& destino,
                   const std::function<void()>& escribir);
    void EntregarAlCliente(Turno& t, EstadoIntercambio e);
    void ReanudarEntrega(Turno& t, EstadoIntercambio e);
    void MarcarEntregada(Turno& t, EstadoIntercambio e, const char* como);
    void CaerEnDuda(Turno& t, EstadoIntercambio e);
    // What is left of a request in doubt in upload, and its originals in the terminal folder.
    void RetirarDudosa(Turno& t, const EstadoIntercambio& e);
    void ResponderDuplicado(Turno& t, EstadoIntercambio e);

    // The return: once the client's estado.rsp is there and its waits are over, STATUS.ZLN is read
    // again; the answer files (or an error answer of our own) are copied to the terminal folder and
    // flushed, then "S" only onto the same "P", and only then are the client's files removed. An
    // answer whose request the till has left is kept aside instead (GuardarAparte).
    // True when the answer was kept aside instead and the letter must decide again.
    Tarea<bool> RetornarRespuesta(Turno& t, EstadoIntercambio e);
    struct Respuesta;
    Tarea<Respuesta> MirarRespuestaCliente(Turno& t);
    bool EntregarRespuesta(Turno& t, const Respuesta& r, EstadoIntercambio& e, const std::string& textoEstado);
    static EstadoIntercambio::Resultado ResultadoDe(const Respuesta& r);
    void RetirarRespuesta(Turno& t);
    void LimpiarRespuesta(Turno& t, EstadoIntercambio e);
    // An answer of the client's that no terminal is waiting for: after the client's waits, its files
    // go into a folder of their own, with a line in the activity log and a message. True when there
    // was one.
    Tarea<bool> GuardarAparte(Turno& t, const std::string& motivo, bool conEspera);
    // For a request the till left (or we answered ourselves): true once its answer was kept aside, or
    // none came within kEsperaDudaMs (none is awaited for a request we answered ourselves).
    Tarea<bool> DespedirRespuesta(Turno& t, EstadoIntercambio e, char letra);
    std::int64_t DesdeHace(Turno& t);

    void MarcarStatus(Turno& t, const char* letra, PuntoControl puntoAbrir, PuntoControl puntoEscribir);
    // "S" over the "P" of the request answered: false, with nothing written, when the till has
    // written another letter meanwhile.
    bool MarcarRespondida(Turno& t);
    void Registrar(const Turno& t, const EstadoIntercambio& e);
    EstadoIntercambio Registro(const Turno& t);
    // One line of the activity log about the terminal of `t`.
    void Anotar(const Turno& t, const std::string& que) const;
    std::string NombreTerminal(const Turno& t) const;

    const clsConfiguracion& configuracion_;
    InterfazUsuario& ui_;
    Esperador& esperador_;
    ControlCliente& cliente_;
    RelojLocal reloj_;

    EjecutorEnLinea enLinea_;
    Ejecutor& ejecutor_;
    RegistroIntercambios registro_;
    std::string carpetaNoEntregadas_;
    // By terminal folder. Only the window's thread adds and removes entries; a step reaches its own
    // through its turn.
    std::map<std::string, std::unique_ptr<Turno>> turnos_;
    std::map<std::string, std::unique_ptr<Memoria>> memorias_;
    TableroTerminales tablero_;  // what the "Terminales" window shows, fed as the turns go
    bool enCurso_ = false;
    FallosDuraderos fallos_;
    CortesCarpetas cortes_;
    std::atomic<bool> recargar_{false};
    std::atomic<bool> revisando_{false};  // a look at the folders out of reach is under way
    std::mutex arranque_;                 // one look for the client and its start at a time

    // Between the looks on the executor and the window's thread: the terminals being looked at, those
    // with a turn (or one asked for), and the turns asked for.
    mutable plataforma::Exclusion mutexTerminales_;
    std::unordered_set<std::string> mirando_, conTurno_;
    std::vector<Hallazgo> hallados_;
    // What the last tick walked, for Cambio; and the terminals a change asked to look at.
    ListaTerminales vistos_;
    std::shared_ptr<const Vista> vista_;  // of vistos_
    std::string vistosKorvane_, vistosZelno_;
    std::vector<clsItemTerXX> despertados_;
};

// The request state of a STATUS.ZLN text: its first character after blanks, in upper case; empty
// when there is none. The cycle reads only the first kInicioStatus bytes of the file.
char EstadoSolicitud(const std::string& textoStatus);
inline constexpr std::size_t kInicioStatus = 4096;
