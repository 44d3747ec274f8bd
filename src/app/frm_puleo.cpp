#include "app/frm_puleo.h"

#include <windowsx.h>

#include <algorithm>
#include <exception>
#include <string>

#include "app/ayudas_ventana.h"
#include "app/frm_about.h"
#include "app/frm_configuracion.h"
#include "app/frm_terminales.h"
#include "app/ids_recursos.h"
#include "app/mod_principal.h"
#include "app/mod_tray.h"
#include "app/version_programa.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "platform/reloj.h"

namespace {

const char kTextoBandeja[] = "Plug IN Zelno Korvane";
using ids::kTituloAplicacion;
constexpr DWORD kEstilo = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;  // fixed single border, no min/max box
constexpr DWORD kEstiloExtendido = 0;

// Design sizes in twips.
constexpr int kAnchoCliente = 3810, kAltoCliente = 1140;
constexpr RECT kLblProceso{120, 120, 120 + 3495, 120 + 615};
constexpr RECT kChkConected{120, 720, 120 + 2475, 720 + 255};
constexpr int kMargenSuperior = 100;
// Posted by the cycle's pool when a piece of work comes back.
constexpr UINT kMensajePasos = WM_APP + 1;
// Posted by the pool's clock when a tick needs the window (see TicDelReloj).
constexpr UINT kMensajeTic = WM_APP + 2;
// Posted to itself by an end asked for by another program (see PedidoTerminar).
constexpr UINT kMensajeFinPedido = WM_APP + 3;

// Clears the busy flag however the handler ends.
class Ocupado {
public:
    explicit Ocupado(std::int16_t& bandera) noexcept : bandera_(bandera) { bandera_ = 1; }
    ~Ocupado() { bandera_ = 0; }
    Ocupado(const Ocupado&) = delete;
    Ocupado& operator=(const Ocupado&) = delete;

private:
    std::int16_t& bandera_;
};

}  // namespace

frmPuleo::frmPuleo(HINSTANCE instancia, clsConfiguracion& configuracion)
    : instancia_(instancia),
      Configuracion(configuracion),
      cerrojoKorvane_(ui_, reloj::Ahora),
      planificador_(configuracion, ui_, esperador_, cliente_, reloj::Ahora, CarpetaFichas(), &ejecutor_, this,
                    &cerrojoKorvane_, true),
      ejecutor_([this] { planificador_.AvisoDelPool(); }),
      apartadas_(CarpetaNoEntregadas(CarpetaFichas())) {
    // Each icon at its own size: 16 x 16 idle and 32 x 32 searching.
    imgPuleo_[0] = static_cast<HICON>(LoadImageA(instancia_, MAKEINTRESOURCEA(IDI_ZELNO), IMAGE_ICON, 16, 16, 0));
    imgPuleo_[1] = static_cast<HICON>(LoadImageA(instancia_, MAKEINTRESOURCEA(IDI_BUSCANDO), IMAGE_ICON, 32, 32, 0));
    imgAviso_ = static_cast<HICON>(LoadImageA(instancia_, MAKEINTRESOURCEA(IDI_AVISO), IMAGE_ICON, 32, 32, 0));
    // The notification area shows small icons at the system's DPI: 20 or 24 pixels at 120 or 144 DPI,
    // each drawn at that size rather than a 16-pixel one blown up.
    const int lado = MulDiv(16, static_cast<int>(ventana::DpiSistema()), 96);
    const int recursos[] = {IDI_ZELNO, IDI_BUSCANDO, IDI_AVISO};
    for (int i = 0; i < 3; ++i)
        pequenos_[i] =
            static_cast<HICON>(LoadImageA(instancia_, MAKEINTRESOURCEA(recursos[i]), IMAGE_ICON, lado, lado, 0));
    mnuTray_ = LoadMenuA(instancia_, MAKEINTRESOURCEA(IDM_BANDEJA));
    msgTaskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    msgEstadoPrueba_ = RegisterWindowMessageA(ids::kMensajeEstadoPrueba);
    msgTerminar_ = RegisterWindowMessageA(ids::kMensajeTerminar);
}

