#include "app/mod_principal.h"

#include <commctrl.h>

#include <exception>

#include "app/frm_puleo.h"
#include "app/ids_recursos.h"
#include "app/interfaz_ventana.h"
#include "app/mod_tray.h"
#include "app/version_programa.h"
#include "bridge/control_cliente.h"
#include "config/configuracion.h"
#include "platform/almacen_ajustes.h"
#include "platform/manejadores_win32.h"
#include "platform/registro_actividad.h"

namespace {

// The running-instance test: the first copy creates the mutex and holds it until the process ends.
class MutexInstancia {
public:
    MutexInstancia() noexcept : h_(CreateMutexA(nullptr, FALSE, ids::kMutexInstancia)) {
        otraEnEjecucion_ = h_.Valido() && GetLastError() == ERROR_ALREADY_EXISTS;
    }

    bool OtraEnEjecucion() const noexcept { return otraEnEjecucion_; }

private:
    plataforma::Manejador h_;
    bool otraEnEjecucion_ = false;
};

int BucleMensajes() {
    MSG msg;
    BOOL resultado;
    while ((resultado = GetMessageA(&msg, nullptr, 0, 0)) != 0 && resultado != -1) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return resultado == 0 ? static_cast<int>(msg.wParam) : 0;
}

}  // namespace

namespace modPrincipal {

int Main(HINSTANCE instancia) {
    MutexInstancia instanciaUnica;
    if (instanciaUnica.OtraEnEjecucion()) {
        ActivarInstanciaPrevia();
        return 0;
    }

    // Version 6 of the common controls, as the manifest asks, for the themed check box and buttons.
    INITCOMMONCONTROLSEX controles{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controles);

    actividad::Iniciar(actividad::CarpetaRegistro());
    actividad::Anotar("Inicio de Tramiza " TRAMIZA_VERSION_VISIBLE);

    // Each step that fails is skipped without a word (only in the activity log); only the routines
    // called show their messages.
    clsConfiguracion Configuracion(ajustes::NombreAplicacion());
    try {
        Configuracion.Load();
    } catch (...) {
        // A stored number that does not convert: it and the later settings keep their initial values.
        actividad::AnotarFalloIgnorado("lectura de los ajustes al inicio");
    }

    try {
        if (Configuracion.IniciarZelnoExe != 0 && !API::ProcesoEnEjecucion(API::kNombreCliente)) {
            // No main window yet: the client's error box has no owner.
            InterfazVentana sinVentana;
            API::EjecutarCliente(Configuracion.ZelnoExe, sinVentana);
        }
    } catch (...) {
        actividad::AnotarFalloIgnorado("inicio del cliente al arrancar");
    }

    frmPuleo ventana(instancia, Configuracion);
    try {
        if (!ventana.Mostrar()) {
            actividad::Anotar("Fin de Tramiza: no se pudo crear la ventana principal");
            actividad::Terminar();
            return 0;
        }
    } catch (...) {
        actividad::AnotarFalloIgnorado("creación de la ventana principal");
        actividad::Terminar();
        return 0;
    }
    // From here the window is the program; it ends through TerminarPrograma, never by returning.
    return BucleMensajes();
}

void TerminarPrograma() {
    QuitarIconoBandeja();
    actividad::Anotar("Fin de Tramiza");
    actividad::Terminar();
    ExitProcess(0);
}

// There is no hidden application window here to retitle "unwanted instance" before searching for the
// running copy's: the main window is found directly by its own window class.
void ActivarInstanciaPrevia() {
    const HWND ventana = FindWindowA(ids::kClasePuleo, nullptr);
    if (ventana == nullptr) return;
    PostMessageA(ventana, ids::kMensajeBandeja, 0, ids::kBandejaDobleClic);
}

}  // namespace modPrincipal
