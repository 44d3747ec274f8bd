#include "bridge/ciclo_sondeo.h"

#include <algorithm>
#include <utility>

#include "bridge/archivos_intercambio.h"
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
      registro_(std::move(carpetaEstado)) {}

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

CicloSondeo::Espera CicloSondeo::Esperar(Turno& t, std::int32_t ms) {
    // An attempt after a short lock passes the points whose time the client already had.
    if (t.esperas++ < t.esperasCumplidas) return Espera{t, 0, true};
    esperador_.EsperaIniciada(ms);
    return Espera{t, esperador_.AhoraMs() + ms};
}

void CicloSondeo::EmpezarTurno(const clsItemTerXX& item) {
    // Another program's hold on a file never holds up the window or the other terminals.
    archivos::SinEsperarBloqueos sinEsperar;
    std::string rutaKorvane = archivos::Unir(configuracion_.DirectorioKorvane, item.TerXX);
    // A terminal whose turn is still in progress is left to it.
    if (turnos_.count(rutaKorvane) != 0) return;
    std::optional<char> estado;
    try {
        const std::string status = En(rutaKorvane, kStatus);
        if (!archivos::Existe(status)) return;
        // The first bytes decide: a STATUS.ZLN of any size costs a tick no more than a small one.
        estado = EstadoSolicitud(archivos::LeerInicio(status, kInicioStatus));
        // An idle terminal costs its two file calls and nothing more.
        const bool pendiente = registro_.De(rutaKorvane).etapa != EstadoIntercambio::Etapa::Ninguna;
        if (*estado != 'C' && *estado != 'P' && !pendiente) return;
    } catch (const plataforma::BloqueoPasajero&) {
        // Held by another program for a moment, maybe: a turn reads it again shortly.
        estado.reset();
    } catch (...) {
        AvisarFallo("1");
        return;
    }

    auto t = std::make_unique<Turno>();
    t->codigoTerminal = item.CodigoTerminal;
    t->rutaKorvane = std::move(rutaKorvane);
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
    archivos::SinEsperarBloqueos sinEsperar;
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
// the terminal is tried again at the next tick.
void CicloSondeo::AvisarFallo(const char* punto) {
    ui_.MostrarMensaje(plataforma::TextoFalloEnCurso(), std::string("Transacción punto control: ") + punto,
                       Icono::Critico);
}

void CicloSondeo::Anotar(const Turno& t, const std::string& que) const {
    actividad::Anotar(t.rutaKorvane.substr(t.rutaKorvane.find_last_of("\\/") + 1) + ": " + que);
}

// A short lock ends the attempt without a word; the turn starts again from its files a moment later,
// as a later tick would (every step can be repeated), without the fixed waits the client already
// had. A lock that lasts kEsperaBloqueoMs gives the failure's message at the checkpoint where it last
// stopped the turn.
Tarea<> CicloSondeo::Atender(Turno& t, std::optional<char> estado) {
    std::optional<std::int64_t> bloqueadoDesde;
    for (;;) {
        try {
            if (!estado) {
                t.punto = "1";
                estado = EstadoSolicitud(archivos::LeerInicio(En(t.rutaKorvane, kStatus), kInicioStatus));
            }
            co_await AtenderPasos(t, *estado);
            co_return;
        } catch (const plataforma::BloqueoPasajero&) {
            if (!bloqueadoDesde) {
                bloqueadoDesde = esperador_.AhoraMs();
                actividad::AnotarFalloIgnorado(std::string("punto control ") + t.punto + ", se reintenta");
            }
            if (esperador_.AhoraMs() - *bloqueadoDesde >= kEsperaBloqueoMs) {
                AvisarFallo(t.punto);
                co_return;
            }
        } catch (...) {
            AvisarFallo(t.punto);
            co_return;
        }
        estado.reset();
        t.esperasCumplidas = std::max(t.esperasCumplidas, t.esperas);
        t.esperas = 0;
        esperador_.EsperaIniciada(kPausaBloqueoMs);
        co_await Espera{t, esperador_.AhoraMs() + kPausaBloqueoMs};
    }
}

Tarea<> CicloSondeo::AtenderPasos(Turno& t, char estado) {
    const EstadoIntercambio& e = registro_.De(t.rutaKorvane);

    // What a tick or a stop left half done is finished first; the request state read at the start of
    // the turn still decides, so a request handed off now is answered in a later tick.
    if (e.etapa == EstadoIntercambio::Etapa::Respondida && estado != 'P') LimpiarRespuesta(t);
    if (e.etapa == EstadoIntercambio::Etapa::Decidida && estado == 'S') {
        // A duplicate answered just before a stop: nothing is left to do.
        EstadoIntercambio hecho = e;
        hecho.etapa = EstadoIntercambio::Etapa::Ninguna;
        Registrar(t, hecho);
    }

    if (estado == 'C') {
        co_await EntregarSolicitud(t);
    } else if (estado == 'P' && e.etapa == EstadoIntercambio::Etapa::Decidida) {
        CompletarEntrega(t);
    } else if (estado == 'P') {
        co_await RetornarRespuesta(t);
        co_return;
    }
    if (t.duplicada) ResponderDuplicado(t);
}

void CicloSondeo::MarcarStatus(Turno& t, const char* letra, const char* puntoAbrir, const char* puntoEscribir) {
    if (puntoAbrir) t.punto = puntoAbrir;
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus));
    if (puntoEscribir) t.punto = puntoEscribir;
    status.EscribirAlInicio(letra);
    // On the disk before anything that depends on it: the upload after "P", the next request after "S".
    status.Sincronizar();
}

void CicloSondeo::ResponderDuplicado(Turno& t) {
    // "S" only with the kept answer in place; otherwise the request stays "P" and is tried again.
    if (!RecuperarRespuestasAnteriores(t.rutaZelno, t.rutaKorvane, ui_)) return;
    MarcarStatus(t, "S", nullptr, nullptr);
    EstadoIntercambio hecho = registro_.De(t.rutaKorvane);
    hecho.etapa = EstadoIntercambio::Etapa::Ninguna;
    Registrar(t, hecho);
    Anotar(t, "duplicado respondido con la respuesta anterior");
}