frmPuleo::~frmPuleo() {
    ejecutor_.Repetir(0, nullptr);  // no tick reaches the cycle while it goes
    planificador_.Detener();        // nor a watch's change: the pool goes before the scheduler
    frmTerminales::Cerrar();        // it reads this window's cycle and list
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (mnuTray_ != nullptr) DestroyMenu(mnuTray_);
    if (fuente_ != nullptr) DeleteObject(fuente_);
    for (HICON icono : imgPuleo_)
        if (icono != nullptr) DestroyIcon(icono);
    for (HICON icono : pequenos_)
        if (icono != nullptr) DestroyIcon(icono);
    if (imgAviso_ != nullptr) DestroyIcon(imgAviso_);
}

bool frmPuleo::Mostrar() {
    if (!CrearVentana()) return false;
    CrearControles();
    Disponer();
    Form_Load();
    return true;
}

bool frmPuleo::CrearVentana() {
    WNDCLASSEXA clase{};
    clase.cbSize = sizeof clase;
    clase.lpfnWndProc = ProcedimientoVentana;
    clase.hInstance = instancia_;
    clase.hIcon = LoadIconA(instancia_, MAKEINTRESOURCEA(IDI_ZELNO));
    clase.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    clase.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    clase.lpszClassName = ids::kClasePuleo;
    if (RegisterClassExA(&clase) == 0) return false;

    // The window menu belongs to the window and goes with it.
    const HMENU menu = LoadMenuA(instancia_, MAKEINTRESOURCEA(IDM_PRINCIPAL));
    CreateWindowExA(kEstiloExtendido, ids::kClasePuleo, ids::kTituloPuleo, kEstilo, CW_USEDEFAULT, CW_USEDEFAULT,
                    CW_USEDEFAULT, CW_USEDEFAULT, nullptr, menu, instancia_, this);
    if (hwnd_ == nullptr && menu != nullptr) DestroyMenu(menu);
    return hwnd_ != nullptr;
}

void frmPuleo::CrearControles() {
    lblProceso_ = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, hwnd_,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LBL_PROCESO)), instancia_, nullptr);
    chkConected_ =
        CreateWindowExA(0, "BUTTON", "Buscar transacción", WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_AUTOCHECKBOX, 0, 0,
                        0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_CHK_CONECTED)), instancia_,
                        nullptr);
    ui_.Asignar(hwnd_, lblProceso_);
    ui_.SinBloqueo();
    destino_ = hwnd_;
}

int frmPuleo::Pixeles(int twips) const { return ventana::Pixeles(twips, ventana::Dpi(hwnd_)); }

// The message-box font of the system, at this window's DPI.
void frmPuleo::CrearFuente() {
    NONCLIENTMETRICSA metricas{};
    metricas.cbSize = sizeof metricas;
    HFONT nueva = nullptr;
    if (SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metricas, &metricas, 0)) {
        // The metrics come at the system DPI; the window may sit on a monitor with another.
        LOGFONTA fuente = metricas.lfMessageFont;
        fuente.lfHeight =
            MulDiv(fuente.lfHeight, static_cast<int>(ventana::Dpi(hwnd_)), static_cast<int>(ventana::DpiSistema()));
        nueva = CreateFontIndirectA(&fuente);
    }
    const HFONT fuenteControles = nueva != nullptr ? nueva : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    SendMessageA(lblProceso_, WM_SETFONT, reinterpret_cast<WPARAM>(fuenteControles), TRUE);
    SendMessageA(chkConected_, WM_SETFONT, reinterpret_cast<WPARAM>(fuenteControles), TRUE);
    if (fuente_ != nullptr) DeleteObject(fuente_);
    fuente_ = nueva;
}

