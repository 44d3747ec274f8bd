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
#include "platform/error_sistema.h"
#include "platform/registro_actividad.h"
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
// While "&Salir" waits for a step that is in a call.
constexpr std::int64_t kRevisionFinMs = 250;

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
      ejecutor_([this] {
          const HWND destino = destinoAvisos_.load();
          if (destino != nullptr && !avisoPendiente_.exchange(true)) PostMessageA(destino, kMensajePasos, 0, 0);
      }),
      ciclo_(configuracion, ui_, esperador_, cliente_, reloj::Ahora, CarpetaRegistroIntercambios(), &ejecutor_),
      cerrojoKorvane_(ui_, reloj::Ahora) {
    // Image list imgPuleo: each icon at its own size, 16 x 16 idle and 32 x 32 searching.
    imgPuleo_[0] = static_cast<HICON>(LoadImageA(instancia_, MAKEINTRESOURCEA(IDI_ZELNO), IMAGE_ICON, 16, 16, 0));
    imgPuleo_[1] = static_cast<HICON>(LoadImageA(instancia_, MAKEINTRESOURCEA(IDI_BUSCANDO), IMAGE_ICON, 32, 32, 0));
    mnuTray_ = LoadMenuA(instancia_, MAKEINTRESOURCEA(IDM_BANDEJA));
    msgTaskbarCreated_ = RegisterWindowMessageA("TaskbarCreated");
    msgEstadoPrueba_ = RegisterWindowMessageA(ids::kMensajeEstadoPrueba);
    msgTerminar_ = RegisterWindowMessageA(ids::kMensajeTerminar);
}

frmPuleo::~frmPuleo() {
    ejecutor_.Repetir(0, nullptr);  // no tick reaches the cycle while it goes
    frmTerminales::Cerrar();        // it reads this window's cycle and list
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (mnuTray_ != nullptr) DestroyMenu(mnuTray_);
    if (fuente_ != nullptr) DeleteObject(fuente_);
    for (HICON icono : imgPuleo_)
        if (icono != nullptr) DestroyIcon(icono);
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
    destinoAvisos_ = hwnd_;
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
            return 0;
        case kMensajeTic:
            ticPendiente_ = false;
            TmrBuscando_Timer();
            return 0;
        case kMensajePasos:
            avisoPendiente_ = false;
            PasosAvisados();
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

// Watches run while the polling does and this program serves the root; a watch that cannot start,
// or that loses events, costs only the wait for the next tick: a line in the activity log, never a
// message.
void frmPuleo::Vigilar() {
    ticEnPool_ = false;  // the next tick comes here and sees the new watches
    vigilantes_.clear();
    if (tmrAplicado_ == 0 || !cerrojoKorvane_.PuedeAtender(Configuracion.DirectorioKorvane)) return;
    ciclo_.Conocer(Terminales);
    for (const std::string* raiz : {&Configuracion.DirectorioKorvane, &Configuracion.DirectorioZELNO}) {
        if (raiz->empty() || (!vigilantes_.empty() && *raiz == Configuracion.DirectorioKorvane)) continue;
        const std::string carpeta = *raiz;
        try {
            vigilantes_.push_back(std::make_unique<vigilancia::Vigilante>(
                carpeta, [this](const std::string& ruta) { ciclo_.Cambio(ruta); },
                [carpeta](const std::string& motivo) {
                    actividad::Anotar("Vigilancia de " + carpeta + ": " + motivo + "; se sigue con el temporizador");
                }));
        } catch (...) {
            actividad::AnotarFalloIgnorado("vigilancia de " + carpeta);
        }
    }
}

void frmPuleo::Form_Load() {
    AnotarAjustes();
    Terminales = CargarTerminales(Configuracion, ui_, &ciclo_.Cortes());
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
        AplicarTemporizador();
        ui_.EstablecerEstado("Buscando...");
    } else {
        IndiceIcono = 1;
        tmrHabilitado_ = false;
        AplicarTemporizador();
        ui_.EstablecerEstado("Detenido.");
    }
    if (tmrHabilitado_ != antes)
        actividad::Anotar(std::string("Buscar transacción: ") + (tmrHabilitado_ ? "activado" : "desactivado"));
    ui_.ProcesarMensajes();
    AplicarIcono();
    CambiarIconoBandeja(IconoVentana());
}

