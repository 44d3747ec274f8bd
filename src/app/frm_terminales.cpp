#include "app/frm_terminales.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "app/ayudas_ventana.h"
#include "app/ids_recursos.h"
#include "platform/actividad.h"

namespace {

// Resizable, with a taskbar button of its own: the main window is usually hidden, and an owned
// window would be hidden with it.
constexpr DWORD kEstilo = WS_OVERLAPPEDWINDOW;
constexpr DWORD kEstiloExtendido = 0;
constexpr UINT kRefrescoMs = 1000;

struct Columna {
    const char* titulo;
    int ancho;  // twips
    std::string FilaTerminal::*campo;
};
// Widths in twips at design size; they are shares of the list's width, so that every column shows
// whatever the window's width (1024 pixels at 144 DPI included). A cell cut short shows whole under
// the pointer, and the selected row's failure shows whole below the list.
const Columna kColumnas[] = {
    {"Terminal", 1000, &FilaTerminal::terminal},
    {"Solicitud", 1100, &FilaTerminal::letra},
    {"Espera", 1000, &FilaTerminal::espera},
    {"Situación", 2500, &FilaTerminal::situacion},
    {"Última respuesta", 1600, &FilaTerminal::hora},
    {"Resultado", 2300, &FilaTerminal::resultado},
    {"Duración", 1000, &FilaTerminal::duracion},
    {"Último fallo", 2300, &FilaTerminal::fallo},
    {"Descripción del fallo", 2400, &FilaTerminal::textoFallo},
};
constexpr int kAltoLista = 3000;  // twips: about ten rows
// Room for the list's frame and vertical scroll bar beside the columns.
constexpr int kMargenLista = 420;
// The header above the list, the failure's detail below it, the buttons' row at the bottom.
constexpr int kMargen = 90, kAltoCabecera = 480, kAltoDetalle = 720, kAltoBoton = 360, kAnchoBoton = 2100;

class Ventana {
public:
    explicit Ventana(frmTerminales::Fuente fuente) : fuente_(std::move(fuente)) {}
    ~Ventana() {
        if (letra_ != nullptr) DeleteObject(letra_);
    }
    Ventana(const Ventana&) = delete;
    Ventana& operator=(const Ventana&) = delete;

    static LRESULT CALLBACK Procedimiento(HWND hwnd, UINT mensaje, WPARAM wParam, LPARAM lParam);
    // Size, place, fill and show a window just created.
    void Presentar();

private:
    LRESULT Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam);
    bool CrearLista();
    void AplicarFuente();
    void Refrescar();
    void Disponer(int ancho, int alto);
    void AjustarColumnas();
    void MostrarDetalle();
    void CopiarDiagnostico();
    void PonerTexto(int fila, int columna, const std::string& texto);
    HWND Control(const char* clase, const char* texto, DWORD estilo, int id);
    // Posted, not at once: Esc may come from inside the list's own key handling.
    void Cerrar() { PostMessageA(hwnd_, WM_CLOSE, 0, 0); }

    HWND hwnd_ = nullptr;
    HWND lista_ = nullptr;
    HWND cabecera_ = nullptr, detalle_ = nullptr, diagnostico_ = nullptr, apartadas_ = nullptr;
    HFONT letra_ = nullptr;
    UINT dpi_ = 96;
    frmTerminales::Fuente fuente_;
    std::vector<FilaTerminal> mostradas_;  // what the list shows now
    std::string cabeceraMostrada_, detalleMostrado_;
};

LRESULT CALLBACK Ventana::Procedimiento(HWND hwnd, UINT mensaje, WPARAM wParam, LPARAM lParam) {
    Ventana* ventana = nullptr;
    if (mensaje == WM_NCCREATE) {
        // The window owns its object from here on; WM_NCDESTROY frees it.
        auto* propia = static_cast<std::unique_ptr<Ventana>*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        ventana = propia->release();
        ventana->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(ventana));
    } else {
        ventana = reinterpret_cast<Ventana*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (ventana == nullptr) return DefWindowProcA(hwnd, mensaje, wParam, lParam);
    if (mensaje == WM_NCDESTROY) {
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
        delete ventana;
        return DefWindowProcA(hwnd, mensaje, wParam, lParam);
    }
    // No failure may cross into the system's code. A refresh that fails leaves the rows as they
    // were; the next one tries again, without a box every second.
    try {
        return ventana->Procesar(mensaje, wParam, lParam);
    } catch (...) {
        actividad::AnotarFalloIgnorado("ventana Terminales");
    }
    return 0;
}