void frmPuleo::Disponer() {
    const UINT dpi = ventana::Dpi(hwnd_);
    const SIZE tamanio =
        ventana::TamanioParaCliente(ventana::Pixeles(kAnchoCliente, dpi), ventana::Pixeles(kAltoCliente, dpi), kEstilo,
                                    true, kEstiloExtendido, dpi);
    // A minimised window keeps its restored size; it changes the next time the DPI does.
    if (!IsIconic(hwnd_))
        SetWindowPos(hwnd_, nullptr, 0, 0, tamanio.cx, tamanio.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    const auto colocar = [this](HWND control, const RECT& r) {
        SetWindowPos(control, nullptr, Pixeles(r.left), Pixeles(r.top), Pixeles(r.right - r.left),
                     Pixeles(r.bottom - r.top), SWP_NOZORDER | SWP_NOACTIVATE);
    };
    colocar(lblProceso_, kLblProceso);
    colocar(chkConected_, kChkConected);
    CrearFuente();
}

LRESULT CALLBACK frmPuleo::ProcedimientoVentana(HWND hwnd, UINT mensaje, WPARAM wParam, LPARAM lParam) {
    frmPuleo* ventana = nullptr;
    if (mensaje == WM_NCCREATE) {
        ventana = static_cast<frmPuleo*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ventana));
        ventana->hwnd_ = hwnd;
    } else {
        ventana = reinterpret_cast<frmPuleo*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (ventana == nullptr) return DefWindowProcA(hwnd, mensaje, wParam, lParam);

    // No failure may cross into the system's code; the window carries on after saying what failed.
    try {
        return ventana->Procesar(mensaje, wParam, lParam);
    } catch (const plataforma::ErrorSistema& e) {
        ventana::Caja(hwnd, e.TextoNumeroDescripcion().c_str(), kTituloAplicacion, MB_OK | MB_ICONERROR);
    } catch (const std::exception& e) {
        ventana::Caja(hwnd, e.what(), kTituloAplicacion, MB_OK | MB_ICONERROR);
    } catch (...) {
        ventana::Caja(hwnd, mensajes::kTextoErrorDesconocido, kTituloAplicacion, MB_OK | MB_ICONERROR);
    }
    return 0;
}

LRESULT frmPuleo::Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam) {
    switch (mensaje) {
        case WM_COMMAND: Comando(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam)); return 0;
        case WM_TIMER:
            if (wParam == ID_TMR_PASOS) TmrPasos_Timer();
            if (wParam == ID_TMR_SERVICIO) ActualizarServicio();
            return 0;
        case kMensajeTic: TmrBuscando_Timer(); return 0;
        case kMensajePasos: planificador_.PasosAvisados(); return 0;
        case kMensajeFinPedido:
            if (finPedido_) {
                finPedido_ = false;
                planificador_.Terminar();
            }
            return 0;
        case WM_MOUSEMOVE: Notificacion(lParam); return 0;
        case WM_SYSCOMMAND:
            // The title bar's close button, the system menu's Close and Alt+F4 all come this way;
            // they only hide the window. Every other close request reaches WM_CLOSE and goes through.
            if ((wParam & 0xFFF0) == SC_CLOSE) {
                ShowWindow(hwnd_, SW_HIDE);
                return 0;
            }
            break;
        // No step is ever half done between two messages, and every turn waits at a point that the
        // next start repeats: the session may end at once.
        case WM_QUERYENDSESSION: return TRUE;
        case WM_ENDSESSION:
            if (wParam) Form_Unload();
            return 0;
        case WM_DESTROY: Form_Unload(); return 0;
        case WM_DPICHANGED:
            ventana::AplicarDpiNuevo(hwnd_, lParam);
            Disponer();
            return 0;
        default:
            if (mensaje == msgEstadoPrueba_ && msgEstadoPrueba_ != 0) return EstadoPrueba(wParam);
            if (mensaje == msgTerminar_ && msgTerminar_ != 0) return PedidoTerminar(wParam);
            if (mensaje == msgTaskbarCreated_ && msgTaskbarCreated_ != 0) {
                // Explorer restarted and forgot the icon.
                if (cargado_) {
                    AgregarIconoBandeja(hwnd_);
                    CambiarTextoBandeja(kTextoBandeja);
                }
                return 0;
            }
            break;
    }
    return DefWindowProcA(hwnd_, mensaje, wParam, lParam);
}

