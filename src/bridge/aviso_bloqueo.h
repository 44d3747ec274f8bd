#pragma once
// A short lock met inside a step that has a message of its own (the repeat comparison, keeping or
// restoring the answer, the format-error record): the turn tries again as after any short lock, and
// when one lock lasts, the user sees that step's message rather than the checkpoint's.

#include <string>
#include <utility>

#include "config/interfaz_usuario.h"
#include "platform/error_sistema.h"

class BloqueoConAviso : public plataforma::BloqueoPasajero {
public:
    BloqueoConAviso(const plataforma::BloqueoPasajero& bloqueo, std::string texto, std::string titulo, Icono icono)
        : BloqueoPasajero(bloqueo), texto_(std::move(texto)), titulo_(std::move(titulo)), icono_(icono) {}

    // The box; the caller logs it, with the file and the checkpoint.
    void Avisar(Avisos& ui) const { ui.MostrarSinAnotar(texto_, titulo_, icono_); }
    const std::string& Texto() const noexcept { return texto_; }
    const std::string& Titulo() const noexcept { return titulo_; }

private:
    std::string texto_, titulo_;
    Icono icono_;
};
