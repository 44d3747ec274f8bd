#pragma once
// How the bridge and the process control reach the user from the Windows program.

#include <windows.h>

#include <string>

#include "config/interfaz_usuario.h"

// `ventana` owns the message boxes and `etiqueta` shows the status text; either may be null: at
// start-up, before the main window exists, the boxes have no owner and the status goes nowhere. A
// dialog has no status line, and its keyboard navigation keeps working while messages go through.
//
// The main window's boxes do not block (SinBloqueo): the polling cycle reports failures while
// nobody may be there to click OK, and must go on serving the other terminals meanwhile.
class InterfazVentana final : public InterfazUsuario {
public:
    InterfazVentana(HWND ventana = nullptr, HWND etiqueta = nullptr) noexcept
        : ventana_(ventana), etiqueta_(etiqueta) {}

    void Asignar(HWND ventana, HWND etiqueta) noexcept {
        ventana_ = ventana;
        etiqueta_ = etiqueta;
        dialogo_ = nullptr;
        estado_.clear();
        mostrado_.clear();
    }

    void AsignarDialogo(HWND dialogo) noexcept {
        ventana_ = dialogo;
        etiqueta_ = nullptr;
        dialogo_ = dialogo;
    }

    // From now on each box is shown in a thread of its own, and MostrarMensaje returns at once. A box
    // whose title and text equal those of one still open is not opened again.
    void SinBloqueo() noexcept { sinBloqueo_ = true; }

    // Sets the text only when it changes: an idle tick then costs the window nothing.
    void EstablecerEstado(const std::string& texto) override;
    // While `aviso` is not empty, the status line shows it instead of what EstablecerEstado says:
    // "not serving" must not be overwritten by a tick's "Buscando en ...". Empty: the last status
    // text is shown again.
    void EstablecerAviso(const std::string& aviso);
    void ProcesarMensajes() override;
    void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) override;

private:
    HWND ventana_;
    HWND etiqueta_;
    HWND dialogo_ = nullptr;
    bool sinBloqueo_ = false;
    std::string estado_;
    std::string aviso_;
    std::string mostrado_;
};
