#include "app/interfaz_ventana.h"

void BombearMensajes() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Not ours to swallow: the main loop must still see it.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void InterfazVentana::EstablecerEstado(const std::string& texto) {
    if (etiqueta_ != nullptr) SetWindowTextA(etiqueta_, texto.c_str());
}

void InterfazVentana::ProcesarMensajes() { BombearMensajes(); }

void InterfazVentana::MostrarMensaje(const std::string& texto, const std::string& titulo, Icono icono) {
    const UINT tipo = MB_OK | (icono == Icono::Critico ? MB_ICONERROR : MB_ICONINFORMATION);
    MessageBoxA(ventana_, texto.c_str(), titulo.c_str(), tipo);
}