LRESULT Ventana::Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam) {
    switch (mensaje) {
        case WM_CREATE:
            if (!CrearLista()) return -1;
            dpi_ = ventana::Dpi(hwnd_);
            AplicarFuente();
            SetTimer(hwnd_, ID_TMR_REFRESCO, kRefrescoMs, nullptr);
            return 0;
        case WM_TIMER:
            if (wParam == ID_TMR_REFRESCO) Refrescar();
            return 0;
        case WM_SIZE: Disponer(LOWORD(lParam), HIWORD(lParam)); return 0;
        case WM_COMMAND:
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_CMD_DIAGNOSTICO) CopiarDiagnostico();
            if (HIWORD(wParam) == BN_CLICKED && LOWORD(wParam) == IDC_CMD_APARTADAS && fuente_.abrirApartadas) {
                fuente_.abrirApartadas();
                Refrescar();
            }
            return 0;
        // The keyboard stays with the list: arrows move through the rows at once.
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                SetFocus(lista_);
                return 0;
            }
            break;
        case WM_SETFOCUS: SetFocus(lista_); return 0;
        case WM_KEYDOWN:
            if (wParam == VK_ESCAPE) {
                Cerrar();
                return 0;
            }
            break;
        case WM_NOTIFY: {
            const auto* aviso = reinterpret_cast<const NMHDR*>(lParam);
            if (aviso->idFrom == IDC_LST_TERMINALES && aviso->code == LVN_KEYDOWN &&
                reinterpret_cast<const NMLVKEYDOWN*>(lParam)->wVKey == VK_ESCAPE)
                Cerrar();
            if (aviso->idFrom == IDC_LST_TERMINALES && aviso->code == LVN_ITEMCHANGED) MostrarDetalle();
            return 0;
        }
        case WM_DPICHANGED: {
            // The columns follow the window's new size (WM_SIZE).
            dpi_ = LOWORD(wParam);
            AplicarFuente();
            ventana::AplicarDpiNuevo(hwnd_, lParam);
            return 0;
        }
        case WM_DESTROY: KillTimer(hwnd_, ID_TMR_REFRESCO); return 0;
        default: break;
    }
    return DefWindowProcA(hwnd_, mensaje, wParam, lParam);
}

HWND Ventana::Control(const char* clase, const char* texto, DWORD estilo, int id) {
    return CreateWindowExA(0, clase, texto, WS_CHILD | WS_VISIBLE | estilo, 0, 0, 0, 0, hwnd_,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                           reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
}

bool Ventana::CrearLista() {
    cabecera_ = Control("STATIC", "", SS_LEFT | SS_NOPREFIX, IDC_LBL_CABECERA);
    detalle_ = Control("STATIC", "", SS_LEFT | SS_NOPREFIX, IDC_LBL_DETALLE);
    diagnostico_ = Control("BUTTON", "&Copiar diagnóstico", WS_TABSTOP | BS_PUSHBUTTON, IDC_CMD_DIAGNOSTICO);
    apartadas_ = Control("BUTTON", "&Abrir no entregadas", WS_TABSTOP | BS_PUSHBUTTON, IDC_CMD_APARTADAS);
    if (cabecera_ == nullptr || detalle_ == nullptr || diagnostico_ == nullptr || apartadas_ == nullptr) return false;
    lista_ = CreateWindowExA(0, WC_LISTVIEWA, "",
                             WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                 LVS_NOSORTHEADER,
                             0, 0, 0, 0, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_LST_TERMINALES)),
                             reinterpret_cast<HINSTANCE>(GetWindowLongPtrA(hwnd_, GWLP_HINSTANCE)), nullptr);
    if (lista_ == nullptr) return false;
    // Whole rows selected; a cell cut short shows its whole text under the pointer.
    const DWORD extendido = LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER | LVS_EX_LABELTIP;
    SendMessageA(lista_, LVM_SETEXTENDEDLISTVIEWSTYLE, extendido, extendido);
    const UINT dpi = ventana::Dpi(hwnd_);
    for (int c = 0; c < static_cast<int>(std::size(kColumnas)); ++c) {
        LVCOLUMNA columna{};
        columna.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        columna.fmt = LVCFMT_LEFT;
        columna.cx = ventana::Pixeles(kColumnas[c].ancho, dpi);
        columna.pszText = const_cast<char*>(kColumnas[c].titulo);
        columna.iSubItem = c;
        if (SendMessageA(lista_, LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&columna)) != c) return false;
    }
    return true;
}

void Ventana::AplicarFuente() {
    const HFONT nueva = ventana::FuenteMensajes(dpi_);
    if (nueva == nullptr) return;
    for (HWND control : {lista_, cabecera_, detalle_, diagnostico_, apartadas_})
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(nueva), TRUE);
    if (letra_ != nullptr) DeleteObject(letra_);
    letra_ = nueva;
}

