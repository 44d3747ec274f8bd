#pragma once
// The polling cycle's looks: at each tick, each terminal's STATUS.ZLN is read; a terminal with work to
// do (a new request "C", an answer to bring back for "P", a leftover of an exchange) is found for a
// turn of its own, which the scheduler starts. A look at an idle terminal costs its two file calls
// and nothing more. A change reported by a watch has its terminal looked at at once.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "bridge/ejecutor.h"
#include "bridge/terminales.h"
#include "bridge/turno.h"
#include "platform/exclusion.h"

// A terminal that a look found with work to do.
struct Hallazgo {
    clsItemTerXX item;
    std::optional<char> letra;  // none when a short lock kept the letter from being read
    std::string directorioKorvane, directorioZelno;
};

class CicloSondeo {
public:
    CicloSondeo(ContextoTurno& contexto, Ejecutor& ejecutor) : cx_(contexto), ejecutor_(ejecutor) {}

    // The look at every terminal of `lista`, in the roots given, on the executor; remembered as what
    // the ticks walk, for the pool's ticks and for Cambio.
    void Recorrer(ListaTerminales lista, const std::string& directorioKorvane, const std::string& directorioZelno);
    // The same look, from the pool's clock (any thread), over what the last tick walked; true when a
    // root came back from an outage (see TomarRecarga).
    void TicDelPool();

    // A file changed under the Korvane or the Zelno root (from a watch's thread, or any other): a
    // STATUS.ZLN of a terminal, or the client's estado.rsp for one, has that terminal looked at at
    // the next MirarDespertados. Anything else is ignored.
    void Cambio(const std::string& ruta);
    // The terminals that Cambio matches changes against, until the next tick gives its own: for a
    // watch that starts before the first tick.
    void Conocer(ListaTerminales terminales, const std::string& directorioKorvane, const std::string& directorioZelno);
    // The look at the terminals that changes asked for, handed to the executor.
    void MirarDespertados();

    // The terminals found with work since the last call, in order; those not begun are given back
    // (Devolver) to begin first next time. A terminal found stays out of the looks until its turn
    // is over (TurnoTerminado).
    std::vector<Hallazgo> TomarHallazgos();
    void Devolver(std::vector<Hallazgo> resto);
    void TurnoTerminado(const std::string& rutaKorvane);
    // Found terminals or changes waiting.
    bool Pendientes() const;
    // Lets go of both: the terminals found go back to the looks, the changes are forgotten.
    void Descartar();

    // True once after the Korvane or the Zelno root came back from an outage: the terminal list
    // should be loaded again (it may have been loaded while the root was away).
    bool TomarRecarga() noexcept { return recargar_.exchange(false); }

private:
    // What the looks keep of the list of terminals the ticks walk, from tick to tick: each terminal's
    // folder and STATUS.ZLN, joined once, and what its last idle look found (a key of ClaveReposo;
    // 0: nothing kept).
    struct CacheMiradas {
        ListaTerminales lista;
        std::string directorioKorvane;
        std::vector<std::string> rutas, claves, status;
        std::unique_ptr<std::atomic<std::uint64_t>[]> reposo;
    };
    void Mirar(const ListaTerminales& lista, const std::string& directorioKorvane, const std::string& directorioZelno);
    // The cache of the list the ticks walk, made when it is first walked; none for any other list.
    std::shared_ptr<const CacheMiradas> CacheDe(const ListaTerminales& lista, const std::string& directorioKorvane);
    // One terminal, in its folder `rutaKorvane`. `reposo`: where the look keeps what it found idle,
    // none when it keeps nothing.
    std::optional<Hallazgo> MirarTerminal(const clsItemTerXX& item, const std::string& rutaKorvane,
                                          const std::string& status, std::atomic<std::uint64_t>* reposo,
                                          const std::string& directorioKorvane, const std::string& directorioZelno);
    // The changes to the board and the records so far.
    std::uint64_t Cambios() const { return cx_.tablero.Cambios() + cx_.fichas.Cambios(); }

    ContextoTurno& cx_;
    Ejecutor& ejecutor_;
    std::atomic<bool> recargar_{false};
    std::atomic<bool> revisando_{false};  // a look at the folders out of reach is under way

    // Between the looks on the executor, the watches and the window's thread: the terminals being
    // looked at, those with a turn (or one asked for), by ClaveRuta of their folder; the turns asked for, what the last
    // tick walked and the terminals a change asked to look at.
    mutable plataforma::Exclusion m_;
    std::unordered_set<std::string> mirando_, conTurno_;
    std::vector<Hallazgo> hallados_;
    ListaTerminales vistos_;
    std::shared_ptr<const CacheMiradas> cache_;  // of vistos_
    std::string vistosKorvane_, vistosZelno_;
    std::vector<clsItemTerXX> despertados_;
};
