#pragma once
// What the shop sees at a glance: whether Tramiza serves the terminals now and, when it does not,
// why; how long each sale in progress has waited; how many answers were kept aside since someone last
// looked at them; and the text support asks for. The main window's icon and status line and the
// "Terminales" window read the same answers from here, so that they never disagree.

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "bridge/tablero_terminales.h"

struct DatosServicio {
    bool buscando = false;           // "Buscar transacción" is checked
    std::int32_t intervalo = 0;      // Intervalo, in seconds
    bool otroTramiza = false;        // the Korvane root's lock is held by another Tramiza
    bool korvaneFuera = false;       // the Korvane root cannot be reached
    bool zelnoFuera = false;         // the Zelno root cannot be reached
    bool clienteSinIniciar = false;  // the client is to be started, does not run, and could not be started
    std::string directorioKorvane, directorioZelno;
};

struct EstadoServicio {
    enum class Modo { Detenido, Atiende, NoAtiende };
    Modo modo = Modo::Detenido;
    std::string motivo;  // with NoAtiende: why no sale can pass

    friend bool operator==(const EstadoServicio&, const EstadoServicio&) = default;
};

// The first reason, in this order, why no sale can pass: the interval, the root served by another
// Tramiza, a root out of reach, the client. Detenido while the toggle is off, whatever else holds.
EstadoServicio EvaluarServicio(const DatosServicio& datos);

// The main window's status line while no sale can pass; empty otherwise (the toggle's and the cycle's
// own texts then stand).
std::string LineaNoAtiende(const EstadoServicio& estado);

// The header line of the "Terminales" window: the state, the number of terminals served, and the
// answers kept aside still unseen.
std::string CabeceraTerminales(const EstadoServicio& estado, std::size_t terminales, std::size_t apartadas);

// How long each sale has waited, from the first time its terminal's letter was seen "C" or "P" to
// now, on a millisecond clock. Fed at least once a second with the rows of the board; it fills their
// `espera`. A sale already waiting when the program started counts from the first look.
class SeguimientoEsperas {
public:
    void Aplicar(std::vector<FilaTerminal>& filas, std::int64_t ahoraMs);

private:
    std::map<std::string, std::int64_t> desde_;  // by terminal
};

// The answers kept aside (one folder each under NoEntregadas) that nobody has looked at yet. Opening
// the folder from the "Terminales" window marks those there as seen; the names seen are kept in a
// file beside the folder, so that the count outlives the program.
class RespuestasApartadas {
public:
    explicit RespuestasApartadas(std::string carpeta);

    // Folders of the kept answers not seen yet, by name; looks at the folder now. A folder that cannot
    // be listed gives none.
    std::vector<std::string> NoVistas();
    // Every kept answer, seen or not, by name.
    std::vector<std::string> Todas() const;
    // All those there now count as seen.
    void MarcarVistas();

    const std::string& Carpeta() const noexcept { return carpeta_; }

private:
    void LeerVistas();
    std::string carpeta_, archivoVistas_;
    std::set<std::string> vistas_;
    bool leidas_ = false;
};

// The text "Copiar diagnóstico" puts on the clipboard: plain text, CR LF line ends.
struct Diagnostico {
    std::string version;
    std::vector<std::string> ajustes;  // one line each
    std::string estado;                // the header line
    std::vector<FilaTerminal> filas;
    std::vector<std::string> actividad;  // the last lines of the activity log
    std::vector<std::string> apartadas;
};
std::string TextoDiagnostico(const Diagnostico& d);

// The last `cuantas` lines of `texto`, without their line ends.
std::vector<std::string> UltimasLineas(const std::string& texto, std::size_t cuantas);

// The last `cuantas` lines of the activity log in `carpeta` (its AAAA-MM-DD.log files): the newest
// day's, and the days before while there are fewer. A log that cannot be read gives a line saying so.
std::vector<std::string> UltimasLineasActividad(const std::string& carpeta, std::size_t cuantas);
