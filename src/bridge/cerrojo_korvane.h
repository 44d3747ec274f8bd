#pragma once
// One Tramiza per Korvane root: the one that serves it holds a lock file in the root, which names
// who holds it. Another Tramiza (on another machine, say) pointed at the same root does not serve
// it while the lock is held there, says so once, and tries again at its later ticks.

#include <string>

#include "config/interfaz_usuario.h"
#include "config/textos_mensajes.h"
#include "platform/cerrojo.h"
#include "platform/reloj.h"

// The lock file in the Korvane root. Terminal discovery lists "TER*.*" only: a name that does not
// begin with TER is never taken for a terminal.
inline constexpr char kArchivoCerrojo[] = "Tramiza.lck";

using mensajes::kTituloRaizAtendida;

// "equipo CAJA1, usuario ana, sesión 1, proceso 2040, desde 2026-12-07 09:30:05", the fields known;
// empty when none is.
std::string DescribirTitular(const cerrojo::Titular& titular);

// This process as a lock's holder from now, by `reloj`.
cerrojo::Titular TitularAhora(const RelojLocal& reloj);

class CerrojoKorvane {
public:
    // `reloj` stamps the lock with the moment it was taken.
    CerrojoKorvane(InterfazUsuario& ui, RelojLocal reloj);

    // Called at each tick with the Korvane root in force; true when this program serves it now.
    // Holds the root's lock, or takes it (a root that changed: the old one's lock is let go first).
    // Held by another: false, with one message box naming the root and its holder the first time for
    // this root, and the status line saying so. A lock file that cannot be made at all (root missing,
    // read-only) does not stop the serving: one line in the activity log, and true.
    bool PuedeAtender(const std::string& raiz);

    // True while the root's lock was last found held by another Tramiza.
    bool Rechazado() const noexcept { return rechazado_; }

private:
    InterfazUsuario& ui_;
    RelojLocal reloj_;
    cerrojo::Cerrojo cerrojo_;
    std::string raiz_;
    bool rechazado_ = false;     // this root's lock was found held by another
    bool avisado_ = false;       // and that was said
    bool falloAnotado_ = false;  // the lock could not be made, and that was logged
};