void Ventana::Disponer(int ancho, int alto) {
    const auto px = [this](int twips) { return ventana::Pixeles(twips, dpi_); };
    const int margen = px(kMargen), altoCabecera = px(kAltoCabecera), altoDetalle = px(kAltoDetalle);
    const int altoBoton = px(kAltoBoton), anchoBoton = px(kAnchoBoton);
    const int arribaBotones = alto - margen - altoBoton;
    const int arribaDetalle = arribaBotones - margen - altoDetalle;
    const int arribaLista = margen + altoCabecera + margen;
    MoveWindow(cabecera_, margen, margen, ancho - 2 * margen, altoCabecera, TRUE);
    MoveWindow(lista_, 0, arribaLista, ancho, std::max(0, arribaDetalle - margen - arribaLista), TRUE);
    MoveWindow(detalle_, margen, arribaDetalle, ancho - 2 * margen, altoDetalle, TRUE);
    MoveWindow(diagnostico_, margen, arribaBotones, anchoBoton, altoBoton, TRUE);
    MoveWindow(apartadas_, 2 * margen + anchoBoton, arribaBotones, anchoBoton, altoBoton, TRUE);
    AjustarColumnas();
}

// Every column gets its share of the list's width.
void Ventana::AjustarColumnas() {
    RECT r{};
    GetClientRect(lista_, &r);
    int total = 0;
    for (const Columna& c : kColumnas) total += c.ancho;
    const int disponible = r.right - r.left;
    if (disponible <= 0) return;
    for (int c = 0; c < static_cast<int>(std::size(kColumnas)); ++c)
        SendMessageA(lista_, LVM_SETCOLUMNWIDTH, c, MulDiv(kColumnas[c].ancho, disponible, total));
}

