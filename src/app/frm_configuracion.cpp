#include "app/frm_configuracion.h"

#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/ayudas_ventana.h"
#include "app/ids_configuracion.h"
#include "app/ids_recursos.h"
#include "app/interfaz_ventana.h"
#include "config/listas_recientes.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

namespace {

using ids::kTituloAplicacion;
using mensajes::kTextoIntervalo;

// Design sizes in twips. The controls inside the frame are placed relative to its corner.
constexpr int kAnchoCliente = 8910, kAltoCliente = 2550;
constexpr int kMarcoIzquierda = 120, kMarcoArriba = 120;
constexpr int kPuntosFuente = 8;  // the size the template gives its font
constexpr int kFilasLista = 8;    // entries a dropped-down list shows before it scrolls

struct Posicion {
    int id;
    int izquierda, arriba, ancho, alto;
    bool enMarco;
};

// The left column starts 60 twips inside the frame, and each of its labels reaches the field it
// names: "Directorio de trabajo Korvane" needs all of that room at 96, 120 and 144 DPI.
constexpr Posicion kPosiciones[] = {
    {IDC_FRAME1, 120, 120, 8715, 1875, false},
    {IDC_LBL_INTERVALO0, 60, 300, 2160, 255, true},
    {IDC_TXT_INTERVALO, 2220, 240, 510, 285, true},
    {IDC_CHK_TX, 2940, 240, 2235, 255, true},
    {IDC_CHK_INICIAR, 5160, 240, 3360, 320, true},
    {IDC_CHK_INICIAR_ZELNO, 60, 660, 2355, 195, true},
    {IDC_LBL_INTERVALO1, 2640, 660, 810, 255, true},
    {IDC_CBO_ZELNO_EXE, 3420, 600, 4935, 315, true},
    {IDC_CMD_BUSCAR_ZELNO_EXE, 8340, 600, 315, 315, true},
    {IDC_LABEL1, 60, 1080, 2160, 195, true},
    {IDC_CBO_DIR_KORVANE, 2220, 1020, 6135, 315, true},
    {IDC_CMD_BUSCAR_DIR_KORVANE, 8340, 1020, 315, 315, true},
    {IDC_LABEL2, 60, 1500, 2160, 255, true},
    {IDC_CBO_DIR_ZELNO, 2220, 1440, 6135, 315, true},
    {IDC_CMD_BUSCAR_DIR_ZELNO, 8340, 1440, 315, 315, true},
    {IDC_CMD_GRABAR, 5940, 2100, 1395, 375, false},
    {IDC_CMD_SALIR, 7440, 2100, 1395, 375, false},
};

bool EsCombo(int id) { return id == IDC_CBO_ZELNO_EXE || id == IDC_CBO_DIR_KORVANE || id == IDC_CBO_DIR_ZELNO; }

// A check box shows 0, 1 or 2 and nothing else.
[[noreturn]] void ValorNoValido() { throw plataforma::ErrorSistema(380, "El valor de la propiedad no es válido"); }

// The shell's folder browser needs COM on this thread; it is left as it was found.
class Com {
public:
    Com() noexcept : iniciado_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~Com() {
        if (iniciado_) CoUninitialize();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;

private:
    bool iniciado_;
};

struct LiberarItem {
    void operator()(ITEMIDLIST* item) const noexcept { CoTaskMemFree(item); }
};
using Item = std::unique_ptr<ITEMIDLIST, LiberarItem>;

// The shell's folder browser over `hWndOwner`, its tree rooted at the special folder `RootFolder`
// (a CSIDL number; the desktop when it cannot be resolved), `sMessage` as its heading and `Browse`
// its BIF_ flags. The chosen item's file-system path, or empty text when the user cancelled or the
// item has none.
std::string BrowseFolders(HWND hWndOwner, const std::string& sMessage, UINT Browse, int RootFolder) {
    Com com;
    LPITEMIDLIST raizCruda = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(hWndOwner, RootFolder, &raizCruda))) raizCruda = nullptr;
    const Item raiz(raizCruda);  // none: the browser starts at the desktop

