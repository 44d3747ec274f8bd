#include "app/interfaz_ventana.h"

#include "app/ayudas_ventana.h"

void InterfazVentana::EstablecerEstado(const std::string& texto) {
    if (etiqueta_ != nullptr) SetWindowTextA(etiqueta_, texto.c_str());
}

void InterfazVentana::ProcesarMensajes() { ventana::BombearMensajes(dialogo_); }

void InterfazVentana::MostrarMensaje(const std::string& texto, const std::string& titulo, Icono icono) {
    const UINT tipo = MB_OK | (icono == Icono::Critico ? MB_ICONERROR : MB_ICONINFORMATION);
    MessageBoxA(ventana_, texto.c_str(), titulo.c_str(), tipo);
}
