#include "bridge/ciclo_sondeo.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "bridge/aviso_bloqueo.h"
#include "bridge/duplicados.h"
#include "config/textos_mensajes.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "platform/registro_actividad.h"
#include "platform/texto_ansi.h"

using namespace intercambio;

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

char EstadoSolicitud(const std::string& textoStatus) {
    const auto primero = textoStatus.find_first_not_of(' ');
    if (primero == std::string::npos) return '\0';
    const char c = textoStatus[primero];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

CicloSondeo::CicloSondeo(const clsConfiguracion& configuracion, InterfazUsuario& ui, Esperador& esperador,
                         ControlCliente& cliente, RelojLocal reloj, std::string carpetaEstado, Ejecutor* ejecutor)
    : configuracion_(configuracion),
      ui_(ui),
      esperador_(esperador),
      cliente_(cliente),
      reloj_(std::move(reloj)),
      ejecutor_(ejecutor ? *ejecutor : enLinea_),
      registro_(carpetaEstado),
      carpetaNoEntregadas_(CarpetaNoEntregadas(carpetaEstado)),
      fallos_([this] { return esperador_.AhoraMs(); }),
      cortes_(ui_, [this] { return esperador_.AhoraMs(); }) {}

bool CicloSondeo::TmrBuscando_Timer(ListaTerminales terminales) {
    if (enCurso_) return false;
    {
        Bandera enCurso(enCurso_);
        ui_.EstablecerEstado("Buscando en " + configuracion_.DirectorioKorvane + "...");
        {
            const std::lock_guard lock(mutexTerminales_);
            vistos_ = terminales;
            vistosKorvane_ = configuracion_.DirectorioKorvane;
            vistosZelno_ = configuracion_.DirectorioZELNO;
        }
        ejecutor_.Ejecutar([this, lista = std::move(terminales), korvane = configuracion_.DirectorioKorvane,
                            zelno = configuracion_.DirectorioZELNO] { Recorrer(lista, korvane, zelno); });
    }
    // Done at once: the turns it asked for begin in this tick.
    if (ejecutor_.EnLinea()) EjecutarPasosVencidos();
    return true;
}

void CicloSondeo::TicDelPool() {
    ListaTerminales lista;
    std::string korvane, zelno;
    {
        const std::lock_guard lock(mutexTerminales_);
        lista = vistos_;
        korvane = vistosKorvane_;
        zelno = vistosZelno_;
    }
    Recorrer(lista, korvane, zelno);
    if (recargar_) ejecutor_.Avisar();
}

void CicloSondeo::Recorrer(const ListaTerminales& lista, const std::string& directorioKorvane,
                           const std::string& directorioZelno) {
    // A folder that came back is served again from this tick; a root that came back may hold
    // terminals that the last load could not see. One look at a time: it may hang as well.
    if (!cortes_.Vacio() && !revisando_.exchange(true)) {
        for (const std::string& carpeta : cortes_.Revisar())
            if (carpeta == directorioKorvane || carpeta == directorioZelno) recargar_ = true;
        revisando_ = false;
    }
    if (!lista) return;
    const std::shared_ptr<const Vista> vista = VistaDe(lista, directorioKorvane);
    // Without a Vista, one path of each kind and one entry of mirando_ for the whole look, used again
    // from terminal to terminal: an idle terminal costs its file calls, not allocations.
    std::string unida, unidoStatus;
    decltype(mirando_)::node_type entrada;
    for (std::size_t i = 0; i < lista->size(); ++i) {
        const clsItemTerXX& item = (*lista)[i];
        if (!vista) {
            archivos::UnirEn(unida, directorioKorvane, item.TerXX);
            unidoStatus.assign(unida).append(1, '\\').append(kStatus);
        }
        const std::string& ruta = vista ? vista->rutas[i] : unida;
        {
            const std::lock_guard lock(mutexTerminales_);
            // A terminal with a turn is left to it; one whose last look hangs is left to that look.
            if (!conTurno_.empty() && conTurno_.count(ruta) != 0) continue;
            if (entrada.empty()) {
                if (!mirando_.insert(ruta).second) continue;
            } else {
                entrada.value() = ruta;
                auto puesta = mirando_.insert(std::move(entrada));
                if (!puesta.inserted) {
                    entrada = std::move(puesta.node);
                    continue;
                }
            }
        }
        std::optional<Hallazgo> hallado;
        try {
            hallado = vista ? Mirar(item, ruta, vista->status[i], &vista->reposo[i], directorioKorvane, directorioZelno)
                            : Mirar(item, ruta, unidoStatus, nullptr, directorioKorvane, directorioZelno);
        } catch (...) {
            actividad::AnotarFalloIgnorado(item.TerXX, "búsqueda");
        }
        {
            const std::lock_guard lock(mutexTerminales_);
            entrada = mirando_.extract(ruta);
            if (!hallado) continue;
            conTurno_.insert(ruta);
            hallados_.push_back(std::move(*hallado));
        }
        // Its turn need not wait for the rest of the look.
        ejecutor_.Avisar();
    }
}

std::shared_ptr<const CicloSondeo::Vista> CicloSondeo::VistaDe(const ListaTerminales& lista,
                                                               const std::string& directorioKorvane) {
    {
        const std::lock_guard lock(mutexTerminales_);
        if (vista_ && vista_->lista == lista && vista_->directorioKorvane == directorioKorvane) return vista_;
        if (lista != vistos_ || directorioKorvane != vistosKorvane_) return nullptr;
    }
    // Made once per list, outside the lock that the window's thread takes too.
    auto v = std::make_shared<Vista>();
    v->lista = lista;
    v->directorioKorvane = directorioKorvane;
    v->rutas.reserve(lista->size());
    v->status.reserve(lista->size());
    for (const clsItemTerXX& item : *lista) {
        v->rutas.push_back(archivos::Unir(directorioKorvane, item.TerXX));
        v->status.push_back(En(v->rutas.back(), kStatus));
    }
    v->reposo = std::make_unique<std::atomic<std::uint64_t>[]>(lista->size());
    const std::lock_guard lock(mutexTerminales_);
    if (lista == vistos_ && directorioKorvane == vistosKorvane_) vista_ = v;
    return v;
}

CicloSondeo::Espera CicloSondeo::Esperar(Turno& t, std::int32_t ms, const char* nombre) {
    // An attempt after a short lock passes the waits whose time the client already had.
    if (nombre && !t.esperasHechas.emplace(nombre).second) return Espera{t, 0, true};
    esperador_.EsperaIniciada(ms);
    return Espera{t, esperador_.AhoraMs() + ms};
}

namespace {

// What an idle look found: its letter, and the changes to the board and the records so far.
std::uint64_t Reposo(char letra, std::uint64_t cambios) {
    return (cambios << 9) | 0x100u | static_cast<unsigned char>(letra);
}

}  // namespace

std::optional<CicloSondeo::Hallazgo> CicloSondeo::Mirar(const clsItemTerXX& item, const std::string& rutaKorvane,
                                                        const std::string& status, std::atomic<std::uint64_t>* reposo,
                                                        const std::string& directorioKorvane,
                                                        const std::string& directorioZelno) {
    const auto rutaZelno = [&] { return archivos::Unir(directorioZelno, kPrefijoTerminal + item.CodigoTerminal); };
    // A terminal in a folder out of reach waits for it to come back, without a call.
    if (!cortes_.Vacio() && (cortes_.Cortada(rutaKorvane) || cortes_.Cortada(rutaZelno()))) return std::nullopt;
    // What a failure is reported with, made only then: an idle look costs its two file calls and no
    // turn. The turn itself is made on the window's thread.
    const auto conTurno = [&](auto&& hacer) {
        Memoria ninguna;
        Turno t(ui_, fallos_, item.TerXX, ninguna);
        t.codigoTerminal = item.CodigoTerminal;
        t.rutaKorvane = rutaKorvane;
        t.rutaZelno = rutaZelno();
        t.directorioKorvane = directorioKorvane;
        t.directorioZelno = directorioZelno;
        hacer(t);
    };
    std::optional<char> estado;
    try {
        if (!archivos::Existe(status)) {
            tablero_.SinStatus(rutaKorvane);
            // No request yet, or no folder: only the second is worth a word.
            conTurno([this](Turno& t) { VerCarpetas(t); });
            if (!fallos_.Vacio()) fallos_.FinDeTurno(item.TerXX);
            return std::nullopt;
        }
        // The first bytes decide: a STATUS.ZLN of any size costs a tick no more than a small one.
        estado = EstadoSolicitud(archivos::LeerInicio(status, kInicioStatus, kAvisar));
        // The letter its last look found idle, with nothing changed since on the board or in the
        // records, is idle still: the board has it already, and the stage is the same.
        const std::uint64_t cambios = Cambios();
        if (reposo && fallos_.Vacio() && reposo->load(std::memory_order_relaxed) == Reposo(*estado, cambios))
            return std::nullopt;
        // Only a "C" needs the time it was seen.
        const bool cambio = tablero_.Letra(rutaKorvane, *estado, *estado == 'C' ? esperador_.AhoraMs() : 0);
        // An idle terminal costs its two file calls and nothing more.
        if (SinTrabajo(registro_.De(rutaKorvane, kAvisar).etapa, *estado)) {
            if (!fallos_.Vacio()) {
                fallos_.FinDeTurno(item.TerXX);
            } else if (reposo && Cambios() == cambios + (cambio ? 1 : 0)) {
                // Kept only when nothing but this look changed either meanwhile.
                reposo->store(Reposo(*estado, cambios + (cambio ? 1 : 0)), std::memory_order_relaxed);
            }
            return std::nullopt;
        }
    } catch (const plataforma::BloqueoPasajero&) {
        // Held by another program for a moment, maybe: a turn reads it again shortly.
        estado.reset();
    } catch (...) {
        conTurno([this](Turno& t) { AvisarFallo(t); });
        return std::nullopt;
    }
    return Hallazgo{item, estado, directorioKorvane, directorioZelno};
}

CicloSondeo::Memoria& CicloSondeo::MemoriaDe(const std::string& rutaKorvane) {
    auto& m = memorias_[rutaKorvane];
    if (!m) m = std::make_unique<Memoria>();
    return *m;
}

void CicloSondeo::EmpezarTurno(Hallazgo h) {
    std::string rutaKorvane = archivos::Unir(h.directorioKorvane, h.item.TerXX);
    if (turnos_.count(rutaKorvane) != 0) return;
    auto t = std::make_unique<Turno>(ui_, fallos_, h.item.TerXX, MemoriaDe(rutaKorvane));
    t->codigoTerminal = h.item.CodigoTerminal;
    t->rutaKorvane = std::move(rutaKorvane);
    t->rutaZelno = archivos::Unir(h.directorioZelno, kPrefijoTerminal + h.item.CodigoTerminal);
    t->directorioKorvane = std::move(h.directorioKorvane);
    t->directorioZelno = std::move(h.directorioZelno);
    t->iniciarZelno = configuracion_.IniciarZelnoExe != 0;
    t->zelnoExe = configuracion_.ZelnoExe;
    t->activarTx = configuracion_.ActivarTX > 0;
    t->rutina = Atender(*t, h.estado);
    Turno& turno = *t;
    turnos_[turno.rutaKorvane] = std::move(t);
    Despachar(turno, turno.rutina.Rutina());
}

void CicloSondeo::Despachar(Turno& t, std::coroutine_handle<> paso) {
    t.ocupadoDesde = esperador_.AhoraMs();
    t.ocupado.store(true, std::memory_order_relaxed);
    ejecutor_.Ejecutar([&ejecutor = ejecutor_, &t, paso] {
        paso.resume();
        t.ocupado.store(false, std::memory_order_release);
        // The window dispatches what comes next, and may end the turn from here on.
        ejecutor.Avisar();
    });
}

namespace {

// The part of `ruta` below `raiz` split at its separators; none when `ruta` is not below it.
std::optional<std::vector<std::string>> Debajo(const std::string& ruta, const std::string& raiz) {
    if (raiz.empty() || ruta.size() <= raiz.size() ||
        !IgualesSinMayusculas(std::string_view(ruta).substr(0, raiz.size()), raiz))
        return std::nullopt;
    std::size_t i = raiz.size();
    const bool conBarra = raiz.back() == '\\' || raiz.back() == '/';
    if (!conBarra && ruta[i] != '\\' && ruta[i] != '/') return std::nullopt;
    std::vector<std::string> partes;
    std::string parte;
    for (; i < ruta.size(); ++i) {
        if (ruta[i] == '\\' || ruta[i] == '/') {
            if (!parte.empty()) partes.push_back(std::move(parte));
            parte.clear();
        } else {
            parte += ruta[i];
        }
    }
    if (!parte.empty()) partes.push_back(std::move(parte));
    return partes;
}

}  // namespace

void CicloSondeo::Conocer(ListaTerminales terminales) {
    const std::lock_guard lock(mutexTerminales_);
    vistos_ = std::move(terminales);
    vistosKorvane_ = configuracion_.DirectorioKorvane;
    vistosZelno_ = configuracion_.DirectorioZELNO;
}

void CicloSondeo::Cambio(const std::string& ruta) {
    {
        const std::lock_guard lock(mutexTerminales_);
        if (!vistos_) return;
        const auto esta = [](const std::string& a, const char* b) { return IgualesSinMayusculas(a, b); };
        const clsItemTerXX* item = nullptr;
        // The longer root first: one may lie inside the other.
        const bool zelnoDentro = vistosZelno_.size() > vistosKorvane_.size();
        for (int vuelta = 0; vuelta < 2 && item == nullptr; ++vuelta) {
            const bool deZelno = (vuelta == 0) == zelnoDentro;
            const auto partes = Debajo(ruta, deZelno ? vistosZelno_ : vistosKorvane_);
            if (!partes) continue;
            if (partes->size() != 2) break;
            const std::string& carpeta = (*partes)[0];
            if (!deZelno && esta((*partes)[1], kStatus)) {
                for (const clsItemTerXX& i : *vistos_)
                    if (esta(i.TerXX, carpeta.c_str())) item = &i;
            } else if (deZelno && esta((*partes)[1], kEstadoRsp) && carpeta.size() > std::strlen(kPrefijoTerminal) &&
                       esta(carpeta.substr(0, std::strlen(kPrefijoTerminal)), kPrefijoTerminal)) {
                const std::string codigo = carpeta.substr(std::strlen(kPrefijoTerminal));
                for (const clsItemTerXX& i : *vistos_)
                    if (esta(i.CodigoTerminal, codigo.c_str())) item = &i;
            }
            break;
        }
        if (item == nullptr) return;
        for (const clsItemTerXX& d : despertados_)
            if (d.TerXX == item->TerXX) return;
        despertados_.push_back(*item);
    }
    ejecutor_.Avisar();
}

void CicloSondeo::EjecutarPasosVencidos() {
    if (enCurso_) return;
    Bandera enCurso(enCurso_);
    const auto limite = cronometro::now() + kPresupuesto;
    // The terminals a change asked for are looked at now, as a tick would.
    std::vector<clsItemTerXX> despertados;
    std::string korvane, zelno;
    {
        const std::lock_guard lock(mutexTerminales_);
        despertados.swap(despertados_);
        korvane = vistosKorvane_;
        zelno = vistosZelno_;
    }
    if (!despertados.empty()) {
        auto lista = std::make_shared<const std::vector<clsItemTerXX>>(std::move(despertados));
        ejecutor_.Ejecutar(
            [this, lista = ListaTerminales(std::move(lista)), korvane, zelno] { Recorrer(lista, korvane, zelno); });
    }
    // Something is done at each call, however slow the machine.
    bool hecho = false;
    const auto agotado = [&] { return hecho && esperador_.PasosAgotados(limite); };
    std::vector<Hallazgo> nuevos;
    {
        const std::lock_guard lock(mutexTerminales_);
        nuevos.swap(hallados_);
    }
    for (std::size_t i = 0; i < nuevos.size(); ++i) {
        if (agotado()) {
            // The rest begin at the next call, before any found later.
            const std::lock_guard lock(mutexTerminales_);
            hallados_.insert(hallados_.begin(),
                             std::make_move_iterator(nuevos.begin() + static_cast<std::ptrdiff_t>(i)),
                             std::make_move_iterator(nuevos.end()));
            break;
        }
        EmpezarTurno(std::move(nuevos[i]));
        hecho = true;
    }
    const std::int64_t ahora = esperador_.AhoraMs();
    for (auto it = turnos_.begin(); it != turnos_.end();) {
        Turno& t = *it->second;
        if (!t.ocupado.load(std::memory_order_acquire)) {
            if (t.reanudar && t.vence <= ahora && !agotado()) {
                Despachar(t, std::exchange(t.reanudar, {}));
                hecho = true;
            }
            if (!t.ocupado.load(std::memory_order_acquire) && t.rutina.Terminada()) {
                {
                    const std::lock_guard lock(mutexTerminales_);
                    conTurno_.erase(it->first);
                }
                it = turnos_.erase(it);
                continue;
            }
        }
        ++it;
    }
}

std::optional<std::int64_t> CicloSondeo::ProximoPaso() const {
    const std::int64_t ahora = esperador_.AhoraMs();
    {
        const std::lock_guard lock(mutexTerminales_);
        if (!hallados_.empty() || !despertados_.empty()) return ahora;
    }
    std::optional<std::int64_t> proximo;
    for (const auto& [ruta, t] : turnos_) {
        if (t->ocupado.load(std::memory_order_acquire)) continue;
        if (t->rutina.Terminada()) return ahora;
        if (t->reanudar && (!proximo || t->vence < *proximo)) proximo = t->vence;
    }
    return proximo;
}

std::size_t CicloSondeo::TurnosEnCurso() const {
    const std::int64_t ahora = esperador_.AhoraMs();
    std::size_t n = 0;
    for (const auto& [ruta, t] : turnos_)
        if (!t->ocupado.load(std::memory_order_acquire) || ahora - t->ocupadoDesde < kColgadoMs) ++n;
    return n;
}

// A turn's one handler: the failure is reported with the step it happened in, and ends that turn;
// the terminal is tried again at the next tick. The log names the terminal and the file, which the
// box does not; a failure that comes back at every tick is logged as one fault that lasts.
void CicloSondeo::AvisarFallo(Turno& t) {
    const std::string texto = plataforma::TextoFalloEnCurso();
    const std::string ruta = plataforma::RutaFalloEnCurso();
    tablero_.Fallo(t.rutaKorvane, t.punto, texto, reloj_());
    if (VerCarpetas(t)) return;
    const std::string linea =
        std::string("fallo en punto control ") + t.punto.load() + ": " + (ruta.empty() ? "" : ruta + ": ") + texto;
    fallos_.Ocurre(NombreTerminal(t), linea, linea);
    ui_.MostrarSinAnotar(texto, mensajes::kTituloPuntoControl + std::string(t.punto.load()), Icono::Critico);
}

bool CicloSondeo::VerCarpetas(const Turno& t) {
    const std::string subida = En(t.rutaZelno, kSubida), descarga = En(t.rutaZelno, kDescarga);
    const std::pair<const std::string*, bool> carpetas[] = {
        {&t.directorioKorvane, false}, {&t.rutaKorvane, true}, {&t.directorioZelno, false},
        {&t.rutaZelno, true},          {&subida, true},        {&descarga, true}};
    for (const auto& [carpeta, deTerminal] : carpetas) {
        if (cortes_.Cortada(*carpeta)) return true;
        if (auto motivo = MotivoInalcanzable(*carpeta)) {
            cortes_.Empieza(*carpeta, *motivo, deTerminal ? NombreTerminal(t) : std::string());
            return true;
        }
    }
    return false;
}

void CicloSondeo::InterfazTurno::AnotarMensaje(const std::string& texto, const std::string& titulo) {
    std::string linea = "mensaje \"" + titulo + "\": " + texto;
    if (std::current_exception()) {
        const std::string ruta = plataforma::RutaFalloEnCurso();
        linea += std::string(" (punto control ") + punto_.load() + ": " + (ruta.empty() ? "" : ruta + ": ") +
                 plataforma::TextoFalloEnCurso() + ")";
    }
    fallos_.Ocurre(terminal_, linea, linea);
}

std::string CicloSondeo::NombreTerminal(const Turno& t) const {
    return t.rutaKorvane.substr(t.rutaKorvane.find_last_of("\\/") + 1);
}

void CicloSondeo::Anotar(const Turno& t, const std::string& que) const {
    actividad::Anotar(NombreTerminal(t) + ": " + que);
}

EstadoIntercambio CicloSondeo::Registro(const Turno& t) { return registro_.De(t.rutaKorvane, kAvisar); }

void CicloSondeo::Registrar(const Turno& t, const EstadoIntercambio& e) { registro_.Grabar(t.rutaKorvane, e, kAvisar); }

// A short lock ends the attempt without a word; the turn starts again from its files a moment later,
// as a later tick would (every step can be repeated), without the waits the client already had. One
// lock is the same file refused again at every attempt, with no more than a pause between: when it
// has lasted kEsperaBloqueoMs, the failure's message is shown (the step's own, when it has one).
Tarea<> CicloSondeo::Atender(Turno& t, std::optional<char> estado) {
    co_await Intentar(t, estado);
    fallos_.FinDeTurno(NombreTerminal(t));
}

Tarea<> CicloSondeo::Intentar(Turno& t, std::optional<char> estado) {
    struct Bloqueo {
        std::string ruta;
        std::int64_t desde = 0, ultimo = 0;
    };
    std::optional<Bloqueo> bloqueo;
    for (;;) {
        std::exception_ptr aviso;
        try {
            const char letra = estado ? *estado : LeerLetra(t, "1");
            co_await AtenderPasos(t, letra);
            tablero_.TurnoCumplido(t.rutaKorvane, reloj_);
            co_return;
        } catch (const plataforma::BloqueoPasajero& b) {
            const std::int64_t ahora = esperador_.AhoraMs();
            if (!bloqueo || bloqueo->ruta != b.Ruta() || ahora - bloqueo->ultimo > 3 * kPausaBloqueoMs) {
                bloqueo = Bloqueo{b.Ruta(), ahora, ahora};
                const std::string linea = std::string("archivo retenido en punto control ") + t.punto.load() + ": " +
                                          b.Ruta() + ": " + b.TextoNumeroDescripcion() + ", se reintenta";
                fallos_.Ocurre(NombreTerminal(t), linea, linea);
            }
            bloqueo->ultimo = ahora;
            if (ahora - bloqueo->desde >= kEsperaBloqueoMs) aviso = std::current_exception();
        } catch (...) {
            AvisarFallo(t);
            co_return;
        }
        if (aviso) {
            try {
                std::rethrow_exception(aviso);
            } catch (const BloqueoConAviso& b) {
                const std::string linea = std::string("fallo en punto control ") + t.punto.load() + ": " + b.Ruta() +
                                          ": " + b.TextoNumeroDescripcion() + " (mensaje \"" + b.Titulo() +
                                          "\": " + b.Texto() + ")";
                fallos_.Ocurre(NombreTerminal(t), linea, linea);
                b.Avisar(ui_);
                tablero_.Fallo(t.rutaKorvane, t.punto, b.TextoNumeroDescripcion(), reloj_());
            } catch (...) {
                AvisarFallo(t);
            }
            co_return;
        }
        estado.reset();
        esperador_.EsperaIniciada(kPausaBloqueoMs);
        co_await Espera{t, esperador_.AhoraMs() + kPausaBloqueoMs};
    }
}

// Every step below reads the record afresh and passes it on by value: a turn never holds on to
// another's copy across a wait.
Tarea<> CicloSondeo::AtenderPasos(Turno& t, char letra) {
    // A handled leftover (an answer cleaned up, an answer of a left request kept aside) lets the
    // letter decide again, read anew; a few rounds are all there can be.
    for (int vuelta = 0; vuelta < 4; ++vuelta) {
        EstadoIntercambio e = Registro(t);
        switch (QueHacer(e.etapa, letra)) {
            case Accion::Nada: co_return;
            case Accion::Entregar: co_await EntregarSolicitud(t); co_return;
            case Accion::Completar: CompletarEntrega(t, e); co_return;
            case Accion::Reanudar: ReanudarEntrega(t, e); co_return;
            case Accion::Retornar: {
                const bool seguir = co_await RetornarRespuesta(t, e);
                if (!seguir) co_return;
                break;
            }
            case Accion::Limpiar: LimpiarRespuesta(t, e); break;
            case Accion::Olvidar:
                e.etapa = EstadoIntercambio::Etapa::Ninguna;
                Registrar(t, e);
                co_return;
            case Accion::Abandonada:
            case Accion::Tardia: {
                const bool libre = co_await DespedirRespuesta(t, e, letra);
                if (!libre) co_return;
                break;
            }
        }
        letra = LeerLetra(t, "1");
    }
}

char CicloSondeo::LeerLetra(Turno& t, PuntoControl punto) {
    t.punto = punto;
    const char letra = EstadoSolicitud(archivos::LeerInicio(En(t.rutaKorvane, kStatus), kInicioStatus, kAvisar));
    tablero_.Letra(t.rutaKorvane, letra, esperador_.AhoraMs());
    return letra;
}

void CicloSondeo::MarcarStatus(Turno& t, const char* letra, PuntoControl puntoAbrir, PuntoControl puntoEscribir) {
    t.punto = puntoAbrir;
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus), kAvisar);
    t.punto = puntoEscribir;
    status.EscribirAlInicio(letra);
    // On the disk before anything that depends on it: the upload after "P", the next request after "S".
    status.Sincronizar();
    tablero_.Letra(t.rutaKorvane, letra[0], esperador_.AhoraMs());
}

bool CicloSondeo::MarcarRespondida(Turno& t) {
    t.punto = "29";
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus), kAvisar);
    // Read through the same handle just before writing: the narrowest gap the till can write in.
    if (EstadoSolicitud(status.LeerInicio(kInicioStatus)) != 'P') return false;
    t.punto = "29.5";
    status.EscribirAlInicio("S");
    status.Sincronizar();
    return true;
}

std::vector<FilaTerminal> CicloSondeo::Filas(const ListaTerminales& terminales) const {
    std::vector<FilaTerminal> filas;
    if (!terminales) return filas;
    const archivos::FechaHora ahora = reloj_();
    filas.reserve(terminales->size());
    for (const clsItemTerXX& item : *terminales) {
        const std::string ruta = archivos::Unir(configuracion_.DirectorioKorvane, item.TerXX);
        const auto turno = turnos_.find(ruta);
        const auto registro = registro_.EnMemoria(ruta);
        filas.push_back(tablero_.Fila(ruta, item.TerXX, registro ? &*registro : nullptr,
                                      turno != turnos_.end() ? turno->second->punto.load() : nullptr, ahora));
    }
    return filas;
}