    BROWSEINFOA info;
    std::memset(&info, 0, sizeof info);
    info.hwndOwner = hWndOwner;
    info.pidlRoot = raiz.get();
    info.pszDisplayName = nullptr;
    info.lpszTitle = sMessage.c_str();
    info.ulFlags = Browse;
    info.lpfn = nullptr;
    const Item elegido(SHBrowseForFolderA(&info));
    if (!elegido) return {};

    char ruta[MAX_PATH];
    std::memset(ruta, 0, sizeof ruta);
    SHGetPathFromIDListA(elegido.get(), ruta);
    return std::string(ruta, strnlen(ruta, sizeof ruta));
}

class frmConfiguracion {
public:
    explicit frmConfiguracion(clsConfiguracion& configuracion) noexcept : Configuracion(configuracion) {}
    ~frmConfiguracion() {
        if (fuente_ != nullptr) DeleteObject(fuente_);
    }
    frmConfiguracion(const frmConfiguracion&) = delete;
    frmConfiguracion& operator=(const frmConfiguracion&) = delete;

    bool Mostrar(HWND propietario) {
        DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_CONFIGURACION), propietario,
                        ProcedimientoDialogo, reinterpret_cast<LPARAM>(this));
        return grabado_;
    }

private:
    static INT_PTR CALLBACK ProcedimientoDialogo(HWND dlg, UINT mensaje, WPARAM wParam, LPARAM lParam);
    INT_PTR Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam);
    void Comando(WORD id, WORD codigo);

    // Handlers
    void Form_Load();
    void cmdGrabar_Click();
    void cmdSalir_Click();
    void chkIniciarZelno_Click();
    void cmdBuscarDirKorvane_Click();
    void cmdBuscarDirZelno_Click();
    void cmdBuscarZelnoExe_Click();

    // The recent-entry lists of the three combo boxes
    void LeerLastDirKorvane();
    void GrabarLastDirKorvane(const std::string& valorNuevo);
    void LeerLastDirExeZelno();
    void GrabarLastDirExeZelno(const std::string& valorNuevo);
    void LeerLastDirZelno();
    void GrabarLastDirZelno(const std::string& valorNuevo);
    void LlenarLista(int idCombo, const ListaReciente& cual);
    void GrabarLista(int idCombo, const ListaReciente& cual, const std::string& valorNuevo);

    // Helpers
    template <typename Paso>
    void PasoDeApertura(Paso&& paso);
    HWND Control(int id) const { return GetDlgItem(dlg_, id); }
    std::string Texto(int id) const;
    void EstablecerTexto(int idCombo, const std::string& texto);
    std::vector<std::string> Lista(int idCombo) const;
    int CuentaLista(int idCombo) const;
    void TextoInicial(int idCombo, const std::string& valor);
    bool EstablecerCheck(int id, std::int16_t valor);
    std::int16_t EstadoCheck(int id) const;
    void Alternar(int id);
    void Buscar(int idCombo, const char* mensajeFijo, UINT banderas);

    // Layout
    void Disponer();
    void CrearFuente(UINT dpi);
    void ColocarCombo(HWND combo, int izquierda, int arriba, int ancho, int alto);
    void Centrar();

    clsConfiguracion& Configuracion;
    HWND dlg_ = nullptr;
    InterfazVentana ui_;  // the recent-entry lists report their failures in boxes owned by the dialog
    HFONT fuente_ = nullptr;
    bool grabado_ = false;
};