void frmPuleo::Comando(WORD id, WORD codigo, HWND control) {
    if (id == IDC_CHK_CONECTED) {
        if (control == chkConected_ && codigo == BN_CLICKED) chkConected_Click();
        return;
    }
    switch (id) {
        case IDM_CONFIGURACION: mnuConfiguracion_Click(); break;
        case IDM_TERMINALES:
        case IDM_TRAY_TERMINALES: mnuTerminales_Click(); break;
        case IDM_ACTIVIDAD:
        case IDM_TRAY_ACTIVIDAD: AbrirCarpetaActividad(); break;
        case IDM_FILE_CLOSE: mnuFileClose_Click(); break;
        case IDM_FILE_ABOUT: mnuFileAbout_Click(); break;
        case IDM_FILE_EXIT: mnuFileExit_Click(); break;
        case IDM_TRAY_SHOW: mnuTrayShow_Click(); break;
        case IDM_TRAY_HIDE: mnuTrayHide_Click(); break;
        case IDM_TRAY_CLOSE: mnuTrayClose_Click(); break;
        default: break;
    }
}

// The folders and the interval in use, at start and after each change, for support.
void frmPuleo::AnotarAjustes() const {
    actividad::Anotar("Ajustes: Korvane " + Configuracion.DirectorioKorvane + ", Zelno " +
                      Configuracion.DirectorioZELNO + ", intervalo " + std::to_string(Configuracion.Intervalo) +
                      " s, cliente " + Configuracion.ZelnoExe +
                      (Configuracion.IniciarZelnoExe != 0 ? " (se inicia)" : " (no se inicia)"));
}

void frmPuleo::Form_Load() {
    AnotarAjustes();
    planificador_.CargarTerminales();
    IndiceIcono = 1;
    AplicarIcono();
    AgregarIconoBandeja(hwnd_);
    CambiarTextoBandeja(kTextoBandeja);
    cargado_ = true;
    EstablecerIntervalo();
    EstablecerToggle(Configuracion.IniciarActivo != 0);

    RECT r;
    GetWindowRect(hwnd_, &r);
    SetWindowPos(hwnd_, nullptr, r.left, Pixeles(kMargenSuperior), 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Shown minimised without taking the focus from whatever the user is doing.
    ShowWindow(hwnd_, SW_SHOWMINNOACTIVE);

    chkConected_Click();
    // What is looked at costs no file call (the cuts, the lock, the client's last start), except a
    // process walk while the client could not be started.
    SetTimer(hwnd_, ID_TMR_SERVICIO, 1000, nullptr);
}

void frmPuleo::EstablecerToggle(bool activo) {
    const bool actual = SendMessageA(chkConected_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    if (actual == activo) return;
    // Setting the state does not notify, so the handler runs here, as a click would run it.
    SendMessageA(chkConected_, BM_SETCHECK, activo ? BST_CHECKED : BST_UNCHECKED, 0);
    chkConected_Click();
}

void frmPuleo::chkConected_Click() {
    const bool antes = tmrHabilitado_;
    if (SendMessageA(chkConected_, BM_GETCHECK, 0, 0) == BST_CHECKED) {
        IndiceIcono = 2;
        tmrHabilitado_ = true;
        planificador_.Aplicar(tmrHabilitado_, tmrIntervalo_);
        ui_.EstablecerEstado("Buscando...");
    } else {
        IndiceIcono = 1;
        tmrHabilitado_ = false;
        planificador_.Aplicar(tmrHabilitado_, tmrIntervalo_);
        ui_.EstablecerEstado("Detenido.");
    }
    if (tmrHabilitado_ != antes)
        actividad::Anotar(std::string("Buscar transacción: ") + (tmrHabilitado_ ? "activado" : "desactivado"));
    ui_.ProcesarMensajes();
    ActualizarServicio();
    AplicarIcono();
    CambiarIconoBandeja(IconoVentana());
}

// IndiceIcono keeps its two images; "not serving" shows in their place while it lasts.
void frmPuleo::AplicarIcono() {
    const bool aviso = servicio_.modo == EstadoServicio::Modo::NoAtiende;
    const int imagen = aviso ? 2 : IndiceIcono == 2 ? 1 : 0;
    const HICON grande = aviso ? imgAviso_ : imgPuleo_[imagen];
    const HICON pequeno = pequenos_[imagen] != nullptr ? pequenos_[imagen] : grande;
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(pequeno));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(grande));
}

