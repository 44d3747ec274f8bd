#include "bridge/planificador.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <utility>

#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/texto_ansi.h"

namespace {

using cronometro = std::chrono::steady_clock;

// Clears the running flag however the step ends.
class Bandera {
public:
    explicit Bandera(bool& b) : b_(b) { b_ = true; }
    ~Bandera() { b_ = false; }
    Bandera(const Bandera&) = delete;
    Bandera& operator=(const Bandera&) = delete;

private:
    bool& b_;
};

}  // namespace

Planificador::Planificador(const clsConfiguracion& configuracion, InterfazUsuario& ui, Esperador& esperador,
                           ControlCliente& cliente, RelojLocal reloj, const std::string& carpetaFichas,
                           Ejecutor* ejecutor, Ventana* ventana, CerrojoKorvane* cerrojo, bool vigilar)
    : configuracion_(configuracion),
      ui_(ui),
      ejecutor_(ejecutor ? *ejecutor : enLinea_),
      cx_(ui, esperador, cliente, std::move(reloj), carpetaFichas),
      ciclo_(cx_, ejecutor_),
      ventana_(ventana),
      cerrojo_(cerrojo),
      vigilar_(vigilar),
      hiloVentana_(std::this_thread::get_id()) {}

// The entry points of the window's thread, checked where a wrong thread would go unseen otherwise.
void Planificador::ComprobarHilo() const {
#ifndef NDEBUG
    if (std::this_thread::get_id() == hiloVentana_) return;
    std::fprintf(stderr, "Planificador: una entrada de la ventana llamada desde otro hilo\n");
    std::abort();
#endif
}

void Planificador::CargarTerminales() {
    ComprobarHilo();
    Terminales = ::CargarTerminales(configuracion_, ui_, &cx_.cortes);
    Vigilar();
}

void Planificador::Recargar() {
    Terminales = ::CargarTerminales(configuracion_, ui_, &cx_.cortes);
    ++recargas_;
    Vigilar();
}

void Planificador::Aplicar(bool activo, std::int32_t intervaloMs) {
    ComprobarHilo();
    activo_ = activo;
    intervaloMs_ = intervaloMs;
    AplicarTemporizador();
}

// The polling clock runs only while the toggle is on and there is an interval; zero or a negative
// setting leaves polling "on" without ticks. It is the pool's clock, not a window timer: an idle tick
// wakes no window. Any change made here sends the next tick back to the window.
void Planificador::AplicarTemporizador() {
    ticEnPool_ = false;
    const std::int32_t deseado = (activo_ && intervaloMs_ > 0 && !terminarPendiente_) ? intervaloMs_ : 0;
    if (deseado == tmrAplicado_) return;  // a running clock keeps its rhythm
    ejecutor_.Repetir(deseado, [this] { TicDelReloj(); });
    tmrAplicado_ = deseado;
    Vigilar();
}

// Watches run while the polling does and this program serves the root; a watch that cannot start,
// or that loses events, costs only the wait for the next tick: a line in the activity log, never a
// message.
void Planificador::Vigilar() {
    ticEnPool_ = false;  // the next tick comes to the window and sees the new watches
    vigilantes_.clear();
    if (tmrAplicado_ == 0 || (cerrojo_ && !cerrojo_->PuedeAtender(configuracion_.DirectorioKorvane))) return;
    ciclo_.Conocer(Terminales, configuracion_.DirectorioKorvane, configuracion_.DirectorioZELNO);
    if (!vigilar_) return;
    for (const std::string* raiz : {&configuracion_.DirectorioKorvane, &configuracion_.DirectorioZELNO}) {
        if (raiz->empty() || (!vigilantes_.empty() && *raiz == configuracion_.DirectorioKorvane)) continue;
        const std::string carpeta = *raiz;
        try {
            vigilantes_.push_back(std::make_unique<vigilancia::Vigilante>(
                carpeta, [this](const std::string& ruta) { ciclo_.Cambio(ruta); },
                [carpeta](const std::string& motivo) {
                    actividad::Anotar("Vigilancia de " + carpeta + ": " + motivo + "; se sigue con el temporizador");
                }));
        } catch (...) {
            actividad::AnotarFalloIgnorado("vigilancia de " + carpeta);
        }
    }
}

void Planificador::Detener() {
    ComprobarHilo();
    vigilantes_.clear();
}

// Once a tick of the window has found everything in order (the root served, its watches running,
// nothing to reload), the ticks that follow are looks on the pool, which wake the window only for a
// terminal with work or a root that came back. Until then, each tick is the window's own, one
// message at a time.
void Planificador::TicDelReloj() {
    if (ticEnPool_) {
        ciclo_.TicDelPool();
        ++ciclos_;
        return;
    }
    if (ventana_ && !ticPendiente_.exchange(true) && !ventana_->PedirTic()) ticPendiente_ = false;
}

