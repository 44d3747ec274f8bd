#include "bridge/turno.h"

#include <exception>
#include <utility>

#include "bridge/archivos_intercambio.h"
#include "bridge/aviso_bloqueo.h"
#include "bridge/pasos_turno.h"
#include "config/textos_mensajes.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

using namespace intercambio;

namespace {

// A file held by another program: the turn tries again every kPausaBloqueoMs; one hold that lasts
// kEsperaBloqueoMs gives the failure's message.
constexpr std::int32_t kEsperaBloqueoMs = 1000;
constexpr std::int32_t kPausaBloqueoMs = 50;

}  // namespace

ContextoTurno::ContextoTurno(Avisos& avisos_, Esperador& esperador_, ControlCliente& cliente_, RelojLocal reloj_,
                             const std::string& carpetaFichas)
    : avisos(avisos_),
      esperador(esperador_),
      cliente(cliente_),
      reloj(std::move(reloj_)),
      fichas(carpetaFichas),
      carpetaNoEntregadas(CarpetaNoEntregadas(carpetaFichas)),
      fallos([this] { return esperador.AhoraMs(); }),
      cortes(avisos, [this] { return esperador.AhoraMs(); }) {}

Turno::Turno(ContextoTurno& contexto, const clsItemTerXX& item, const std::string& directorioKorvane_,
             const std::string& directorioZelno_, MemoriaTurno& memoria)
    : cx(contexto),
      avisos(contexto.avisos, contexto.fallos, item.TerXX, punto),
      m(memoria),
      codigoTerminal(item.CodigoTerminal),
      rutaKorvane(archivos::Unir(directorioKorvane_, item.TerXX)),
      rutaZelno(archivos::Unir(directorioZelno_, kPrefijoTerminal + item.CodigoTerminal)),
      directorioKorvane(directorioKorvane_),
      directorioZelno(directorioZelno_) {}

Turno::Espera Turno::Esperar(std::int32_t ms, const char* nombre) {
    // An attempt after a short lock passes the waits whose time the client already had.
    if (nombre && !esperasHechas.emplace(nombre).second) return Espera{*this, 0, true};
    cx.esperador.EsperaIniciada(ms);
    return Espera{*this, cx.esperador.AhoraMs() + ms};
}

FichaIntercambio Turno::Ficha() const { return cx.fichas.De(rutaKorvane, kAvisar); }

void Turno::Grabar(const FichaIntercambio& f) const { cx.fichas.Grabar(rutaKorvane, f, kAvisar); }

std::string Turno::Nombre() const { return rutaKorvane.substr(rutaKorvane.find_last_of("\\/") + 1); }

void Turno::Anotar(const std::string& que) const { actividad::Anotar(Nombre() + ": " + que); }

void AvisosTurno::AnotarMensaje(const std::string& texto, const std::string& titulo) {
    std::string linea = "mensaje \"" + titulo + "\": " + texto;
    if (std::current_exception()) {
        const std::string ruta = plataforma::RutaFalloEnCurso();
        linea += std::string(" (punto control ") + punto_.load() + ": " + (ruta.empty() ? "" : ruta + ": ") +
                 plataforma::TextoFalloEnCurso() + ")";
    }
    fallos_.Ocurre(terminal_, linea, linea);
}

// A turn's one handler: the failure is reported with the step it happened in, and ends that turn;
// the terminal is tried again at the next tick. The log names the terminal and the file, which the
// box does not; a failure that comes back at every tick is logged as one fault that lasts.
void AvisarFallo(Turno& t) {
    const std::string texto = plataforma::TextoFalloEnCurso();
    const std::string ruta = plataforma::RutaFalloEnCurso();
    t.cx.tablero.Fallo(t.rutaKorvane, t.punto, texto, t.cx.reloj());
    if (VerCarpetas(t)) return;
    const std::string linea =
        std::string("fallo en punto control ") + t.punto.load() + ": " + (ruta.empty() ? "" : ruta + ": ") + texto;
    t.cx.fallos.Ocurre(t.Nombre(), linea, linea);
    t.cx.avisos.MostrarSinAnotar(texto, mensajes::kTituloPuntoControl + std::string(t.punto.load()), Icono::Critico);
}

bool VerCarpetas(const Turno& t) {
    const std::string subida = En(t.rutaZelno, kSubida), descarga = En(t.rutaZelno, kDescarga);
    const std::pair<const std::string*, bool> carpetas[] = {
        {&t.directorioKorvane, false}, {&t.rutaKorvane, true}, {&t.directorioZelno, false},
        {&t.rutaZelno, true},          {&subida, true},        {&descarga, true}};
    for (const auto& [carpeta, deTerminal] : carpetas) {
        if (t.cx.cortes.Cortada(*carpeta)) return true;
        if (auto motivo = MotivoInalcanzable(*carpeta)) {
            t.cx.cortes.Empieza(*carpeta, *motivo, deTerminal ? t.Nombre() : std::string());
            return true;
        }
    }
    return false;
}