// The selected row's failure, whole: the list may cut it.
void Ventana::MostrarDetalle() {
    const auto elegida =
        static_cast<int>(SendMessageA(lista_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    std::string texto;
    if (elegida >= 0 && elegida < static_cast<int>(mostradas_.size())) {
        const FilaTerminal& f = mostradas_[static_cast<std::size_t>(elegida)];
        texto = f.terminal + ": " + (f.fallo.empty() ? std::string("sin fallos") : "último fallo en " + f.fallo);
        if (!f.textoFallo.empty()) texto += ": " + f.textoFallo;
    }
    if (texto != detalleMostrado_) {
        detalleMostrado_ = texto;
        SetWindowTextA(detalle_, texto.c_str());
    }
}

// Plain text in the ANSI code page, as every text of the program.
void Ventana::CopiarDiagnostico() {
    if (!fuente_.diagnostico) return;
    const std::string texto = fuente_.diagnostico();
    const HGLOBAL memoria = GlobalAlloc(GMEM_MOVEABLE, texto.size() + 1);
    if (memoria == nullptr) return;
    if (void* destino = GlobalLock(memoria)) {
        std::memcpy(destino, texto.c_str(), texto.size() + 1);
        GlobalUnlock(memoria);
    }
    if (!OpenClipboard(hwnd_)) {
        GlobalFree(memoria);
        return;
    }
    EmptyClipboard();
    // Once set, the clipboard owns the memory.
    if (SetClipboardData(CF_TEXT, memoria) == nullptr) GlobalFree(memoria);
    CloseClipboard();
}

void Ventana::Presentar() {
    // As wide as its columns, within the monitor's working area, and centred there.
    int ancho = kMargenLista;
    for (const Columna& c : kColumnas) ancho += c.ancho;
    const int alto = kAltoLista + kAltoCabecera + kAltoDetalle + kAltoBoton + 5 * kMargen;
    const SIZE tamanio = ventana::TamanioParaCliente(ventana::Pixeles(ancho, dpi_), ventana::Pixeles(alto, dpi_),
                                                     kEstilo, false, kEstiloExtendido, dpi_);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    RECT area{0, 0, tamanio.cx, tamanio.cy};
    if (GetMonitorInfoA(MonitorFromWindow(hwnd_, MONITOR_DEFAULTTONEAREST), &monitor)) area = monitor.rcWork;
    const int anchoArea = area.right - area.left, altoArea = area.bottom - area.top;
    const int cx = std::min<int>(tamanio.cx, anchoArea * 19 / 20), cy = std::min<int>(tamanio.cy, altoArea * 9 / 10);
    SetWindowPos(hwnd_, nullptr, area.left + (anchoArea - cx) / 2, area.top + (altoArea - cy) / 2, cx, cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    Refrescar();
    ShowWindow(hwnd_, SW_SHOW);
    SetForegroundWindow(hwnd_);
    SetFocus(lista_);
}

void Ventana::PonerTexto(int fila, int columna, const std::string& texto) {
    LVITEMA item{};
    item.iSubItem = columna;
    item.pszText = const_cast<char*>(texto.c_str());
    SendMessageA(lista_, LVM_SETITEMTEXTA, static_cast<WPARAM>(fila), reinterpret_cast<LPARAM>(&item));
}

// Only the cells that changed are written: the list does not flicker, and the selection and the
// scroll position stay where the user left them.
void Ventana::Refrescar() {
    if (fuente_.cabecera) {
        const std::string cabecera = fuente_.cabecera();
        if (cabecera != cabeceraMostrada_) {
            cabeceraMostrada_ = cabecera;
            SetWindowTextA(cabecera_, cabecera.c_str());
        }
    }
    std::vector<FilaTerminal> filas = fuente_.filas ? fuente_.filas() : std::vector<FilaTerminal>{};
    const int nuevas = static_cast<int>(filas.size());
    int hay = static_cast<int>(mostradas_.size());
    while (hay > nuevas) SendMessageA(lista_, LVM_DELETEITEM, static_cast<WPARAM>(--hay), 0);
    for (int i = 0; i < nuevas; ++i) {
        const bool nueva = i >= hay;
        if (nueva) {
            LVITEMA item{};
            item.mask = LVIF_TEXT;
            item.iItem = i;
            item.pszText = const_cast<char*>(filas[static_cast<std::size_t>(i)].terminal.c_str());
            if (SendMessageA(lista_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) != i) {
                filas.resize(static_cast<std::size_t>(i));  // shown next time
                break;
            }
        }
        for (int c = 0; c < static_cast<int>(std::size(kColumnas)); ++c) {
            const std::string& texto = filas[static_cast<std::size_t>(i)].*kColumnas[c].campo;
            if (nueva ? (c > 0 && !texto.empty())
                      : texto != mostradas_[static_cast<std::size_t>(i)].*kColumnas[c].campo)
                PonerTexto(i, c, texto);
        }
    }
    mostradas_ = std::move(filas);
    // A row has the keyboard's focus from the start, so that the arrows move from it.
    if (!mostradas_.empty() && SendMessageA(lista_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_FOCUSED) == -1) {
        LVITEMA item{};
        item.stateMask = LVIS_FOCUSED | LVIS_SELECTED;
        item.state = LVIS_FOCUSED | LVIS_SELECTED;
        SendMessageA(lista_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    }
    MostrarDetalle();
}

BOOL CALLBACK EsLaVentana(HWND h, LPARAM hallada) {
    char clase[64] = "";
    GetClassNameA(h, clase, sizeof clase);
    if (std::string(clase) != ids::kClaseTerminales) return TRUE;
    *reinterpret_cast<HWND*>(hallada) = h;
    return FALSE;
}

// The window of this program's thread, when one is open.
HWND Abierta() {
    HWND hallada = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), EsLaVentana, reinterpret_cast<LPARAM>(&hallada));
    return hallada;
}

bool Registrar(HINSTANCE instancia) {
    // The start-up registered the standard controls only.
    INITCOMMONCONTROLSEX controles{sizeof(INITCOMMONCONTROLSEX), ICC_LISTVIEW_CLASSES};
    if (!InitCommonControlsEx(&controles)) return false;
    WNDCLASSEXA clase{};
    clase.cbSize = sizeof clase;
    if (GetClassInfoExA(instancia, ids::kClaseTerminales, &clase)) return true;
    clase.lpfnWndProc = Ventana::Procedimiento;
    clase.hInstance = instancia;
    clase.hIcon = LoadIconA(instancia, MAKEINTRESOURCEA(IDI_ZELNO));
    clase.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    clase.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    clase.lpszClassName = ids::kClaseTerminales;
    return RegisterClassExA(&clase) != 0;
}

}  // namespace

namespace frmTerminales {

void Mostrar(HINSTANCE instancia, Fuente fuente) {
    if (const HWND abierta = Abierta()) {
        if (IsIconic(abierta)) ShowWindow(abierta, SW_RESTORE);
        SetForegroundWindow(abierta);
        return;
    }
    if (!Registrar(instancia)) return;
    auto propia = std::make_unique<Ventana>(std::move(fuente));
    Ventana* const ventana = propia.get();
    const HWND hwnd =
        CreateWindowExA(kEstiloExtendido, ids::kClaseTerminales, ids::kTituloTerminales, kEstilo, CW_USEDEFAULT,
                        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instancia, &propia);
    if (hwnd == nullptr) return;  // the object went with the window, or is still in `propia`
    ventana->Presentar();
}

void Cerrar() {
    if (const HWND abierta = Abierta()) DestroyWindow(abierta);
}

}  // namespace frmTerminales
