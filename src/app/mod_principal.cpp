#include "app/mod_principal.h"

#include <commctrl.h>
#include <sddl.h>
#include <shlobj.h>

#include <cstdlib>
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
#include "platform/actividad.h"
#include "platform/almacen_ajustes.h"
#include "platform/cerrojo.h"
#include "platform/manejadores_win32.h"
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
std::string RutaArchivoInstancia(bool crearCarpeta) {
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
    return carpeta + "\\" + ids::kArchivoInstancia;
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
    const std::string instancia = RutaArchivoInstancia(false);
    for (int intento = 0; intento < 20; ++intento) {
        if (FindWindowA(ids::kClasePuleo, nullptr) != nullptr) return {true, {}};
        if (!instancia.empty()) {
            const cerrojo::Intento consulta = cerrojo::Consultar(instancia);
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
    actividad::Iniciar(actividad::CarpetaActividad());
    const std::string quien = DescribirTitular(titular);
    InterfazVentana sinVentana;
    sinVentana.MostrarMensaje(mensajes::Rellenar(mensajes::kTextoOtraSesion,
                                                 {quien.empty() ? std::string() : " (" + quien + ")"}),
                              mensajes::kTituloOtraSesion, Icono::Informacion);
    actividad::Terminar();
}

// Why this process runs where no user sits, or empty when it runs in a user's session: session 0, the
// SYSTEM account (a rollout tool, a service), or a window station that shows no window. A Tramiza there
// would take the machine-wide instance name and the root's lock from every cashier's, and serve no one.
std::string FueraDeSesionDeUsuario() {
    DWORD sesion = 0;
    if (ProcessIdToSessionId(GetCurrentProcessId(), &sesion) && sesion == 0) return "sesión 0";
    HANDLE token = nullptr;
    if (OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) {
        const plataforma::Manejador propio(token);  // closed on every way out
        alignas(TOKEN_USER) BYTE datos[SECURITY_MAX_SID_SIZE + sizeof(TOKEN_USER)];
        DWORD largo = 0;
        if (GetTokenInformation(token, TokenUser, datos, sizeof datos, &largo) &&
            IsWellKnownSid(reinterpret_cast<TOKEN_USER*>(datos)->User.Sid, WinLocalSystemSid))
            return "usuario SYSTEM";
    }
    USEROBJECTFLAGS banderas{};
    if (GetUserObjectInformationA(GetProcessWindowStation(), UOI_FLAGS, &banderas, sizeof banderas, nullptr) &&
        (banderas.dwFlags & WSF_VISIBLE) == 0)
        return "estación de ventanas no interactiva";
    return {};
}

// A dialog box of process `pid` that shows on this desktop, when there is one: the first copy's
// start-up box.
struct CajaDe {
    DWORD pid;
    HWND caja = nullptr;
};
BOOL CALLBACK BuscarCaja(HWND h, LPARAM datos) {
    auto* buscada = reinterpret_cast<CajaDe*>(datos);
    DWORD pid = 0;
    GetWindowThreadProcessId(h, &pid);
    char clase[16] = "";
    GetClassNameA(h, clase, sizeof clase);
    if (pid != buscada->pid || !IsWindowVisible(h) || std::string(clase) != "#32770") return TRUE;
    buscada->caja = h;
    return FALSE;
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
    // Before the instance name and the root's lock: a copy where no user sits must take neither.
    if (const std::string fuera = FueraDeSesionDeUsuario(); !fuera.empty()) {
        actividad::Iniciar(actividad::CarpetaActividad());
        actividad::Anotar("Tramiza " TRAMIZA_VERSION_VISIBLE " no se inicia: no corre en la sesión de un usuario (" +
                          fuera + ")");
        actividad::Terminar();
        return 0;
    }
    MutexInstancia instanciaUnica;
    if (instanciaUnica.OtraEnEjecucion()) {
        const PrimeraInstancia primera = BuscarPrimeraInstancia();
        if (primera.enEstaSesion)
            ActivarInstanciaPrevia(static_cast<DWORD>(std::strtoul(primera.titular.proceso.c_str(), nullptr, 10)));
        else
            AvisarOtraSesion(primera.titular);
        return 0;
    }

    actividad::Iniciar(actividad::CarpetaActividad());
    actividad::Anotar("Inicio de Tramiza " TRAMIZA_VERSION_VISIBLE);
    // Before anything that may take time (a box at the client's start): a copy started meanwhile
    // finds out at once where this one runs. Held until the process ends.
    cerrojo::Cerrojo archivoInstancia;
    if (const std::string ruta = RutaArchivoInstancia(true); !ruta.empty()) {
        const cerrojo::Intento intento = archivoInstancia.Tomar(ruta, TitularAhora(reloj::Ahora));
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

    frmPuleo ventana(instancia, Configuracion);
    ventana.IniciarClienteAlArrancar();
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

// The running copy's main window is found by its own window class. A copy still starting
// has none yet: it is waited for a while, and a box it shows meanwhile comes to the front, so that a
// second double click on the shortcut always shows something.
void ActivarInstanciaPrevia(DWORD procesoPrimera) {
    constexpr int kIntentos = 300;  // 30 s
    bool cajaAlFrente = false;
    for (int intento = 0; intento < kIntentos; ++intento) {
        if (const HWND ventana = FindWindowA(ids::kClasePuleo, nullptr)) {
            DWORD pid = 0;
            GetWindowThreadProcessId(ventana, &pid);
            // This copy, started by the user, may hand the foreground on.
            AllowSetForegroundWindow(pid);
            PostMessageA(ventana, ids::kMensajeBandeja, 0, ids::kBandejaDobleClic);
            CajaDe caja{pid};
            EnumWindows(BuscarCaja, reinterpret_cast<LPARAM>(&caja));
            SetForegroundWindow(caja.caja != nullptr ? caja.caja : ventana);
            return;
        }
        // Still starting, with a box up before its window: the box comes forward meanwhile.
        if (procesoPrimera != 0 && !cajaAlFrente) {
            CajaDe caja{procesoPrimera};
            EnumWindows(BuscarCaja, reinterpret_cast<LPARAM>(&caja));
            if (caja.caja != nullptr) {
                AllowSetForegroundWindow(procesoPrimera);
                cajaAlFrente = SetForegroundWindow(caja.caja) != FALSE;
            }
        }
        Sleep(100);
    }
    actividad::Iniciar(actividad::CarpetaActividad());
    actividad::Anotar("Otra copia de Tramiza en esta sesión no abrió su ventana en 30 s; esta termina");
    actividad::Terminar();
}

}  // namespace modPrincipal
