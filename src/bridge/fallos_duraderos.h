#pragma once
// Faults that last, logged so that support can read them: a failure that comes back at every tick,
// and a folder that cannot be reached. Each gives one line when it starts, one every
// kRecordatorioMs while it lasts (with how often it came back) and one when it ends, with its
// length; an outage of a folder also gives one message, however long it lasts. Time is the cycle's
// waiter clock, so that tests run hours of it without real seconds passing.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "config/interfaz_usuario.h"
#include "platform/error_sistema.h"
#include "platform/exclusion.h"

// "45 s", "3 min 5 s", "2 h 10 min": the length of a fault in a log line.
std::string TextoDuracion(std::int64_t ms);

inline constexpr std::int64_t kRecordatorioMs = 10 * 60 * 1000;

class FallosDuraderos {
public:
    explicit FallosDuraderos(std::function<std::int64_t()> relojMs);

    // A failure in the turn of `terminal` (its folder name), known by `clave` and described by
    // `texto`. The first is logged at once; a repeat is counted, and logged only once
    // kRecordatorioMs have passed since the last line about it. True for the first.
    bool Ocurre(const std::string& terminal, const std::string& clave, const std::string& texto);

    // The terminal's turn has ended (or it had none to run): a failure that did not come back since
    // the last call is over, with a line when it had come back at least once.
    void FinDeTurno(const std::string& terminal);

    bool Vacio() const {
        const std::lock_guard lock(m_);
        return fallos_.empty();
    }

private:
    mutable plataforma::Exclusion m_;  // the terminals' steps may run side by side
    struct Fallo {
        std::string texto;
        std::int64_t desde = 0, ultimaLinea = 0;
        long veces = 1, sinAnotar = 0;
        bool visto = true;
    };
    std::function<std::int64_t()> reloj_;
    std::map<std::string, std::map<std::string, Fallo>> fallos_;  // by terminal, then by clave
};

// The reason why `carpeta` cannot be used as a folder now; none when it can.
std::optional<plataforma::ErrorSistema> MotivoInalcanzable(const std::string& carpeta);

class CortesCarpetas {
public:
    CortesCarpetas(Avisos& ui, std::function<std::int64_t()> relojMs);

    // `carpeta` cannot be reached, for `motivo`. The first time: a line in the activity log (begun
    // by `terminal` when the folder is one terminal's) and, `conMensaje`, a message naming it; later
    // calls for a folder already out do nothing.
    void Empieza(const std::string& carpeta, const plataforma::ErrorSistema& motivo, const std::string& terminal = {},
                 bool conMensaje = true);

    // True while `ruta` is, or lies inside, a folder out of reach.
    bool Cortada(const std::string& ruta) const;

    // Looks again at each folder out of reach: those that can be used again are logged with the
    // outage's length and forgotten. Returns them.
    std::vector<std::string> Revisar();

    bool Vacio() const {
        const std::lock_guard lock(m_);
        return cortes_.empty();
    }

private:
    // Held only over the list, never over a look at a folder (which may hang).
    mutable plataforma::Exclusion m_;
    struct Corte {
        std::string terminal;
        std::int64_t desde = 0;
    };
    Avisos& ui_;
    std::function<std::int64_t()> reloj_;
    std::map<std::string, Corte> cortes_;  // by folder
};