void Planificador::AvisoDelPool() {
    if (ventana_ && !avisoPendiente_.exchange(true) && !ventana_->PedirPasos()) avisoPendiente_ = false;
}

void Planificador::Tic() {
    ComprobarHilo();
    ticPendiente_.exchange(false);
    // While another Tramiza serves the root, a tick touches nothing in it; turns already in progress
    // (of a root left behind) still go on.
    const bool atiende = !cerrojo_ || cerrojo_->PuedeAtender(configuracion_.DirectorioKorvane);
    const bool hecho = atiende && Sondear(Terminales);
    if (hecho) ++ciclos_;
    // The root taken over, or lost to another Tramiza: the watches follow.
    if (atiende == vigilantes_.empty()) Vigilar();
    // A root that came back: the list is loaded again for the next tick.
    if (ciclo_.TomarRecarga())
        Recargar();
    else if (hecho && !vigilantes_.empty() && tmrAplicado_ > 0)
        ticEnPool_ = true;
    ProgramarPasos();
}

void Planificador::PasosAvisados() {
    avisoPendiente_.exchange(false);
    Pasos();
}

void Planificador::TemporizadorPasos() {
    pasosVence_.reset();  // it has fired; what comes next is set again below
    Pasos();
}

void Planificador::Pasos() {
    ComprobarHilo();
    EjecutarPasosVencidos();
    if (ciclo_.TomarRecarga()) Recargar();
    ProgramarPasos();
    if (terminarPendiente_ && TurnosEnCurso() == 0 && ventana_) ventana_->Cerrar();
}

// One timer for every turn's wait: it fires when the earliest ends. A timer message that comes a
// little early finds nothing due and sets the timer again for what is left. A timer already set for
// that moment or sooner is left alone: setting it again would restart its count, and while every tick
// runs as long as the interval (a file held by another program), the polling timer would always come
// first and no turn would ever go on.
void Planificador::ProgramarPasos() {
    if (!ventana_) return;
    auto proximo = ProximoPaso();
    const std::int64_t ahora = cx_.esperador.AhoraMs();
    // Waiting to end while a step is in a call: looked at again shortly, as it may come back or be
    // counted as hung.
    if (!proximo && terminarPendiente_ && TurnosEnCurso() != 0) proximo = ahora + kRevisionFinMs;
    if (!proximo) {
        // An idle tick costs no call for a timer that is not running.
        if (pasosArmado_) ventana_->DesarmarPasos();
        pasosArmado_ = false;
        pasosVence_.reset();
        return;
    }
    const auto ms =
        static_cast<std::uint32_t>(std::clamp<std::int64_t>(*proximo - ahora, ventana_->PasosMinimoMs(), 0x7FFFFFFF));
    if (pasosVence_ && *pasosVence_ <= ahora + ms) return;
    if (ventana_->ArmarPasos(ms)) {
        pasosVence_ = ahora + ms;
        pasosArmado_ = true;
    }
}

// No new tick starts, and the program ends once every turn in progress has finished its exchange
// step (a hand-off reaches the upload folder, a return gives its answer); without turns, at once.
void Planificador::Terminar() {
    ComprobarHilo();
    if (TurnosEnCurso() == 0) {
        if (ventana_) ventana_->Cerrar();
        return;
    }
    terminarPendiente_ = true;
    AplicarTemporizador();
}

void Planificador::RetirarTerminar() {
    ComprobarHilo();
    terminarPendiente_ = false;
    AplicarTemporizador();
}

bool Planificador::Sondear(ListaTerminales terminales) {
    ComprobarHilo();
    if (enCurso_) return false;
    {
        Bandera enCurso(enCurso_);
        ui_.EstablecerEstado("Buscando en " + configuracion_.DirectorioKorvane + "...");
        ciclo_.Recorrer(std::move(terminales), configuracion_.DirectorioKorvane, configuracion_.DirectorioZELNO);
    }
    // Done at once: the turns it asked for begin in this tick.
    if (ejecutor_.EnLinea()) EjecutarPasosVencidos();
    return true;
}

MemoriaTurno& Planificador::MemoriaDe(const std::string& rutaKorvane) {
    auto& m = memorias_[rutaKorvane];
    if (!m) m = std::make_unique<MemoriaTurno>();
    return *m;
}

