#include "bridge/ciclo_sondeo.h"

#include <algorithm>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "bridge/aviso_bloqueo.h"
#include "bridge/duplicados.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "platform/registro_actividad.h"

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
                         ControlCliente& cliente, RelojLocal reloj, std::string carpetaEstado)
    : configuracion_(configuracion),
      ui_(ui),
      esperador_(esperador),
      cliente_(cliente),
      reloj_(std::move(reloj)),
      registro_(carpetaEstado),
      carpetaNoEntregadas_(CarpetaNoEntregadas(carpetaEstado)) {}

bool CicloSondeo::TmrBuscando_Timer(ListaTerminales terminales) {
    if (enCurso_) return false;
    Bandera enCurso(enCurso_);
    ui_.EstablecerEstado("Buscando en " + configuracion_.DirectorioKorvane + "...");
    // A walk that the last tick could not finish goes on; a new one begins only after it.
    if (!recorrido_) {
        recorrido_ = std::move(terminales);
        siguiente_ = 0;
    }
    Recorrer(cronometro::now() + kPresupuesto);
    return true;
}

void CicloSondeo::Recorrer(std::chrono::steady_clock::time_point limite) {
    while (recorrido_ && siguiente_ < recorrido_->size()) {
        EmpezarTurno((*recorrido_)[siguiente_++]);
        if (cronometro::now() >= limite) return;
    }
    recorrido_.reset();
}

CicloSondeo::Espera CicloSondeo::Esperar(Turno& t, std::int32_t ms, const char* nombre) {
    // An attempt after a short lock passes the waits whose time the client already had.
    if (nombre && !t.esperasHechas.emplace(nombre).second) return Espera{t, 0, true};
    esperador_.EsperaIniciada(ms);
    return Espera{t, esperador_.AhoraMs() + ms};
}

void CicloSondeo::EmpezarTurno(const clsItemTerXX& item) {
    std::string rutaKorvane = archivos::Unir(configuracion_.DirectorioKorvane, item.TerXX);
    // A terminal whose turn is still in progress is left to it.
    if (turnos_.count(rutaKorvane) != 0) return;
    std::optional<char> estado;
    auto t = std::make_unique<Turno>();
    t->codigoTerminal = item.CodigoTerminal;
    t->rutaKorvane = std::move(rutaKorvane);
    try {
        const std::string status = En(t->rutaKorvane, kStatus);
        if (!archivos::Existe(status)) {
            tablero_.SinStatus(t->rutaKorvane);
            return;
        }
        // The first bytes decide: a STATUS.ZLN of any size costs a tick no more than a small one.
        estado = EstadoSolicitud(archivos::LeerInicio(status, kInicioStatus, kAvisar));
        tablero_.Letra(t->rutaKorvane, *estado, esperador_.AhoraMs());
        // An idle terminal costs its two file calls and nothing more.
        if (SinTrabajo(registro_.De(t->rutaKorvane, kAvisar).etapa, *estado)) return;
    } catch (const plataforma::BloqueoPasajero&) {
        // Held by another program for a moment, maybe: a turn reads it again shortly.
        estado.reset();
    } catch (...) {
        AvisarFallo(*t);
        return;
    }

    t->rutaZelno = archivos::Unir(configuracion_.DirectorioZELNO, kPrefijoTerminal + item.CodigoTerminal);
    t->directorioKorvane = configuracion_.DirectorioKorvane;
    t->directorioZelno = configuracion_.DirectorioZELNO;
    t->rutina = Atender(*t, estado);
    t->rutina.Iniciar();
    if (!t->rutina.Terminada()) turnos_.emplace(t->rutaKorvane, std::move(t));
}

void CicloSondeo::EjecutarPasosVencidos() {
    if (enCurso_) return;
    Bandera enCurso(enCurso_);
    const auto limite = cronometro::now() + kPresupuesto;
    Recorrer(limite);
    const std::int64_t ahora = esperador_.AhoraMs();
    for (auto it = turnos_.begin(); it != turnos_.end() && cronometro::now() < limite;) {
        Turno& t = *it->second;
        if (t.reanudar && t.vence <= ahora) std::exchange(t.reanudar, {}).resume();
        it = t.rutina.Terminada() ? turnos_.erase(it) : std::next(it);
    }
}

std::optional<std::int64_t> CicloSondeo::ProximoPaso() const {
    if (recorrido_) return esperador_.AhoraMs();
    std::optional<std::int64_t> proximo;
    for (const auto& [ruta, t] : turnos_)
        if (t->reanudar && (!proximo || t->vence < *proximo)) proximo = t->vence;
    return proximo;
}

// A turn's one handler: the failure is reported with the step it happened in, and ends that turn;
// the terminal is tried again at the next tick. The box goes to the activity log too, but the log
// also names the terminal, which the box does not.
void CicloSondeo::AvisarFallo(const Turno& t) {
    const std::string texto = plataforma::TextoFalloEnCurso();
    Anotar(t, std::string("fallo en punto control ") + t.punto + ": " + texto);
    ui_.MostrarMensaje(texto, std::string("Transacción punto control: ") + t.punto, Icono::Critico);
    tablero_.Fallo(t.rutaKorvane, t.punto, texto, reloj_());
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
                actividad::AnotarFalloIgnorado(NombreTerminal(t) + ": punto control " + t.punto + ", " + b.Ruta() +
                                               ", se reintenta");
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
                Anotar(t, std::string("fallo en punto control ") + t.punto + ": " + b.TextoNumeroDescripcion());
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

char CicloSondeo::LeerLetra(Turno& t, const char* punto) {
    t.punto = punto;
    const char letra = EstadoSolicitud(archivos::LeerInicio(En(t.rutaKorvane, kStatus), kInicioStatus, kAvisar));
    tablero_.Letra(t.rutaKorvane, letra, esperador_.AhoraMs());
    return letra;
}

void CicloSondeo::MarcarStatus(Turno& t, const char* letra, const char* puntoAbrir, const char* puntoEscribir) {
    if (puntoAbrir) t.punto = puntoAbrir;
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus), kAvisar);
    if (puntoEscribir) t.punto = puntoEscribir;
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
        filas.push_back(tablero_.Fila(ruta, item.TerXX, registro_.EnMemoria(ruta),
                                      turno != turnos_.end() ? turno->second->punto : nullptr, ahora));
    }
    return filas;
}
