#pragma once
// How the bridge and the process control reach the user from the Windows program.

#include <windows.h>

#include "config/interfaz_usuario.h"

// `ventana` owns the message boxes and `etiqueta` shows the status text; either may be null: at
// start-up, before the main window exists, the boxes have no owner and the status goes nowhere. A
// dialog has no status line, and its keyboard navigation keeps working while messages go through.
class InterfazVentana final : public InterfazUsuario {
public:
    InterfazVentana(HWND ventana = nullptr, HWND etiqueta = nullptr) noexcept
        : ventana_(ventana), etiqueta_(etiqueta) {}

    void Asignar(HWND ventana, HWND etiqueta) noexcept {
        ventana_ = ventana;
        etiqueta_ = etiqueta;
        dialogo_ = nullptr;
    }

    void AsignarDialogo(HWND dialogo) noexcept {
        ventana_ = dialogo;
        etiqueta_ = nullptr;
        dialogo_ = dialogo;
    }

    void EstablecerEstado(const std::string& texto) override;
    void ProcesarMensajes() override;
    void MostrarMensaje(const std::string& texto, const std::string& titulo, Icono icono) override;

private:
    HWND ventana_;
    HWND etiqueta_;
    HWND dialogo_ = nullptr;
};
