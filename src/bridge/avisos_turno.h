#pragma once
// How a turn reaches the user from a pool thread: its boxes are logged under its terminal's name,
// and a box that comes back at every tick is counted as a fault that lasts instead of logged each
// time. Boxes and log lines are all a step may use; the status line and the message pump are the
// window's thread's.

#include <string>
#include <utility>

#include "bridge/fallos_duraderos.h"
#include "bridge/puntos_control.h"
#include "config/interfaz_usuario.h"

class AvisosTurno final : public Avisos {
public:
    AvisosTurno(Avisos& base, FallosDuraderos& fallos, std::string terminal, const PuntoEnCurso& punto)
        : base_(base), fallos_(fallos), terminal_(std::move(terminal)), punto_(punto) {}
    const std::string& Terminal() const noexcept { return terminal_; }

protected:
    void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) override {
        base_.MostrarSinAnotar(texto, titulo, icono);
    }
    // A box shown while a failure is handled names the checkpoint, the file and the failure.
    void AnotarMensaje(const std::string& texto, const std::string& titulo) override;

private:
    Avisos& base_;
    FallosDuraderos& fallos_;
    std::string terminal_;
    const PuntoEnCurso& punto_;
};
