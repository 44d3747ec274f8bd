#include "app/interfaz_ventana.h"

#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "app/ayudas_ventana.h"
#include "platform/actividad.h"

namespace {

// The boxes open now, by title and text.
std::mutex mutexAbiertas;
std::set<std::pair<std::string, std::string>> abiertas;

}  // namespace

void InterfazVentana::EstablecerEstado(const std::string& texto) {
    estado_ = texto;
    const std::string& mostrar = aviso_.empty() ? estado_ : aviso_;
    if (etiqueta_ == nullptr || mostrar == mostrado_) return;
    mostrado_ = mostrar;
    SetWindowTextA(etiqueta_, mostrado_.c_str());
}

void InterfazVentana::EstablecerAviso(const std::string& aviso) {
    aviso_ = aviso;
    EstablecerEstado(estado_);
}

void InterfazVentana::ProcesarMensajes() { ventana::BombearMensajes(dialogo_); }

void InterfazVentana::Mostrar(const std::string& texto, const std::string& titulo, Icono icono) {
    const UINT tipo = MB_OK | (icono == Icono::Critico ? MB_ICONERROR : MB_ICONINFORMATION);
    if (!sinBloqueo_) {
        MessageBoxA(ventana_, texto.c_str(), titulo.c_str(), tipo);
        return;
    }
    auto clave = std::make_pair(titulo, texto);
    {
        std::lock_guard<std::mutex> cerrojo(mutexAbiertas);
        if (!abiertas.insert(clave).second) return;
    }
    try {
        // No owner: an owned box would disable the main window, and with it the menus, until OK.
        std::thread([clave, tipo] {
            MessageBoxA(nullptr, clave.second.c_str(), clave.first.c_str(), tipo);
            std::lock_guard<std::mutex> cerrojo(mutexAbiertas);
            abiertas.erase(clave);
        }).detach();
    } catch (const std::system_error&) {
        // No thread for the box: the message is lost (it is in the activity log) rather than the
        // polling held up.
        actividad::AnotarFalloIgnorado("caja de mensaje sin hilo");
        std::lock_guard<std::mutex> cerrojo(mutexAbiertas);
        abiertas.erase(clave);
    }
}