void frmPuleo::AplicarIcono() {
    const HICON icono = imgPuleo_[IndiceIcono == 2 ? 1 : 0];
    SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icono));
    SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icono));
}

HICON frmPuleo::IconoVentana() const { return reinterpret_cast<HICON>(SendMessageA(hwnd_, WM_GETICON, ICON_SMALL, 0)); }

// Intervalo x 1000 in 32 bits: every stored value gives its true number of milliseconds.
void frmPuleo::EstablecerIntervalo() { tmrIntervalo_ = static_cast<std::int32_t>(Configuracion.Intervalo) * 1000; }

// The polling clock runs only while the toggle is on and there is an interval; zero or a negative
// setting leaves polling "on" without ticks. It is the pool's clock, not a window timer: an idle tick
// wakes no window.
void frmPuleo::AplicarTemporizador() {
    ticEnPool_ = false;
    const std::int32_t deseado = (tmrHabilitado_ && tmrIntervalo_ > 0 && !terminarPendiente_) ? tmrIntervalo_ : 0;
    if (deseado == tmrAplicado_) return;  // a running clock keeps its rhythm
    ejecutor_.Repetir(deseado, [this] { TicDelReloj(); });
    tmrAplicado_ = deseado;
    Vigilar();
}

// On the pool's thread whose turn it is, at every tick. Once a tick of the window has found
// everything in order (the root served, its watches running, nothing to reload), the ticks that
// follow are looks on the pool, which wake the window only for a terminal with work or a root that
// came back. Until then, and again after any change the window makes (settings, the toggle, a
// reload), each tick is the window's own, one message at a time.
void frmPuleo::TicDelReloj() {
    if (ticEnPool_) {
        ciclo_.TicDelPool();
        ++ciclos_;
        return;
    }
    const HWND destino = destinoAvisos_.load();
    if (destino != nullptr && !ticPendiente_.exchange(true)) PostMessageA(destino, kMensajeTic, 0, 0);
}

void frmPuleo::TmrBuscando_Timer() {
    // While another Tramiza serves the root, a tick touches nothing in it; turns already in progress
    // (of a root left behind) still go on below.
    const bool atiende = cerrojoKorvane_.PuedeAtender(Configuracion.DirectorioKorvane);
    const bool hecho = atiende && ciclo_.TmrBuscando_Timer(Terminales);
    if (hecho) ++ciclos_;
    // The root taken over, or lost to another Tramiza: the watches follow.
    if (atiende == vigilantes_.empty()) Vigilar();
    // A root that came back: the list is loaded again for the next tick.
    if (ciclo_.TomarRecarga()) {
        Terminales = CargarTerminales(Configuracion, ui_, &ciclo_.Cortes());
        Vigilar();
    } else if (hecho && !vigilantes_.empty() && tmrAplicado_ > 0) {
        ticEnPool_ = true;
    }
    ProgramarPasos();
}

void frmPuleo::TmrPasos_Timer() {
    pasosVence_.reset();  // it has fired; what comes next is set again below
    PasosAvisados();
}

void frmPuleo::PasosAvisados() {
    ciclo_.EjecutarPasosVencidos();
    // A root that came back: the list is loaded again for the next tick.
    if (ciclo_.TomarRecarga()) {
        Terminales = CargarTerminales(Configuracion, ui_, &ciclo_.Cortes());
        Vigilar();
    }
    ProgramarPasos();
    if (terminarPendiente_ && ciclo_.TurnosEnCurso() == 0) DestroyWindow(hwnd_);
}

// One timer for every turn's wait: it fires when the earliest ends. A timer message that comes a
// little early finds nothing due and sets the timer again for what is left. A timer already set for
// that moment or sooner is left alone: setting it again would restart its count, and while every tick
// runs as long as the interval (a file held by another program), the polling timer would always come
// first and no turn would ever go on.
void frmPuleo::ProgramarPasos() {
    auto proximo = ciclo_.ProximoPaso();
    // Waiting to end while a step is in a call: looked at again shortly, as it may come back or be
    // counted as hung.
    if (!proximo && terminarPendiente_ && ciclo_.TurnosEnCurso() != 0) proximo = esperador_.AhoraMs() + kRevisionFinMs;
    if (!proximo) {
        // An idle tick costs no call for a timer that is not running.
        if (pasosArmado_) KillTimer(hwnd_, ID_TMR_PASOS);
        pasosArmado_ = false;
        pasosVence_.reset();
        return;
    }
    const std::int64_t ahora = esperador_.AhoraMs();
    const UINT ms = static_cast<UINT>(std::clamp<std::int64_t>(*proximo - ahora, USER_TIMER_MINIMUM, 0x7FFFFFFF));
    if (pasosVence_ && *pasosVence_ <= ahora + ms) return;
    if (SetTimer(hwnd_, ID_TMR_PASOS, ms, nullptr) != 0) {
        pasosVence_ = ahora + ms;
        pasosArmado_ = true;
    }
}