void Planificador::EmpezarTurno(Hallazgo h) {
    // One turn per folder, however its root is spelt.
    std::string clave = ClaveRuta(archivos::Unir(h.directorioKorvane, h.item.TerXX));
    if (turnos_.count(clave) != 0) return;
    auto t = std::make_unique<Turno>(cx_, h.item, h.directorioKorvane, h.directorioZelno, MemoriaDe(clave));
    t->iniciarZelno = configuracion_.IniciarZelnoExe != 0;
    t->zelnoExe = configuracion_.ZelnoExe;
    t->activarTx = configuracion_.ActivarTX > 0;
    t->rutina = Atender(*t, h.letra);
    Turno& turno = *t;
    turnos_[std::move(clave)] = std::move(t);
    Despachar(turno, turno.rutina.Rutina());
}

void Planificador::Despachar(Turno& t, std::coroutine_handle<> paso) {
    t.ocupadoDesde = cx_.esperador.AhoraMs();
    t.ocupado.store(true, std::memory_order_relaxed);
    ejecutor_.Ejecutar([&ejecutor = ejecutor_, &t, paso] {
        paso.resume();
        t.ocupado.store(false, std::memory_order_release);
        // The window dispatches what comes next, and may end the turn from here on.
        ejecutor.Avisar();
    });
}

void Planificador::EjecutarPasosVencidos() {
    ComprobarHilo();
    if (enCurso_) return;
    Bandera enCurso(enCurso_);
    const auto limite = cronometro::now() + kPresupuesto;
    // While the program waits to end, a change starts no turn, as no tick does: what the looks found
    // is let go, for a later start to find again.
    if (terminarPendiente_) ciclo_.Descartar();
    // The terminals a change asked for are looked at now, as a tick would.
    ciclo_.MirarDespertados();
    // Something is done at each call, however slow the machine.
    bool hecho = false;
    const auto agotado = [&] { return hecho && cx_.esperador.PasosAgotados(limite); };
    std::vector<Hallazgo> nuevos = ciclo_.TomarHallazgos();
    for (std::size_t i = 0; i < nuevos.size(); ++i) {
        if (agotado()) {
            // The rest begin at the next call, before any found later.
            ciclo_.Devolver(
                std::vector<Hallazgo>(std::make_move_iterator(nuevos.begin() + static_cast<std::ptrdiff_t>(i)),
                                      std::make_move_iterator(nuevos.end())));
            break;
        }
        EmpezarTurno(std::move(nuevos[i]));
        hecho = true;
    }
    const std::int64_t ahora = cx_.esperador.AhoraMs();
    for (auto it = turnos_.begin(); it != turnos_.end();) {
        Turno& t = *it->second;
        if (!t.ocupado.load(std::memory_order_acquire)) {
            if (t.reanudar && t.vence <= ahora && !agotado()) {
                Despachar(t, std::exchange(t.reanudar, {}));
                hecho = true;
            }
            if (!t.ocupado.load(std::memory_order_acquire) && t.rutina.Terminada()) {
                ciclo_.TurnoTerminado(t.rutaKorvane);
                it = turnos_.erase(it);
                continue;
            }
        }
        ++it;
    }
}

std::optional<std::int64_t> Planificador::ProximoPaso() const {
    ComprobarHilo();
    const std::int64_t ahora = cx_.esperador.AhoraMs();
    if (ciclo_.Pendientes()) return ahora;
    std::optional<std::int64_t> proximo;
    for (const auto& [ruta, t] : turnos_) {
        if (t->ocupado.load(std::memory_order_acquire)) continue;
        if (t->rutina.Terminada()) return ahora;
        if (t->reanudar && (!proximo || t->vence < *proximo)) proximo = t->vence;
    }
    return proximo;
}

std::size_t Planificador::TurnosEnCurso() const {
    ComprobarHilo();
    const std::int64_t ahora = cx_.esperador.AhoraMs();
    std::size_t n = 0;
    for (const auto& [ruta, t] : turnos_)
        if (!t->ocupado.load(std::memory_order_acquire) || ahora - t->ocupadoDesde < kColgadoMs) ++n;
    return n;
}

std::vector<FilaTerminal> Planificador::Filas(const ListaTerminales& terminales) const {
    ComprobarHilo();
    std::vector<FilaTerminal> filas;
    if (!terminales) return filas;
    const archivos::FechaHora ahora = cx_.reloj();
    filas.reserve(terminales->size());
    for (const clsItemTerXX& item : *terminales) {
        const std::string ruta = archivos::Unir(configuracion_.DirectorioKorvane, item.TerXX);
        const auto turno = turnos_.find(ClaveRuta(ruta));
        const auto ficha = cx_.fichas.EnMemoria(ruta);
        filas.push_back(cx_.tablero.Fila(ruta, item.TerXX, ficha ? &*ficha : nullptr,
                                         turno != turnos_.end() ? turno->second->punto.load() : nullptr, ahora));
    }
    return filas;
}
