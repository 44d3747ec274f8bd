#pragma once
// The one way the portable logic reaches the user: the bridge's status text and failure messages,
// and the recent-entry lists' failure messages. The main window and the settings dialog implement
// it; tests implement it with a recorder so that every message can be asserted. It sits with the
// settings, the lowest layer that shows anything, so that nothing below the windows includes them.

#include <string>

#include "platform/actividad.h"

enum class Icono { Critico, Informacion };

// Message boxes, each logged: all that a terminal's step may use of the user interface from a pool
// thread.
class Avisos {
public:
    virtual ~Avisos() = default;
    // A message box with an OK button. Every message is written to the activity log first, whoever
    // shows it.
    void MostrarMensaje(const std::string& texto, const std::string& titulo, Icono icono) {
        AnotarMensaje(texto, titulo);
        Mostrar(texto, titulo, icono);
    }
    // The same box, for a caller that has logged it its own way.
    void MostrarSinAnotar(const std::string& texto, const std::string& titulo, Icono icono) {
        Mostrar(texto, titulo, icono);
    }

protected:
    virtual void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) = 0;
    virtual void AnotarMensaje(const std::string& texto, const std::string& titulo) {
        actividad::Anotar("Mensaje \"" + titulo + "\": " + texto);
    }
};

// The whole interface, for the window's thread: the boxes, the status line and the message pump.
class InterfazUsuario : public Avisos {
public:
    // The status line of the main window.
    virtual void EstablecerEstado(const std::string& texto) = 0;
    // Lets pending window messages through once.
    virtual void ProcesarMensajes() = 0;
};