// "&Salir" and the end asked for by another program: no new tick starts, and the program ends once
// every turn in progress has finished its exchange step (a hand-off reaches the upload folder, a
// return gives its answer); without turns in progress, at once.
void frmPuleo::Terminar() {
    if (ciclo_.TurnosEnCurso() == 0) {
        DestroyWindow(hwnd_);
        return;
    }
    terminarPendiente_ = true;
    AplicarTemporizador();
}

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
    Terminales = CargarTerminales(Configuracion, ui_, &ciclo_.Cortes());
    Vigilar();
    EstablecerIntervalo();
    AplicarTemporizador();
}

// The rows are built at each refresh from the cycle and the list as they are then: a list reloaded by
// the settings dialog shows at the next one.
void frmPuleo::mnuTerminales_Click() {
    frmTerminales::Mostrar(instancia_, [this] { return ciclo_.Filas(Terminales); });
}

void frmPuleo::mnuFileClose_Click() { ShowWindow(hwnd_, SW_HIDE); }

void frmPuleo::mnuFileAbout_Click() {
    if (!IsWindowEnabled(hwnd_)) return;
    frmAbout::Mostrar(instancia_, hwnd_);
}

void frmPuleo::mnuFileExit_Click() { Terminar(); }

void frmPuleo::mnuTrayShow_Click() {
    ShowWindow(hwnd_, SW_SHOW);
    ShowWindow(hwnd_, SW_RESTORE);
}

void frmPuleo::mnuTrayHide_Click() {
    ShowWindow(hwnd_, SW_MINIMIZE);
    ShowWindow(hwnd_, SW_HIDE);
}

void frmPuleo::mnuTrayClose_Click() { Terminar(); }

void frmPuleo::Form_Unload() {
    frmTerminales::Cerrar();
    modPrincipal::TerminarPrograma();
}

// The end asked for by another program: as "&Salir"; wParam 1 withdraws a request still waiting for
// the turns in progress.
LRESULT frmPuleo::PedidoTerminar(WPARAM que) {
    if (que == ids::kTerminarRetirar) {
        terminarPendiente_ = false;
        AplicarTemporizador();
        return 1;
    }
    if (InSendMessage()) ReplyMessage(1);  // the sender is let go before the process ends
    // A withdrawal already queued behind this request (the sender gave up while this program could
    // not answer) cancels it: the last of the queued requests decides.
    bool terminar = true;
    MSG m;
    while (PeekMessageA(&m, hwnd_, msgTerminar_, msgTerminar_, PM_REMOVE)) terminar = m.wParam != ids::kTerminarRetirar;
    if (terminar) Terminar();
    return 1;
}

// Kept in the release build on purpose, as the GUI tests drive that very build. It is safe there: it
// answers only numbers about the window itself (which icon, the timer's interval, cycles started,
// icon handles), never settings, paths or exchange data; it reads nothing but wParam and changes
// nothing, so a stray sender learns little and can break nothing.
LRESULT frmPuleo::EstadoPrueba(WPARAM que) const {
    switch (que) {
        case ids::kPruebaIndiceIcono: return IndiceIcono;
        case ids::kPruebaIntervaloMs: return tmrAplicado_;
        case ids::kPruebaCiclos: return ciclos_;
        case ids::kPruebaIconoBandeja: return IconoBandejaPresente() ? 1 : 0;
        case ids::kPruebaIconoBandejaHicon: return reinterpret_cast<LRESULT>(IconoBandejaActual());
        case ids::kPruebaIconoVentana: return reinterpret_cast<LRESULT>(IconoVentana());
        default: return 0;
    }
}