INT_PTR CALLBACK frmConfiguracion::ProcedimientoDialogo(HWND dlg, UINT mensaje, WPARAM wParam, LPARAM lParam) {
    frmConfiguracion* formulario = nullptr;
    if (mensaje == WM_INITDIALOG) {
        formulario = reinterpret_cast<frmConfiguracion*>(lParam);
        SetWindowLongPtrA(dlg, DWLP_USER, lParam);
        formulario->dlg_ = dlg;
        formulario->ui_.AsignarDialogo(dlg);
    } else {
        formulario = reinterpret_cast<frmConfiguracion*>(GetWindowLongPtrA(dlg, DWLP_USER));
    }
    if (formulario == nullptr) return FALSE;

    // No failure may cross into the system's code; the dialog stays open after saying what failed.
    try {
        return formulario->Procesar(mensaje, wParam, lParam);
    } catch (...) {
        ventana::Caja(dlg, plataforma::DescripcionFalloEnCurso().c_str(), kTituloAplicacion, MB_OK | MB_ICONERROR);
    }
    return mensaje == WM_INITDIALOG ? TRUE : FALSE;
}

INT_PTR frmConfiguracion::Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam) {
    switch (mensaje) {
        case WM_INITDIALOG: {
            // The dialog lays itself out for each DPI; the dialog manager's own scaling would fight it.
            using SetDialogDpiChangeBehaviorFn = BOOL(WINAPI*)(HWND, int, int);
            constexpr int kDdcDisableAll = 1;
            if (const auto desactivar =
                    ventana::FuncionUser32<SetDialogDpiChangeBehaviorFn>("SetDialogDpiChangeBehavior"))
                desactivar(dlg_, kDdcDisableAll, kDdcDisableAll);
            // The interval field takes any length of text.
            SendDlgItemMessageA(dlg_, IDC_TXT_INTERVALO, EM_LIMITTEXT, 0, 0);
            Disponer();
            Centrar();
            Form_Load();
            return TRUE;
        }
        case WM_COMMAND: Comando(LOWORD(wParam), HIWORD(wParam)); return TRUE;
        case WM_DPICHANGED:
            ventana::AplicarDpiNuevo(dlg_, lParam);
            Disponer();
            return TRUE;
        default: return FALSE;
    }
}

void frmConfiguracion::Comando(WORD id, WORD codigo) {
    switch (id) {
        case IDC_CMD_GRABAR:
            if (codigo == BN_CLICKED) cmdGrabar_Click();
            break;
        case IDC_CMD_SALIR:  // also Esc and the title bar's close button
            cmdSalir_Click();
            break;
        case IDC_CHK_INICIAR_ZELNO:
            if (codigo == BN_CLICKED) {
                Alternar(id);
                chkIniciarZelno_Click();
            }
            break;
        case IDC_CHK_INICIAR:
        case IDC_CHK_TX:
            if (codigo == BN_CLICKED) Alternar(id);
            break;
        case IDC_CMD_BUSCAR_DIR_KORVANE:
            if (codigo == BN_CLICKED) cmdBuscarDirKorvane_Click();
            break;
        case IDC_CMD_BUSCAR_DIR_ZELNO:
            if (codigo == BN_CLICKED) cmdBuscarDirZelno_Click();
            break;
        case IDC_CMD_BUSCAR_ZELNO_EXE:
            if (codigo == BN_CLICKED) cmdBuscarZelnoExe_Click();
            break;
        default:
            // IDOK is Enter in a field: with no default button it does nothing.
            break;
    }
}

// Each step that fails says so and opening goes on with the next one.
template <typename Paso>
void frmConfiguracion::PasoDeApertura(Paso&& paso) {
    try {
        paso();
    } catch (...) {
        const std::string texto =
            mensajes::Rellenar(mensajes::kTextoCargarConfiguracion, {plataforma::DescripcionFalloEnCurso()});
        ventana::Caja(dlg_, texto.c_str(), kTituloAplicacion, MB_OK);
    }
}