namespace {

// What the table of stages says for the terminal's stage and letter, until it says nothing more is
// to be done in this turn.
Tarea<> AtenderPasos(Turno& t, char letra) {
    // A handled leftover (an answer cleaned up, an answer of a left request kept aside) lets the
    // letter decide again, read anew; a few rounds are all there can be.
    for (int vuelta = 0; vuelta < 4; ++vuelta) {
        FichaIntercambio f = t.Ficha();
        switch (QueHacer(f.etapa, letra)) {
            case Accion::Nada: co_return;
            case Accion::Entregar: co_await EntregarSolicitud(t); co_return;
            case Accion::Completar: CompletarEntrega(t, f); co_return;
            case Accion::Reanudar: ReanudarEntrega(t, f); co_return;
            case Accion::Retornar: {
                const bool seguir = co_await RetornarRespuesta(t, f);
                if (!seguir) co_return;
                break;
            }
            case Accion::Limpiar: LimpiarRespuesta(t, f); break;
            case Accion::Olvidar:
                transicion::Olvidar(f);
                t.Grabar(f);
                co_return;
            case Accion::Abandonada:
            case Accion::Tardia: {
                const bool libre = co_await DespedirRespuesta(t, f, letra);
                if (!libre) co_return;
                break;
            }
        }
        letra = LeerLetra(t, "1");
    }
}

// A short lock ends the attempt without a word; the turn starts again from its files a moment later,
// as a later tick would (every step can be repeated), without the waits the client already had. One
// lock is the same file refused again at every attempt, with no more than a pause between: when it
// has lasted kEsperaBloqueoMs, the failure's message is shown (the step's own, when it has one).
Tarea<> Intentar(Turno& t, std::optional<char> letra) {
    struct Bloqueo {
        std::string ruta;
        std::int64_t desde = 0, ultimo = 0;
    };
    std::optional<Bloqueo> bloqueo;
    for (;;) {
        std::exception_ptr aviso;
        try {
            const char leida = letra ? *letra : LeerLetra(t, "1");
            co_await AtenderPasos(t, leida);
            t.cx.tablero.TurnoCumplido(t.rutaKorvane, t.cx.reloj);
            co_return;
        } catch (const plataforma::BloqueoPasajero& b) {
            const std::int64_t ahora = t.cx.esperador.AhoraMs();
            if (!bloqueo || bloqueo->ruta != b.Ruta() || ahora - bloqueo->ultimo > 3 * kPausaBloqueoMs) {
                bloqueo = Bloqueo{b.Ruta(), ahora, ahora};
                const std::string linea = std::string("archivo retenido en punto control ") + t.punto.load() + ": " +
                                          b.Ruta() + ": " + b.TextoNumeroDescripcion() + ", se reintenta";
                t.cx.fallos.Ocurre(t.Nombre(), linea, linea);
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
                t.cx.fallos.Ocurre(t.Nombre(), linea, linea);
                b.Avisar(t.cx.avisos);
                t.cx.tablero.Fallo(t.rutaKorvane, t.punto, b.TextoNumeroDescripcion(), t.cx.reloj());
            } catch (...) {
                AvisarFallo(t);
            }
            co_return;
        }
        letra.reset();
        t.cx.esperador.EsperaIniciada(kPausaBloqueoMs);
        co_await Turno::Espera{t, t.cx.esperador.AhoraMs() + kPausaBloqueoMs};
    }
}

}  // namespace

Tarea<> Atender(Turno& t, std::optional<char> letra) {
    co_await Intentar(t, letra);
    t.cx.fallos.FinDeTurno(t.Nombre());
}

char LeerLetra(Turno& t, PuntoControl punto) {
    t.punto = punto;
    const char letra = LetraSolicitud(archivos::LeerInicio(En(t.rutaKorvane, kStatus), kInicioStatus, kAvisar));
    t.cx.tablero.Letra(t.rutaKorvane, letra, t.cx.esperador.AhoraMs());
    return letra;
}

void MarcarStatus(Turno& t, const char* letra, PuntoControl puntoAbrir, PuntoControl puntoEscribir) {
    t.punto = puntoAbrir;
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus), kAvisar);
    t.punto = puntoEscribir;
    status.EscribirAlInicio(letra);
    // On the disk before anything that depends on it: the upload after "P", the next request after "S".
    status.Sincronizar();
    t.cx.tablero.Letra(t.rutaKorvane, letra[0], t.cx.esperador.AhoraMs());
}

bool MarcarRespondida(Turno& t) {
    t.punto = "29";
    // The till's next request files before its "C": it has moved on.
    if (archivos::Existe(En(t.rutaKorvane, kClicab))) return false;
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus), kAvisar);
    // Read through the same handle just before writing: the narrowest gap the till can write in.
    if (LetraSolicitud(status.LeerInicio(kInicioStatus)) != 'P') return false;
    t.punto = "29.5";
    status.EscribirAlInicio("S");
    status.Sincronizar();
    return true;
}
