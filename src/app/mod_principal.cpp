#include "app/mod_principal.h"

#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>

#include <exception>
#include <string>

#include "app/frm_puleo.h"
#include "app/ids_recursos.h"
#include "app/interfaz_ventana.h"
#include "app/mod_tray.h"
#include "app/version_programa.h"
#include "bridge/cerrojo_korvane.h"
#include "bridge/control_cliente.h"
#include "config/configuracion.h"
#include "platform/almacen_ajustes.h"
#include "platform/cerrojo.h"
#include "platform/manejadores_win32.h"
#include "platform/registro_actividad.h"
#include "platform/reloj.h"

namespace {

// The running-instance test: the first copy creates the mutex and holds it until the process ends.
class MutexInstancia {
public:
    MutexInstancia() noexcept : h_(CreateMutexA(nullptr, FALSE, ids::kMutexInstancia)) {
        // Made by another user, the mutex exists but its default security keeps this one out.
        const DWORD error = GetLastError();
        otraEnEjecucion_ = h_.Valido() ? error == ERROR_ALREADY_EXISTS : error == ERROR_ACCESS_DENIED;
    }

    bool OtraEnEjecucion() const noexcept { return otraEnEjecucion_; }

private:
    plataforma::Manejador h_;
    bool otraEnEjecucion_ = false;
};

// %ProgramData%\Tramiza\Instancia.lck; empty when the system cannot say. The folder is made so that
// every user may replace what it holds: the record left by one user's Tramiza that has ended must not
// keep another user's from publishing its own.
std::string RutaRegistroInstancia(bool crearCarpeta) {
    char comun[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, comun))) return {};
    const std::string carpeta = std::string(comun) + "\\" + ids::kCarpetaComun;
    if (crearCarpeta && GetFileAttributesA(carpeta.c_str()) == INVALID_FILE_ATTRIBUTES) {
        SECURITY_ATTRIBUTES atributos{sizeof atributos, nullptr, FALSE};
        // Modify rights for authenticated users, passed on to the files made inside.
        ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;OICI;0x1301bf;;;AU)", SDDL_REVISION_1,
                                                             &atributos.lpSecurityDescriptor, nullptr);
        CreateDirectoryA(carpeta.c_str(), &atributos);
        if (atributos.lpSecurityDescriptor != nullptr) LocalFree(atributos.lpSecurityDescriptor);
    }
    return carpeta + "\\" + ids::kRegistroInstancia;
}

// Where the running copy is. In this session its main window is there to be found, or, while it is
// still starting, its record says this session; another session's window cannot be seen from here,
// and only the record tells where it runs. The record is published at the very start: a short look
// finds one or the other.
struct PrimeraInstancia {
    bool enEstaSesion = false;
    cerrojo::Titular titular;  // when known
};

PrimeraInstancia BuscarPrimeraInstancia() {
    const std::string propia = cerrojo::TitularPropio().sesion;
    const std::string registro = RutaRegistroInstancia(false);
    for (int intento = 0; intento < 20; ++intento) {
        if (FindWindowA(ids::kClasePuleo, nullptr) != nullptr) return {true, {}};
        if (!registro.empty()) {
            const cerrojo::Intento consulta = cerrojo::Consultar(registro);
            if (consulta.estado == cerrojo::Estado::Ocupado)
                return {consulta.otro.sesion == propia && !propia.empty(), consulta.otro};
        }
        Sleep(100);
    }
    return {};
}

// One Tramiza per PC: a copy in another session serves it already. Said once, in a box and the
// activity log, before this copy ends.
void AvisarOtraSesion(const cerrojo::Titular& titular) {
    actividad::Iniciar(actividad::CarpetaRegistro());
    const std::string quien = DescribirTitular(titular);
    InterfazVentana sinVentana;
    sinVentana.MostrarMensaje(mensajes::Rellenar(mensajes::kTextoOtraSesion,
                                                 {quien.empty() ? std::string() : " (" + quien + ")"}),
                              mensajes::kTituloOtraSesion, Icono::Informacion);
    actividad::Terminar();
}

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
        const PrimeraInstancia primera = BuscarPrimeraInstancia();
        if (primera.enEstaSesion)
            ActivarInstanciaPrevia();
        else
            AvisarOtraSesion(primera.titular);
        return 0;
    }

    actividad::Iniciar(actividad::CarpetaRegistro());
    actividad::Anotar("Inicio de Tramiza " TRAMIZA_VERSION_VISIBLE);
    // Before anything that may take time (a box at the client's start): a copy started meanwhile
    // finds out at once where this one runs. Held until the process ends.
    cerrojo::Cerrojo registroInstancia;
    if (const std::string ruta = RutaRegistroInstancia(true); !ruta.empty()) {
        const cerrojo::Intento intento = registroInstancia.Tomar(ruta, TitularAhora(reloj::Ahora));
        if (intento.estado != cerrojo::Estado::Tomado)
            actividad::Anotar("No se pudo publicar esta instancia en " + ruta + ": " +
                              (intento.estado == cerrojo::Estado::Ocupado ? "la tiene " + DescribirTitular(intento.otro)
                                                                          : intento.error));
    }

    // Version 6 of the common controls, as the manifest asks, for the themed check box and buttons.
    INITCOMMONCONTROLSEX controles{sizeof(INITCOMMONCONTROLSEX), ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controles);

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