void frmConfiguracion::Form_Load() {
    PasoDeApertura([this] { Configuracion.Load(); });
    PasoDeApertura(
        [this] { SetDlgItemTextA(dlg_, IDC_TXT_INTERVALO, std::to_string(Configuracion.Intervalo).c_str()); });
    PasoDeApertura([this] { EstablecerCheck(IDC_CHK_INICIAR, Configuracion.IniciarActivo); });
    PasoDeApertura([this] { EstablecerCheck(IDC_CHK_TX, Configuracion.ActivarTX); });
    PasoDeApertura([this] {
        LeerLastDirExeZelno();
        TextoInicial(IDC_CBO_ZELNO_EXE, Configuracion.ZelnoExe);
    });
    PasoDeApertura([this] {
        LeerLastDirKorvane();
        TextoInicial(IDC_CBO_DIR_KORVANE, Configuracion.DirectorioKorvane);
    });
    PasoDeApertura([this] {
        LeerLastDirZelno();
        TextoInicial(IDC_CBO_DIR_ZELNO, Configuracion.DirectorioZELNO);
    });
    PasoDeApertura([this] {
        if (EstablecerCheck(IDC_CHK_INICIAR_ZELNO, Configuracion.IniciarZelnoExe)) chkIniciarZelno_Click();
    });
    // The check box starts unchecked, so a stored 0 changes nothing above: the field is brought in
    // line with the box whatever the box showed before.
    PasoDeApertura([this] { chkIniciarZelno_Click(); });
}

void frmConfiguracion::cmdGrabar_Click() {
    // Checked before anything changes: a number outside the interval's range leaves the store and
    // the settings as they are.
    const std::optional<std::int16_t> intervalo = NumeroDelIntervalo(Texto(IDC_TXT_INTERVALO));
    if (!intervalo || !IntervaloAdmitido(*intervalo)) {
        ventana::Caja(dlg_, kTextoIntervalo, kTituloAplicacion, MB_OK | MB_ICONEXCLAMATION);
        SendMessageA(dlg_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Control(IDC_TXT_INTERVALO)), TRUE);
        return;
    }
    // Saved all the same, as it always was; but nobody should leave the tills unserved by mistake.
    if (*intervalo == 0)
        ventana::Caja(dlg_, mensajes::kTextoIntervaloCero, kTituloAplicacion, MB_OK | MB_ICONEXCLAMATION);

    // Filled in a copy, so a polling cycle that runs while a list shows its failure sees the old
    // settings, and a store that cannot be written leaves the shared object as the store has it.
    clsConfiguracion nueva = Configuracion;
    nueva.Intervalo = *intervalo;
    nueva.ActivarTX = EstadoCheck(IDC_CHK_TX);
    nueva.IniciarActivo = EstadoCheck(IDC_CHK_INICIAR);
    nueva.IniciarZelnoExe = EstadoCheck(IDC_CHK_INICIAR_ZELNO);
    nueva.DirectorioKorvane = Texto(IDC_CBO_DIR_KORVANE);
    GrabarLastDirKorvane(nueva.DirectorioKorvane);
    nueva.DirectorioZELNO = Texto(IDC_CBO_DIR_ZELNO);
    GrabarLastDirZelno(nueva.DirectorioZELNO);
    nueva.ZelnoExe = Texto(IDC_CBO_ZELNO_EXE);
    GrabarLastDirExeZelno(nueva.ZelnoExe);
    try {
        nueva.Save();
    } catch (...) {
        const std::string texto =
            mensajes::Rellenar(mensajes::kTextoGrabarConfiguracion, {plataforma::DescripcionFalloEnCurso()});
        ventana::Caja(dlg_, texto.c_str(), kTituloAplicacion, MB_OK | MB_ICONERROR);
        return;
    }
    Configuracion = nueva;
    grabado_ = true;
    EndDialog(dlg_, IDOK);
}

// Opening reloaded the settings, so they already equal the store.
void frmConfiguracion::cmdSalir_Click() { EndDialog(dlg_, IDCANCEL); }