HICON frmPuleo::IconoVentana() const { return reinterpret_cast<HICON>(SendMessageA(hwnd_, WM_GETICON, ICON_SMALL, 0)); }

void frmPuleo::EstablecerIntervalo() { tmrIntervalo_ = IntervaloMs(Configuracion.Intervalo); }

void frmPuleo::TmrBuscando_Timer() { planificador_.Tic(); }

void frmPuleo::TmrPasos_Timer() { planificador_.TemporizadorPasos(); }

bool frmPuleo::PedirTic() {
    const HWND destino = destino_.load();
    return destino != nullptr && PostMessageA(destino, kMensajeTic, 0, 0);
}

bool frmPuleo::PedirPasos() {
    const HWND destino = destino_.load();
    return destino != nullptr && PostMessageA(destino, kMensajePasos, 0, 0);
}

bool frmPuleo::ArmarPasos(std::uint32_t ms) { return SetTimer(hwnd_, ID_TMR_PASOS, ms, nullptr) != 0; }

void frmPuleo::DesarmarPasos() { KillTimer(hwnd_, ID_TMR_PASOS); }

void frmPuleo::Cerrar() { DestroyWindow(hwnd_); }

// Real mouse movement arrives as WM_MOUSEMOVE too. At high DPI the client area is wider than 515
// pixels, so a pointer at (515, 0) or (517, 0) would pass for the icon's codes: a message whose
// coordinates are where the pointer stood over this very window is movement, not a notification.
bool frmPuleo::EsMovimientoDelRaton(LPARAM lParam) const {
    const DWORD posicion = GetMessagePos();
    POINT punto{GET_X_LPARAM(posicion), GET_Y_LPARAM(posicion)};
    if (WindowFromPoint(punto) != hwnd_) return false;
    ScreenToClient(hwnd_, &punto);
    return punto.x == GET_X_LPARAM(lParam) && punto.y == GET_Y_LPARAM(lParam);
}

void frmPuleo::Notificacion(LPARAM lParam) {
    if (ocupado_ != 0) return;
    const WORD codigo = LOWORD(lParam);
    if (codigo != ids::kBandejaDobleClic && codigo != ids::kBandejaBotonDerecho) return;
    if (EsMovimientoDelRaton(lParam)) return;
    Ocupado ocupado(ocupado_);
    try {
        if (codigo == ids::kBandejaDobleClic) {
            MostrarSinCambiarEstado();
            ui_.ProcesarMensajes();
        } else {
            MostrarMenuBandeja();
        }
    } catch (...) {
        // A notification that fails is simply lost.
        actividad::AnotarFalloIgnorado("aviso del icono de la bandeja");
    }
}

void frmPuleo::MostrarSinCambiarEstado() {
    if (IsWindowVisible(hwnd_)) return;
    ShowWindow(hwnd_, IsIconic(hwnd_) ? SW_SHOWMINNOACTIVE : SW_SHOW);
}

void frmPuleo::MostrarMenuBandeja() {
    const HMENU popup = mnuTray_ != nullptr ? GetSubMenu(mnuTray_, 0) : nullptr;
    if (popup == nullptr) return;
    SetMenuDefaultItem(popup, IDM_TRAY_SHOW, FALSE);
    POINT punto;
    GetCursorPos(&punto);
    // Without the foreground the menu would not close when the user clicks elsewhere, and without
    // the extra message it would not close at once on a second click of the icon.
    SetForegroundWindow(hwnd_);
    TrackPopupMenu(popup, TPM_RIGHTBUTTON, punto.x, punto.y, 0, hwnd_, nullptr);
    PostMessageA(hwnd_, WM_NULL, 0, 0);
}

void frmPuleo::mnuConfiguracion_Click() {
    // A disabled window has a modal box of its own open; the menu cannot be reached then.
    if (!IsWindowEnabled(hwnd_)) return;
    MostrarConfiguracion(hwnd_, Configuracion);
    AnotarAjustes();
    planificador_.CargarTerminales();
    EstablecerIntervalo();
    planificador_.Aplicar(tmrHabilitado_, tmrIntervalo_);
    ActualizarServicio();
}

// The rows are built at each refresh from the cycle and the list as they are then: a list reloaded by
// the settings dialog shows at the next one.
void frmPuleo::mnuTerminales_Click() {
    frmTerminales::Fuente fuente;
    fuente.filas = [this] { return FilasTerminales(); };
    fuente.cabecera = [this] {
        return CabeceraTerminales(servicio_, planificador_.Terminales ? planificador_.Terminales->size() : 0,
                                  apartadas_.NoVistas().size());
    };
    fuente.diagnostico = [this] { return TextoDiagnosticoAhora(); };
    fuente.abrirApartadas = [this] { AbrirApartadas(); };
    frmTerminales::Mostrar(instancia_, std::move(fuente));
}

void frmPuleo::mnuFileClose_Click() { ShowWindow(hwnd_, SW_HIDE); }

void frmPuleo::mnuFileAbout_Click() {
    if (!IsWindowEnabled(hwnd_)) return;
    frmAbout::Mostrar(instancia_, hwnd_);
}

void frmPuleo::mnuFileExit_Click() { planificador_.Terminar(); }

void frmPuleo::mnuTrayShow_Click() {
    ShowWindow(hwnd_, SW_SHOW);
    ShowWindow(hwnd_, SW_RESTORE);
}

void frmPuleo::mnuTrayHide_Click() {
    ShowWindow(hwnd_, SW_MINIMIZE);
    ShowWindow(hwnd_, SW_HIDE);
}

void frmPuleo::mnuTrayClose_Click() { planificador_.Terminar(); }

void frmPuleo::Form_Unload() {
    frmTerminales::Cerrar();
    modPrincipal::TerminarPrograma();
}

// The end asked for by another program: as "&Salir"; wParam 1 withdraws a request still waiting for
// the turns in progress.
LRESULT frmPuleo::PedidoTerminar(WPARAM que) {
    if (que == ids::kTerminarRetirar) {
        finPedido_ = false;
        planificador_.RetirarTerminar();
        return 1;
    }
    if (InSendMessage()) ReplyMessage(1);  // the sender is let go before the process ends
    // Decided behind whatever has already come: a withdrawal sent or posted before the decision (the
    // sender gave up while this program could not answer) cancels it; one after it withdraws the end
    // that waits for the turns in progress. (Looking for it here would dispatch a withdrawal sent
    // meanwhile before this request took effect, and lose it.)
    finPedido_ = true;
    if (!PostMessageA(hwnd_, kMensajeFinPedido, 0, 0)) {
        finPedido_ = false;
        planificador_.Terminar();
    }
    return 1;
}

// Kept in the release build on purpose, as the GUI tests drive that very build. It is safe there: it
// answers only numbers about the window itself (which icon, the timer's interval, cycles started,
// icon handles), never settings, paths or exchange data; it reads nothing but wParam and changes
// nothing, so a stray sender learns little and can break nothing.
LRESULT frmPuleo::EstadoPrueba(WPARAM que) const {
    switch (que) {
        case ids::kPruebaIndiceIcono: return IndiceIcono;
        case ids::kPruebaIntervaloMs: return planificador_.IntervaloAplicado();
        case ids::kPruebaCiclos: return planificador_.Ciclos();
        case ids::kPruebaIconoBandeja: return IconoBandejaPresente() ? 1 : 0;
        case ids::kPruebaIconoBandejaHicon: return reinterpret_cast<LRESULT>(IconoBandejaActual());
        case ids::kPruebaIconoVentana: return reinterpret_cast<LRESULT>(IconoVentana());
        case ids::kPruebaServicio: return static_cast<LRESULT>(servicio_.modo);
        default: return 0;
    }
}

void frmPuleo::IniciarClienteAlArrancar() {
    try {
        if (Configuracion.IniciarZelnoExe == 0 || cliente_.ProcesoEnEjecucion(API::kNombreCliente)) return;
        // No main window yet: the box has no owner and, like the cycle's, waits for nobody. A PC that
        // starts at night serves its tills at once.
        InterfazVentana sinVentana;
        sinVentana.SinBloqueo();
        const auto arrancado = cliente_.IniciarCliente(Configuracion.ZelnoExe, sinVentana);
        if (!arrancado) return;
        Sleep(API::kEsperaArranqueMs);
        arrancado();
    } catch (...) {
        actividad::AnotarFalloIgnorado("inicio del cliente al arrancar");
    }
}