void frmConfiguracion::chkIniciarZelno_Click() {
    const HWND combo = Control(IDC_CBO_ZELNO_EXE);
    const HWND boton = Control(IDC_CMD_BUSCAR_ZELNO_EXE);
    switch (IsDlgButtonChecked(dlg_, IDC_CHK_INICIAR_ZELNO)) {
        case BST_CHECKED:
            if (CuentaLista(IDC_CBO_ZELNO_EXE) > 0) SendMessageA(combo, CB_SETCURSEL, 0, 0);
            EnableWindow(combo, TRUE);
            EnableWindow(boton, TRUE);
            break;
        case BST_UNCHECKED:
            // Disabled rather than read-only: neither typing nor the drop-down list can change it.
            EstablecerTexto(IDC_CBO_ZELNO_EXE, "");
            EnableWindow(combo, FALSE);
            EnableWindow(boton, FALSE);
            break;
        default:  // grayed: loaded from the store, left as it is
            break;
    }
}

void frmConfiguracion::cmdBuscarDirKorvane_Click() { Buscar(IDC_CBO_DIR_KORVANE, nullptr, BIF_RETURNONLYFSDIRS); }

void frmConfiguracion::cmdBuscarDirZelno_Click() { Buscar(IDC_CBO_DIR_ZELNO, nullptr, BIF_RETURNONLYFSDIRS); }

void frmConfiguracion::cmdBuscarZelnoExe_Click() { Buscar(IDC_CBO_ZELNO_EXE, "Mensaje", BIF_BROWSEINCLUDEFILES); }

// The folder buttons show the current folder as the browser's heading; a cancelled or pathless
// choice puts the previous text back, trimmed.
void frmConfiguracion::Buscar(int idCombo, const char* mensajeFijo, UINT banderas) {
    try {
        const std::string previo(SinBlancosExtremos(Texto(idCombo)));
        const std::string mensaje = mensajeFijo != nullptr ? std::string(mensajeFijo) : previo;
        EstablecerTexto(idCombo, BrowseFolders(dlg_, mensaje, banderas, CSIDL_DRIVES));
        if (SinBlancosExtremos(Texto(idCombo)).empty()) EstablecerTexto(idCombo, previo);
    } catch (...) {
        const std::string texto =
            mensajes::Rellenar(mensajes::kTextoSiguienteError, {plataforma::DescripcionFalloEnCurso()});
        ventana::Caja(dlg_, texto.c_str(), kTituloAplicacion, MB_OK | MB_ICONERROR);
    }
}

void frmConfiguracion::LeerLastDirKorvane() { LlenarLista(IDC_CBO_DIR_KORVANE, kLastDirKorvane); }

void frmConfiguracion::GrabarLastDirKorvane(const std::string& valorNuevo) {
    GrabarLista(IDC_CBO_DIR_KORVANE, kLastDirKorvane, valorNuevo);
}

void frmConfiguracion::LeerLastDirExeZelno() { LlenarLista(IDC_CBO_ZELNO_EXE, kLastDirExeZelno); }

void frmConfiguracion::GrabarLastDirExeZelno(const std::string& valorNuevo) {
    GrabarLista(IDC_CBO_ZELNO_EXE, kLastDirExeZelno, valorNuevo);
}

void frmConfiguracion::LeerLastDirZelno() { LlenarLista(IDC_CBO_DIR_ZELNO, kLastDirZelno); }

void frmConfiguracion::GrabarLastDirZelno(const std::string& valorNuevo) {
    GrabarLista(IDC_CBO_DIR_ZELNO, kLastDirZelno, valorNuevo);
}

void frmConfiguracion::LlenarLista(int idCombo, const ListaReciente& cual) {
    std::vector<std::string> lista;
    LeerListaReciente(Configuracion.Aplicacion(), cual, lista, ui_);
    for (const std::string& entrada : lista)
        SendDlgItemMessageA(dlg_, idCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entrada.c_str()));
}

void frmConfiguracion::GrabarLista(int idCombo, const ListaReciente& cual, const std::string& valorNuevo) {
    GrabarListaReciente(Configuracion.Aplicacion(), cual, valorNuevo, Lista(idCombo), ui_);
}

std::string frmConfiguracion::Texto(int id) const {
    const HWND control = Control(id);
    const int largo = GetWindowTextLengthA(control);
    if (largo <= 0) return {};
    std::string texto(static_cast<std::size_t>(largo) + 1, '\0');
    const int leidos = GetWindowTextA(control, texto.data(), largo + 1);
    texto.resize(static_cast<std::size_t>(std::max(leidos, 0)));
    return texto;
}

// The text of a combo box's field; no entry of its list stays selected.
void frmConfiguracion::EstablecerTexto(int idCombo, const std::string& texto) {
    SendDlgItemMessageA(dlg_, idCombo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    SetDlgItemTextA(dlg_, idCombo, texto.c_str());
}

int frmConfiguracion::CuentaLista(int idCombo) const {
    const LRESULT cuenta = SendDlgItemMessageA(dlg_, idCombo, CB_GETCOUNT, 0, 0);
    return cuenta > 0 ? static_cast<int>(cuenta) : 0;
}

std::vector<std::string> frmConfiguracion::Lista(int idCombo) const {
    std::vector<std::string> lista;
    const int cuenta = CuentaLista(idCombo);
    for (int i = 0; i < cuenta; ++i) {
        const LRESULT largo = SendDlgItemMessageA(dlg_, idCombo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::string entrada(largo > 0 ? static_cast<std::size_t>(largo) + 1 : 1, '\0');
        const LRESULT leidos = largo > 0 ? SendDlgItemMessageA(dlg_, idCombo, CB_GETLBTEXT, static_cast<WPARAM>(i),
                                                               reinterpret_cast<LPARAM>(entrada.data()))
                                         : 0;
        entrada.resize(leidos > 0 ? static_cast<std::size_t>(leidos) : 0);
        lista.push_back(std::move(entrada));
    }
    return lista;
}

// With recent entries the field shows the most recent one; without, the setting itself.
void frmConfiguracion::TextoInicial(int idCombo, const std::string& valor) {
    if (CuentaLista(idCombo) == 0)
        EstablecerTexto(idCombo, valor);
    else
        SendDlgItemMessageA(dlg_, idCombo, CB_SETCURSEL, 0, 0);
}

// True when the box's state changed.
bool frmConfiguracion::EstablecerCheck(int id, std::int16_t valor) {
    if (valor < BST_UNCHECKED || valor > BST_INDETERMINATE) ValorNoValido();
    const UINT antes = IsDlgButtonChecked(dlg_, id);
    CheckDlgButton(dlg_, id, static_cast<UINT>(valor));
    return antes != static_cast<UINT>(valor);
}

std::int16_t frmConfiguracion::EstadoCheck(int id) const {
    return static_cast<std::int16_t>(IsDlgButtonChecked(dlg_, id));
}

// The boxes are three-state so that a stored 2 can show; a click only ever checks or unchecks.
void frmConfiguracion::Alternar(int id) {
    CheckDlgButton(dlg_, id, IsDlgButtonChecked(dlg_, id) == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED);
}

void frmConfiguracion::Disponer() {
    const UINT dpi = ventana::Dpi(dlg_);
    const auto pixeles = [dpi](int twips) { return ventana::Pixeles(twips, dpi); };
    CrearFuente(dpi);

    const DWORD estilo = static_cast<DWORD>(GetWindowLongPtrA(dlg_, GWL_STYLE));
    const DWORD extendido = static_cast<DWORD>(GetWindowLongPtrA(dlg_, GWL_EXSTYLE));
    const SIZE tamanio =
        ventana::TamanioParaCliente(pixeles(kAnchoCliente), pixeles(kAltoCliente), estilo, false, extendido, dpi);
    SetWindowPos(dlg_, nullptr, 0, 0, tamanio.cx, tamanio.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (const Posicion& p : kPosiciones) {
        const int x = p.izquierda + (p.enMarco ? kMarcoIzquierda : 0);
        const int y = p.arriba + (p.enMarco ? kMarcoArriba : 0);
        // Each edge converted on its own, so controls that meet in twips meet in pixels.
        const int izquierda = pixeles(x), arriba = pixeles(y);
        const int ancho = pixeles(x + p.ancho) - izquierda, alto = pixeles(y + p.alto) - arriba;
        const HWND control = Control(p.id);
        if (EsCombo(p.id))
            ColocarCombo(control, izquierda, arriba, ancho, alto);
        else
            SetWindowPos(control, nullptr, izquierda, arriba, ancho, alto, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(dlg_, nullptr, TRUE);
}

// The template's font face at the window's DPI, for every control.
void frmConfiguracion::CrearFuente(UINT dpi) {
    LOGFONTA fuente{};
    const HFONT plantilla = reinterpret_cast<HFONT>(SendMessageA(dlg_, WM_GETFONT, 0, 0));
    if (plantilla == nullptr || GetObjectA(plantilla, sizeof fuente, &fuente) == 0)
        GetObjectA(GetStockObject(DEFAULT_GUI_FONT), sizeof fuente, &fuente);
    fuente.lfHeight = -MulDiv(kPuntosFuente, static_cast<int>(dpi), 72);
    fuente.lfWidth = 0;
    const HFONT nueva = CreateFontIndirectA(&fuente);
    if (nueva == nullptr) return;  // the controls keep the template's font
    for (HWND hijo = GetWindow(dlg_, GW_CHILD); hijo != nullptr; hijo = GetWindow(hijo, GW_HWNDNEXT))
        SendMessageA(hijo, WM_SETFONT, reinterpret_cast<WPARAM>(nueva), TRUE);
    if (fuente_ != nullptr) DeleteObject(fuente_);
    fuente_ = nueva;
}

// A combo box's window height counts its dropped-down list; the field's own height follows from
// the item height of the field, which is set so the field is as tall as designed (never shorter
// than its text).
void frmConfiguracion::ColocarCombo(HWND combo, int izquierda, int arriba, int ancho, int alto) {
    RECT r;
    GetWindowRect(combo, &r);
    const int campo = r.bottom - r.top;
    const int item = static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
    int altoTexto = 0;
    if (const HDC dc = GetDC(combo)) {
        const HGDIOBJ antes = SelectObject(dc, fuente_ != nullptr ? fuente_ : GetStockObject(DEFAULT_GUI_FONT));
        TEXTMETRICA tm{};
        if (GetTextMetricsA(dc, &tm)) altoTexto = tm.tmHeight;
        SelectObject(dc, antes);
        ReleaseDC(combo, dc);
    }
    if (item > 0 && campo > 0) {
        const int deseado = std::max(item + alto - campo, altoTexto);
        if (deseado != item) SendMessageA(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), deseado);
    }
    const int fila = std::max(static_cast<int>(SendMessageA(combo, CB_GETITEMHEIGHT, 0, 0)), 1);
    SetWindowPos(combo, nullptr, izquierda, arriba, ancho, alto + fila * kFilasLista + 2,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

// In the middle of the work area of the dialog's monitor, as the template's centring did for the
// template's size.
void frmConfiguracion::Centrar() {
    RECT r;
    GetWindowRect(dlg_, &r);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    if (!GetMonitorInfoA(MonitorFromWindow(dlg_, MONITOR_DEFAULTTONEAREST), &monitor)) return;
    const RECT& area = monitor.rcWork;
    const int x = area.left + ((area.right - area.left) - (r.right - r.left)) / 2;
    const int y = area.top + ((area.bottom - area.top) - (r.bottom - r.top)) / 2;
    SetWindowPos(dlg_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

bool MostrarConfiguracion(HWND propietario, clsConfiguracion& configuracion) {
    frmConfiguracion formulario(configuracion);
    return formulario.Mostrar(propietario);
}