DatosServicio frmPuleo::DatosDelServicio() {
    DatosServicio d;
    d.buscando = tmrHabilitado_;
    d.intervalo = Configuracion.Intervalo;
    d.otroTramiza = cerrojoKorvane_.Rechazado();
    d.directorioKorvane = Configuracion.DirectorioKorvane;
    d.directorioZelno = Configuracion.DirectorioZELNO;
    const CortesCarpetas& cortes = planificador_.Cortes();
    d.korvaneFuera = !d.directorioKorvane.empty() && cortes.Cortada(d.directorioKorvane);
    d.zelnoFuera = !d.directorioZelno.empty() && cortes.Cortada(d.directorioZelno);
    d.clienteSinIniciar = Configuracion.IniciarZelnoExe != 0 && cliente_.SinIniciar();
    return d;
}

// Every second, and at once after anything the window changes (the toggle, the settings).
void frmPuleo::ActualizarServicio() {
    // A client started by hand since its start failed: looked for only while that lasts.
    if (Configuracion.IniciarZelnoExe != 0 && cliente_.SinIniciar()) cliente_.ProcesoEnEjecucion(API::kNombreCliente);
    // The sales' waits are followed whether the "Terminales" window is open or not.
    FilasTerminales();
    const EstadoServicio nuevo = EvaluarServicio(DatosDelServicio());
    if (nuevo == servicio_) return;
    const bool avisaba = servicio_.modo == EstadoServicio::Modo::NoAtiende;
    servicio_ = nuevo;
    if (servicio_.modo == EstadoServicio::Modo::NoAtiende)
        actividad::Anotar("Tramiza no atiende las terminales: " + servicio_.motivo);
    else if (avisaba && servicio_.modo == EstadoServicio::Modo::Atiende)
        actividad::Anotar("Tramiza vuelve a atender las terminales");
    ui_.EstablecerAviso(LineaNoAtiende(servicio_));
    if (!cargado_) return;
    AplicarIcono();
    CambiarIconoBandeja(IconoVentana());
}

std::vector<FilaTerminal> frmPuleo::FilasTerminales() {
    std::vector<FilaTerminal> filas = planificador_.Filas();
    esperas_.Aplicar(filas, esperador_.AhoraMs());
    return filas;
}

std::string frmPuleo::TextoDiagnosticoAhora() {
    Diagnostico d;
    d.version = TRAMIZA_VERSION_VISIBLE;
    const clsConfiguracion& c = Configuracion;
    d.ajustes = {"DirectorioKorvane: " + c.DirectorioKorvane,
                 "DirectorioZELNO: " + c.DirectorioZELNO,
                 "Intervalo: " + std::to_string(c.Intervalo),
                 "ActivarTX: " + std::to_string(c.ActivarTX),
                 "IniciarActivo: " + std::to_string(c.IniciarActivo),
                 "IniciarZelnoExe: " + std::to_string(c.IniciarZelnoExe),
                 "ZelnoExe: " + c.ZelnoExe,
                 std::string("Buscar transacción: ") + (tmrHabilitado_ ? "marcado" : "sin marcar")};
    d.filas = FilasTerminales();
    d.apartadas = apartadas_.Todas();
    d.estado = CabeceraTerminales(servicio_, planificador_.Terminales ? planificador_.Terminales->size() : 0,
                                  apartadas_.NoVistas().size());
    d.actividad = UltimasLineasActividad(actividad::CarpetaActividad(), 200);
    actividad::Anotar("Diagnóstico copiado al portapapeles");
    return TextoDiagnostico(d);
}

void frmPuleo::AbrirCarpetaActividad() { ventana::AbrirCarpeta(hwnd_, actividad::CarpetaActividad()); }

// Someone has now seen the kept answers: the count of the "Terminales" window starts again from 0.
void frmPuleo::AbrirApartadas() {
    ventana::AbrirCarpeta(hwnd_, apartadas_.Carpeta());
    apartadas_.MarcarVistas();
}
