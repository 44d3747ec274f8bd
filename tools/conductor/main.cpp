// conductor.exe: drives Tramiza.exe from outside, one action per call: for the GUI tests, the demo,
// the guide's screenshots, the bench and the installer's test.
//
//   conductor ACTION ARGUMENTS...
//
// Exit code 0 when the action succeeded, 1 when it failed (the reason on stderr), 2 for a wrong
// call. Results go to stdout as UTF-8, one per line. A window is named by a VENTANA: frmPuleo,
// frmAbout, frmTerminales, a window class, "titulo:TEXT", "dialogo:TEXT" (a dialog box with that caption) or a
// handle "0x...". Controls, menu items and the introspection values may be given by the names of
// the program (lblProceso, mnuFileExit, IndiceIcono...) or by number. When the environment
// variable CONDUCTOR_ESCRITORIO names a desktop, windows are looked for on that desktop.
//
// Windows:
//   esperar-ventana CLASS|- TITLE|- MS   waits for a top-level window, prints its handle
//   esperar-sin-ventana VENTANA MS          waits until the window is gone
//   esperar-visible VENTANA 0|1 MS          waits until the window is hidden (0) or visible (1)
//   contar-ventanas VENTANA                 top-level windows that VENTANA names
//   titulo VENTANA | texto VENTANA ID          caption of a window | text of one of its controls
//   esperar-texto VENTANA ID TEXT MS        waits until the control shows TEXT
//   estado-check VENTANA ID                 0, 1 or 2
//   habilitado VENTANA ID                   1 when the control is enabled, else 0
//   foco VENTANA                            id of the window's control that has the keyboard focus
//   escribir VENTANA ID TEXT                sets the control's text (WM_SETTEXT)
//   visible VENTANA | minimizada VENTANA       1 or 0
//   presentacion VENTANA                    "visible|oculta normal|minimizada|maximizada"
//   icono VENTANA [grande|pequeno]          the handle WM_GETICON gives, as a number (Wine 8 cannot
//                                        pass WM_GETICON between processes: Windows only)
//   click VENTANA ID                        BM_CLICK on the control, sent (returns after the handler)
//   pulsar VENTANA ID                       posts the button's WM_COMMAND to the dialog
//   comando VENTANA ID                      posts WM_COMMAND (a menu item)
//   mensaje VENTANA MSG WPARAM LPARAM       posts a message
//   tecla VENTANA VK [ID]                   posts WM_KEYDOWN and WM_KEYUP (to the control ID)
//   enviar-comando VENTANA ID               sends WM_COMMAND (a menu item): returns after the handler
//   consulta VENTANA NAME WPARAM            sends the registered message NAME, prints the result
//   esperar-consulta VENTANA NAME WPARAM eq|ne|gt VALUE MS
//   latencia VENTANA MS INTERVALO_MS        for MS, every INTERVALO_MS, sends TramizaEstadoPrueba and
//                                        times the answer; prints "envios=N maximo_ms=M sin_respuesta=K"
//                                        (K: no answer within 10 s)
//   cerrar VENTANA                          posts WM_SYSCOMMAND SC_CLOSE (the title bar's close)
//   controles VENTANA                       every child: id, class, text
//   rectangulo VENTANA                      left, top, width and height on the screen
//   etiquetas VENTANA                       its one-line labels and check boxes, with the part of
//                                        the screen where each can show its text (up to its own
//                                        edge or the next control on its line): "ID<TAB>left top
//                                        width height<TAB>text"
//   lista VENTANA ID                        a report list view: its column titles, then each row,
//                                        cells separated by tabs (read in the program's memory: a
//                                        conductor of the same bitness as the program)
//   seleccion VENTANA ID                    the list view's selected row, -1 for none
//   raton X Y                               moves the mouse pointer (SetCursorPos)
// Message boxes (a visible top-level #32770 with the text control of MessageBox):
//   caja-mensaje MS [TITLE]              waits for one, prints its title and its text
//   pulsar-ok MS [TITLE]                 presses its OK button and waits until it is gone
//   contar-cajas [TITLE]                 message boxes open now (with that title)
// Processes:
//   procesos NAME                        process ids whose executable ends with NAME
//   contar-procesos NAME
//   esperar-procesos NAME N MS           waits until exactly N of them run
//   terminar PID
// Settings of Tramiza (HKCU\Software\VB and VBA Program Settings\Tramiza\SECTION, value Tramiza):
//   ajuste SECTION VALUE | leer-ajuste SECTION | borrar-ajustes
//   borrar-intercambios                  removes the records of exchanges in progress that the program
//                                        keeps (%LOCALAPPDATA%\Tramiza\Intercambios): a test's terminal
//                                        folders have the same paths at every run
// Files (Windows paths):
//   existe FILE                          1 or 0
//   bloquear FILE MS [SOLTAR]            opens FILE with no sharing and holds it for MS, or until the
//                                        file SOLTAR exists; prints "bloqueado" once it holds it
//   tras-borrado FILE MS ACTION... [+ ACTION...]  FILE must be there: prints "vigilando", waits until
//                                        FILE is gone, then runs the actions at once, one after
//                                        another, in this same process
//   titular FILE EQUIPO USUARIO SESION MS SOLTAR  holds FILE as Tramiza holds its lock files, naming
//                                        that computer, user and session, this process and the time
//                                        now; prints "tomado" once it holds it, "soltado" when it lets
//                                        go (MS passed or SOLTAR exists): another PC's Tramiza
//   otra-sesion EQUIPO USUARIO SESION MS SOLTAR  a Tramiza of another session of this PC, as well as
//                                        Wine can show one: Tramiza's machine-wide mutex and its
//                                        instance record (as titular), and no window
// Other:
//   sin-sesion MS PROGRAM [ARGS...]      runs PROGRAM on a window station of its own, which shows no
//                                        window (not WinSta0: what a service or a rollout tool as
//                                        SYSTEM has in session 0), waits MS for its end and prints its
//                                        exit code
//   descripcion-error N                  the system's description of error N, without line ends
//   hklm-poner KEY VALUE TEXT            sets a REG_SZ value under HKEY_LOCAL_MACHINE
//   hklm-sin-valor KEY VALUE             removes a value under HKEY_LOCAL_MACHINE if present
// (HKEY_LOCAL_MACHINE is seen the way a program of this one's bitness sees it.)

#include <windows.h>
#include <shlobj.h>
#include <tlhelp32.h>

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <commctrl.h>

#include "app/ids_recursos.h"
#include "platform/cerrojo.h"

namespace {

const char* const kClaveAjustes = "Software\\VB and VBA Program Settings\\Tramiza";
constexpr UINT kEsperaEnvioMs = 10000;

struct Fallo : std::runtime_error {
    using std::runtime_error::runtime_error;
};
struct MalUso : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// ANSI text of the windows (CP_ACP) to the UTF-8 the shell compares with.
std::string Utf8(const std::string& ansi) {
    if (ansi.empty()) return ansi;
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring ancho(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), ancho.data(), n);
    const int m = WideCharToMultiByte(CP_UTF8, 0, ancho.data(), n, nullptr, 0, nullptr, nullptr);
    std::string r(static_cast<std::size_t>(m), '\0');
    WideCharToMultiByte(CP_UTF8, 0, ancho.data(), n, r.data(), m, nullptr, nullptr);
    return r;
}

void Imprimir(const std::string& texto) {
    std::fwrite(texto.data(), 1, texto.size(), stdout);
    std::fputc('\n', stdout);
}

long long Numero(const std::string& texto) {
    char* fin = nullptr;
    const long long v = std::strtoll(texto.c_str(), &fin, 0);
    if (texto.empty() || *fin != '\0') throw MalUso("no es un numero: " + texto);
    return v;
}

// Names of the program's controls, menu items and introspection values, so the scripts read like
// the program they test.
long long Identificador(const std::string& texto) {
    static const std::map<std::string, long long> kNombres = {
        {"lblProceso", IDC_LBL_PROCESO},
        {"chkConected", IDC_CHK_CONECTED},
        {"mnuConfiguracion", IDM_CONFIGURACION},
        {"mnuFileClose", IDM_FILE_CLOSE},
        {"mnuFileAbout", IDM_FILE_ABOUT},
        {"mnuFileExit", IDM_FILE_EXIT},
        {"mnuTrayShow", IDM_TRAY_SHOW},
        {"mnuTrayHide", IDM_TRAY_HIDE},
        {"mnuTrayClose", IDM_TRAY_CLOSE},
        {"mnuTerminales", IDM_TERMINALES},
        {"mnuTrayTerminales", IDM_TRAY_TERMINALES},
        {"lstTerminales", IDC_LST_TERMINALES},
        {"lblCabecera", IDC_LBL_CABECERA},
        {"cmdDiagnostico", IDC_CMD_DIAGNOSTICO},
        {"cmdApartadas", IDC_CMD_APARTADAS},
        {"mnuActividad", IDM_ACTIVIDAD},
        {"mnuTrayRegistros", IDM_TRAY_ACTIVIDAD},
        {"lblTitle", IDC_LBL_TITLE},
        {"lblVersion", IDC_LBL_VERSION},
        {"lblDescription", IDC_LBL_DESCRIPTION},
        {"lblDisclaimer", IDC_LBL_DISCLAIMER},
        {"cmdSysInfo", IDC_CMD_SYSINFO},
        {"picIcon", IDC_PIC_ICON},
        {"cmdOK", IDOK},
        {"IndiceIcono", ids::kPruebaIndiceIcono},
        {"IntervaloMs", ids::kPruebaIntervaloMs},
        {"Ciclos", ids::kPruebaCiclos},
        {"IconoBandeja", ids::kPruebaIconoBandeja},
        {"IconoBandejaHicon", ids::kPruebaIconoBandejaHicon},
        {"Servicio", ids::kPruebaServicio},
    };
    const auto it = kNombres.find(texto);
    return it != kNombres.end() ? it->second : Numero(texto);
}

std::string Manejador(HWND h) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<UINT_PTR>(h)));
    return buf;
}

bool Esperar(long long ms, const std::function<bool()>& listo) {
    const auto limite = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
        if (listo()) return true;
        if (std::chrono::steady_clock::now() >= limite) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}

// The tests run Tramiza on a desktop of its own; a thread sees the windows of its desktop only.
// The desktop may not exist yet while the program starts, or any more once it has ended.
bool EntrarEnEscritorio() {
    static bool dentro = false;
    const char* nombre = std::getenv("CONDUCTOR_ESCRITORIO");
    if (dentro || nombre == nullptr || *nombre == '\0') return true;
    HDESK escritorio = OpenDesktopA(nombre, 0, FALSE, GENERIC_ALL);
    if (escritorio == nullptr) return false;
    if (!SetThreadDesktop(escritorio)) throw Fallo("no se puede usar el escritorio " + std::string(nombre));
    dentro = true;
    return true;
}

std::string Clase(HWND h) {
    char buf[256] = "";
    GetClassNameA(h, buf, sizeof buf);
    return buf;
}

std::string Texto(HWND h) {
    const int n = GetWindowTextLengthA(h);
    if (n <= 0) return "";
    std::string r(static_cast<std::size_t>(n) + 1, '\0');
    const int leidos = GetWindowTextA(h, r.data(), n + 1);
    r.resize(static_cast<std::size_t>(leidos > 0 ? leidos : 0));
    return r;
}

BOOL CALLBACK Recoger(HWND h, LPARAM lista) {
    reinterpret_cast<std::vector<HWND>*>(lista)->push_back(h);
    return TRUE;
}

std::vector<HWND> VentanasSuperiores() {
    std::vector<HWND> r;
    if (!EntrarEnEscritorio()) return r;
    EnumWindows(Recoger, reinterpret_cast<LPARAM>(&r));
    return r;
}

// A MessageBox box: a dialog whose text control has the id MessageBox gives it.
bool EsCajaMensaje(HWND h) { return Clase(h) == "#32770" && IsWindowVisible(h) && GetDlgItem(h, 0xFFFF) != nullptr; }

// `titulo` as the command line gave it, in the same ANSI code page as the window's text.
bool EsCajaTitulada(HWND h, const std::string& titulo) {
    return EsCajaMensaje(h) && (titulo.empty() || Texto(h) == titulo);
}

HWND BuscarCaja(const std::string& titulo) {
    for (HWND h : VentanasSuperiores())
        if (EsCajaTitulada(h, titulo)) return h;
    return nullptr;
}

// Every top-level window that VENTANA names, in z-order.
std::vector<HWND> Todas(const std::string& ventana) {
    if (ventana.rfind("0x", 0) == 0) {
        const HWND h = reinterpret_cast<HWND>(static_cast<UINT_PTR>(Numero(ventana)));
        return IsWindow(h) ? std::vector<HWND>{h} : std::vector<HWND>{};
    }
    std::string clase = ventana, titulo;
    bool soloTitulo = false;
    if (ventana == "frmPuleo") {
        clase = ids::kClasePuleo;
    } else if (ventana == "frmTerminales") {
        clase = ids::kClaseTerminales;
    } else if (ventana == "frmAbout") {
        clase = "#32770";
        titulo = ids::kTituloAbout;
    } else if (ventana.rfind("titulo:", 0) == 0) {
        titulo = ventana.substr(7);
        soloTitulo = true;
    } else if (ventana.rfind("dialogo:", 0) == 0) {
        clase = "#32770";
        titulo = ventana.substr(8);
    }
    std::vector<HWND> r;
    for (HWND h : VentanasSuperiores()) {
        if (!soloTitulo && Clase(h) != clase) continue;
        if ((soloTitulo || !titulo.empty()) && Utf8(Texto(h)) != titulo) continue;
        r.push_back(h);
    }
    return r;
}

HWND Buscar(const std::string& ventana) {
    const std::vector<HWND> r = Todas(ventana);
    return r.empty() ? nullptr : r.front();
}

LRESULT Enviar(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    DWORD_PTR resultado = 0;
    if (!SendMessageTimeoutA(h, msg, wp, lp, SMTO_ABORTIFHUNG, kEsperaEnvioMs, &resultado))
        throw Fallo("la ventana " + Manejador(h) + " no responde al mensaje " + std::to_string(msg));
    return static_cast<LRESULT>(resultado);
}

// A control's own text: another process's edit box keeps it where only WM_GETTEXT reaches.
std::string TextoControl(HWND h) {
    const LRESULT n = Enviar(h, WM_GETTEXTLENGTH, 0, 0);
    if (n <= 0) return "";
    std::string r(static_cast<std::size_t>(n) + 1, '\0');
    const LRESULT leidos = Enviar(h, WM_GETTEXT, r.size(), reinterpret_cast<LPARAM>(r.data()));
    r.resize(static_cast<std::size_t>(leidos > 0 ? leidos : 0));
    return r;
}

HWND Ventana(const std::string& ventana) {
    const HWND h = Buscar(ventana);
    if (h == nullptr) throw Fallo("no hay ventana " + ventana);
    return h;
}

// Where a window's one-line labels and check boxes can show their text: from the control's left
// edge to its right edge, or to the control to its right on the same line when that comes first.
// "ID<TAB>left top width height<TAB>text", on the screen.
std::vector<std::string> ZonasEtiquetas(HWND ventana) {
    std::vector<HWND> hijos;
    EnumChildWindows(ventana, Recoger, reinterpret_cast<LPARAM>(&hijos));
    const auto visible = [](HWND h) { return (GetWindowLongA(h, GWL_STYLE) & WS_VISIBLE) != 0; };
    const auto rect = [](HWND h) {
        RECT r{};
        GetWindowRect(h, &r);
        return r;
    };
    std::vector<std::string> zonas;
    for (HWND h : hijos) {
        const LONG estilo = GetWindowLongA(h, GWL_STYLE);
        const std::string clase = Clase(h);
        const bool etiqueta =
            clase == "Static" && ((estilo & SS_TYPEMASK) == SS_LEFTNOWORDWRAP || (estilo & SS_TYPEMASK) == SS_SIMPLE);
        const LONG boton = estilo & BS_TYPEMASK;
        const bool check = clase == "Button" && (boton == BS_CHECKBOX || boton == BS_AUTOCHECKBOX ||
                                                 boton == BS_3STATE || boton == BS_AUTO3STATE);
        // Visible by its own style: the window may not show yet.
        if (!(etiqueta || check) || !visible(h)) continue;
        const std::string texto = TextoControl(h);
        if (texto.empty()) continue;
        const RECT r = rect(h);
        LONG derecha = r.right;
        for (HWND otro : hijos) {
            if (otro == h || !visible(otro) || GetParent(otro) != GetParent(h)) continue;
            if (Clase(otro) == "Button" && (GetWindowLongA(otro, GWL_STYLE) & BS_TYPEMASK) == BS_GROUPBOX) continue;
            const RECT o = rect(otro);
            if (o.top < r.bottom && o.bottom > r.top && o.left > r.left) derecha = std::min(derecha, o.left);
        }
        zonas.push_back(std::to_string(GetDlgCtrlID(h)) + "\t" + std::to_string(r.left) + " " + std::to_string(r.top) +
                        " " + std::to_string(derecha - r.left) + " " + std::to_string(r.bottom - r.top) + "\t" +
                        Utf8(texto));
    }
    return zonas;
}

HWND Control(const std::string& ventana, const std::string& id) {
    const HWND padre = Ventana(ventana);
    const HWND h = GetDlgItem(padre, static_cast<int>(Identificador(id)));
    if (h == nullptr) throw Fallo("la ventana " + ventana + " no tiene el control " + id);
    return h;
}

void Publicar(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (!PostMessageA(h, msg, wp, lp)) throw Fallo("no se puede enviar el mensaje a " + Manejador(h));
}

LRESULT Consulta(const std::string& ventana, const std::string& nombre, const std::string& wp) {
    const UINT msg = RegisterWindowMessageA(nombre.c_str());
    if (msg == 0) throw Fallo("no se puede registrar el mensaje " + nombre);
    return Enviar(Ventana(ventana), msg, static_cast<WPARAM>(Identificador(wp)), 0);
}

std::string Presentacion(HWND h) {
    std::string r = IsWindowVisible(h) ? "visible" : "oculta";
    if (IsIconic(h))
        r += " minimizada";
    else if (IsZoomed(h))
        r += " maximizada";
    else
        r += " normal";
    return r;
}

bool TerminaCon(std::string nombre, std::string fin) {
    if (fin.size() > nombre.size()) return false;
    CharLowerBuffA(nombre.data(), static_cast<DWORD>(nombre.size()));
    CharLowerBuffA(fin.data(), static_cast<DWORD>(fin.size()));
    return nombre.compare(nombre.size() - fin.size(), fin.size(), fin) == 0;
}

std::vector<DWORD> Procesos(const std::string& nombre) {
    std::vector<DWORD> r;
    const HANDLE instantanea = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (instantanea == INVALID_HANDLE_VALUE) throw Fallo("no se pueden leer los procesos");
    PROCESSENTRY32 entrada;
    std::memset(&entrada, 0, sizeof entrada);
    entrada.dwSize = sizeof entrada;
    for (BOOL hay = Process32First(instantanea, &entrada); hay; hay = Process32Next(instantanea, &entrada))
        if (TerminaCon(entrada.szExeFile, nombre)) r.push_back(entrada.th32ProcessID);
    CloseHandle(instantanea);
    return r;
}

void Ajuste(const std::string& seccion, const std::string& valor) {
    HKEY clave = nullptr;
    const std::string ruta = std::string(kClaveAjustes) + "\\" + seccion;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, ruta.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &clave, nullptr) !=
        ERROR_SUCCESS)
        throw Fallo("no se puede crear la clave " + ruta);
    const LONG r = RegSetValueExA(clave, "Tramiza", 0, REG_SZ, reinterpret_cast<const BYTE*>(valor.c_str()),
                                  static_cast<DWORD>(valor.size() + 1));
    RegCloseKey(clave);
    if (r != ERROR_SUCCESS) throw Fallo("no se puede escribir el ajuste " + seccion);
}

std::string LeerAjuste(const std::string& seccion) {
    const std::string ruta = std::string(kClaveAjustes) + "\\" + seccion;
    char buf[1024];
    DWORD largo = sizeof buf;
    if (RegGetValueA(HKEY_CURRENT_USER, ruta.c_str(), "Tramiza", RRF_RT_REG_SZ, nullptr, buf, &largo) != ERROR_SUCCESS)
        throw Fallo("no hay ajuste " + seccion);
    return buf;
}

void BorrarAjustes() {
    const LONG r = RegDeleteTreeA(HKEY_CURRENT_USER, kClaveAjustes);
    if (r != ERROR_SUCCESS && r != ERROR_FILE_NOT_FOUND) throw Fallo("no se pueden borrar los ajustes");
    RegDeleteKeyA(HKEY_CURRENT_USER, kClaveAjustes);
}

void BorrarIntercambios() {
    char base[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA("LOCALAPPDATA", base, sizeof base);
    if (n == 0 || n >= sizeof base) throw Fallo("no hay LOCALAPPDATA");
    const std::string carpeta = std::string(base) + "\\Tramiza\\Intercambios\\";
    WIN32_FIND_DATAA datos;
    const HANDLE busqueda = FindFirstFileA((carpeta + "*").c_str(), &datos);
    if (busqueda == INVALID_HANDLE_VALUE) return;  // no record yet
    bool ok = true;
    do {
        if ((datos.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            ok = DeleteFileA((carpeta + datos.cFileName).c_str()) && ok;
    } while (FindNextFileA(busqueda, &datos));
    FindClose(busqueda);
    if (!ok) throw Fallo("no se pueden borrar los registros de " + carpeta);
}

void PonerHklm(const std::string& ruta, const std::string& valor, const std::string& texto) {
    HKEY clave = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, ruta.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &clave, nullptr) !=
        ERROR_SUCCESS)
        throw Fallo("no se puede crear la clave " + ruta);
    const LONG r = RegSetValueExA(clave, valor.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(texto.c_str()),
                                  static_cast<DWORD>(texto.size() + 1));
    RegCloseKey(clave);
    if (r != ERROR_SUCCESS) throw Fallo("no se puede escribir el valor " + valor);
}

std::string SinValorHklm(const std::string& ruta, const std::string& valor) {
    HKEY clave = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, ruta.c_str(), 0, KEY_ALL_ACCESS, &clave) != ERROR_SUCCESS) return "ausente";
    std::string r = "ausente";
    if (RegQueryValueExA(clave, valor.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        if (RegDeleteValueA(clave, valor.c_str()) != ERROR_SUCCESS) {
            RegCloseKey(clave);
            throw Fallo("no se puede borrar el valor " + valor);
        }
        r = "borrado";
    }
    RegCloseKey(clave);
    return r;
}

// A block of memory in the process of window `h`: a list view's messages take pointers into the
// process that owns it.
class MemoriaAjena {
public:
    MemoriaAjena(HWND h, std::size_t tamanio) : tamanio_(tamanio) {
        DWORD pid = 0;
        GetWindowThreadProcessId(h, &pid);
        proceso_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (proceso_ == nullptr) throw Fallo("no se puede abrir el proceso " + std::to_string(pid));
        base_ =
            static_cast<char*>(VirtualAllocEx(proceso_, nullptr, tamanio, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (base_ == nullptr) {
            CloseHandle(proceso_);
            throw Fallo("no hay memoria en el proceso " + std::to_string(pid));
        }
    }
    ~MemoriaAjena() {
        VirtualFreeEx(proceso_, base_, 0, MEM_RELEASE);
        CloseHandle(proceso_);
    }
    MemoriaAjena(const MemoriaAjena&) = delete;
    MemoriaAjena& operator=(const MemoriaAjena&) = delete;

    char* En(std::size_t desplazamiento) const { return base_ + desplazamiento; }
    void Escribir(std::size_t desplazamiento, const void* datos, std::size_t n) {
        if (desplazamiento + n > tamanio_ || !WriteProcessMemory(proceso_, En(desplazamiento), datos, n, nullptr))
            throw Fallo("no se puede escribir en el otro proceso");
    }
    void Leer(std::size_t desplazamiento, void* datos, std::size_t n) {
        if (desplazamiento + n > tamanio_ || !ReadProcessMemory(proceso_, En(desplazamiento), datos, n, nullptr))
            throw Fallo("no se puede leer del otro proceso");
    }

private:
    std::size_t tamanio_;
    HANDLE proceso_ = nullptr;
    char* base_ = nullptr;
};

// Column titles, then the rows, of a report list view of another process.
std::vector<std::vector<std::string>> LeerLista(HWND lista) {
    constexpr std::size_t kTexto = 1024, kDatos = 256;  // the structure first, its text after it
    MemoriaAjena memoria(lista, kDatos + kTexto);
    const auto texto = [&](UINT mensaje, WPARAM indice, auto estructura) {
        memoria.Escribir(0, &estructura, sizeof estructura);
        Enviar(lista, mensaje, indice, reinterpret_cast<LPARAM>(memoria.En(0)));
        char leido[kTexto];
        memoria.Leer(kDatos, leido, kTexto);
        leido[kTexto - 1] = '\0';
        return Utf8(leido);
    };
    const HWND cabecera = reinterpret_cast<HWND>(Enviar(lista, LVM_GETHEADER, 0, 0));
    const LRESULT columnas = cabecera != nullptr ? Enviar(cabecera, HDM_GETITEMCOUNT, 0, 0) : 0;
    std::vector<std::vector<std::string>> r(1);
    for (int c = 0; c < columnas; ++c) {
        LVCOLUMNA columna{};
        columna.mask = LVCF_TEXT;
        columna.pszText = memoria.En(kDatos);
        columna.cchTextMax = kTexto;
        r[0].push_back(texto(LVM_GETCOLUMNA, static_cast<WPARAM>(c), columna));
    }
    const LRESULT filas = Enviar(lista, LVM_GETITEMCOUNT, 0, 0);
    for (LRESULT f = 0; f < filas; ++f) {
        r.emplace_back();
        for (int c = 0; c < columnas; ++c) {
            LVITEMA item{};
            item.iSubItem = c;
            item.pszText = memoria.En(kDatos);
            item.cchTextMax = kTexto;
            r.back().push_back(texto(LVM_GETITEMTEXTA, static_cast<WPARAM>(f), item));
        }
    }
    return r;
}

bool Existe(const std::string& ruta) { return GetFileAttributesA(ruta.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Holds the lock file `archivo` as a Tramiza with those names would, for MS or until SOLTAR exists.
void SostenerCerrojo(const std::string& archivo, const std::vector<std::string>& a, std::size_t desde,
                     const char* tomado) {
    SYSTEMTIME t;
    GetLocalTime(&t);
    char ahora[32];
    std::snprintf(ahora, sizeof ahora, "%04u-%02u-%02u %02u:%02u:%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute,
                  t.wSecond);
    const cerrojo::Titular quien{a[desde], a[desde + 1], a[desde + 2], std::to_string(GetCurrentProcessId()), ahora};
    cerrojo::Cerrojo cerrojo;
    const cerrojo::Intento intento = cerrojo.Tomar(archivo, quien);
    if (intento.estado != cerrojo::Estado::Tomado)
        throw Fallo("no se puede tomar " + archivo +
                    (intento.error.empty() ? ": lo tiene otro" : ": " + intento.error));
    Imprimir(tomado);
    std::fflush(stdout);
    const std::string soltar = a[desde + 4];
    Esperar(Numero(a[desde + 3]), [&] { return Existe(soltar); });
    cerrojo.Soltar();
    Imprimir("soltado");
}

// Tramiza's instance record: %ProgramData%\Tramiza\Instancia.lck.
std::string ArchivoInstancia() {
    char comun[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_APPDATA, nullptr, SHGFP_TYPE_CURRENT, comun)))
        throw Fallo("no hay carpeta comun de datos");
    const std::string carpeta = std::string(comun) + "\\" + ids::kCarpetaComun;
    CreateDirectoryA(carpeta.c_str(), nullptr);
    return carpeta + "\\" + ids::kArchivoInstancia;
}

// Round trips of a harmless message to the window, for MS: how long the window leaves a sender waiting.
void Latencia(HWND h, long long total, long long intervalo) {
    if (total < 0 || intervalo <= 0) throw MalUso("latencia lleva MS >= 0 e INTERVALO_MS > 0");
    const UINT msg = RegisterWindowMessageA(ids::kMensajeEstadoPrueba);
    if (msg == 0) throw Fallo("no se puede registrar el mensaje de estado");
    using reloj = std::chrono::steady_clock;
    const auto inicio = reloj::now();
    const auto fin = inicio + std::chrono::milliseconds(total);
    long long envios = 0, maximo = 0, sinRespuesta = 0;
    for (auto proximo = inicio; proximo < fin;) {
        std::this_thread::sleep_until(proximo);
        DWORD_PTR resultado = 0;
        const auto antes = reloj::now();
        const LRESULT ok = SendMessageTimeoutA(h, msg, ids::kPruebaCiclos, 0, SMTO_NORMAL, kEsperaEnvioMs, &resultado);
        const auto despues = reloj::now();
        if (!ok) {
            if (!IsWindow(h)) throw Fallo("la ventana " + Manejador(h) + " ya no existe");
            ++sinRespuesta;
        }
        ++envios;
        maximo =
            std::max<long long>(maximo, std::chrono::duration_cast<std::chrono::milliseconds>(despues - antes).count());
        // A late answer is not made up for by a burst of sends.
        proximo = std::max(proximo + std::chrono::milliseconds(intervalo), despues);
    }
    Imprimir("envios=" + std::to_string(envios) + " maximo_ms=" + std::to_string(maximo) +
             " sin_respuesta=" + std::to_string(sinRespuesta));
}

bool Compara(long long v, const std::string& op, long long ref) {
    if (op == "eq") return v == ref;
    if (op == "ne") return v != ref;
    if (op == "gt") return v > ref;
    throw MalUso("comparacion desconocida: " + op);
}

void Ejecutar(const std::vector<std::string>& a) {
    const std::string& accion = a.at(0);
    const auto pedir = [&](std::size_t n) {
        const bool conOpcional = accion == "icono" || accion == "caja-mensaje" || accion == "pulsar-ok" ||
                                 accion == "contar-cajas" || accion == "bloquear" || accion == "tecla";
        if (a.size() != n + 1 && !(a.size() == n + 2 && conOpcional))
            throw MalUso(accion + " lleva " + std::to_string(n) + " argumentos");
    };
    const auto opcional = [&](std::size_t i) { return a.size() > i ? a[i] : std::string(); };

    if (accion == "esperar-ventana") {
        pedir(3);
        HWND hallada = nullptr;
        const bool ok = Esperar(Numero(a[3]), [&] {
            const std::string clase = a[1], titulo = a[2];
            for (HWND h : VentanasSuperiores())
                if ((clase == "-" || Clase(h) == clase) && (titulo == "-" || Utf8(Texto(h)) == titulo)) {
                    hallada = h;
                    return true;
                }
            return false;
        });
        if (!ok) throw Fallo("no aparecio la ventana " + a[1] + " " + a[2]);
        Imprimir(Manejador(hallada));
    } else if (accion == "esperar-sin-ventana") {
        pedir(2);
        if (!Esperar(Numero(a[2]), [&] { return Buscar(a[1]) == nullptr; }))
            throw Fallo("la ventana " + a[1] + " sigue ahi");
    } else if (accion == "esperar-visible") {
        pedir(3);
        const bool quiero = Numero(a[2]) != 0;
        if (!Esperar(Numero(a[3]), [&] {
                const HWND h = Buscar(a[1]);
                return h != nullptr && (IsWindowVisible(h) != FALSE) == quiero;
            }))
            throw Fallo("la ventana " + a[1] + (quiero ? " no se hizo visible" : " no se oculto"));
    } else if (accion == "contar-ventanas") {
        pedir(1);
        Imprimir(std::to_string(Todas(a[1]).size()));
    } else if (accion == "titulo") {
        pedir(1);
        Imprimir(Utf8(Texto(Ventana(a[1]))));
    } else if (accion == "texto") {
        pedir(2);
        Imprimir(Utf8(TextoControl(Control(a[1], a[2]))));
    } else if (accion == "esperar-texto") {
        pedir(4);
        std::string ultimo;
        if (!Esperar(Numero(a[4]), [&] {
                const HWND h = Buscar(a[1]);
                const HWND c = h != nullptr ? GetDlgItem(h, static_cast<int>(Identificador(a[2]))) : nullptr;
                if (c == nullptr) return false;
                try {
                    ultimo = Utf8(TextoControl(c));
                } catch (const Fallo&) {
                    return false;  // busy for now
                }
                return ultimo == a[3];
            }))
            throw Fallo("el control " + a[2] + " muestra \"" + ultimo + "\", no \"" + a[3] + "\"");
    } else if (accion == "estado-check") {
        pedir(2);
        Imprimir(std::to_string(Enviar(Control(a[1], a[2]), BM_GETCHECK, 0, 0)));
    } else if (accion == "ventana-habilitada") {
        pedir(1);
        Imprimir(IsWindowEnabled(Ventana(a[1])) ? "1" : "0");
    } else if (accion == "habilitado") {
        pedir(2);
        Imprimir(IsWindowEnabled(Control(a[1], a[2])) ? "1" : "0");
    } else if (accion == "foco") {
        pedir(1);
        const HWND h = Ventana(a[1]);
        GUITHREADINFO info;
        std::memset(&info, 0, sizeof info);
        info.cbSize = sizeof info;
        if (!GetGUIThreadInfo(GetWindowThreadProcessId(h, nullptr), &info)) throw Fallo("no se puede leer el foco");
        // The edit box inside a combo box has the focus for it: report the combo box.
        HWND f = info.hwndFocus;
        while (f != nullptr && GetParent(f) != h) f = GetParent(f);
        Imprimir(std::to_string(f != nullptr ? GetDlgCtrlID(f) : 0));
    } else if (accion == "escribir") {
        pedir(3);
        if (!Enviar(Control(a[1], a[2]), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str())))
            throw Fallo("el control " + a[2] + " no acepto el texto");
    } else if (accion == "visible") {
        pedir(1);
        Imprimir(IsWindowVisible(Ventana(a[1])) ? "1" : "0");
    } else if (accion == "minimizada") {
        pedir(1);
        Imprimir(IsIconic(Ventana(a[1])) ? "1" : "0");
    } else if (accion == "presentacion") {
        pedir(1);
        Imprimir(Presentacion(Ventana(a[1])));
    } else if (accion == "icono") {
        pedir(1);
        const std::string tipo = opcional(2);
        if (!tipo.empty() && tipo != "grande" && tipo != "pequeno") throw MalUso("icono grande o pequeno");
        const LRESULT h = Enviar(Ventana(a[1]), WM_GETICON, tipo == "grande" ? ICON_BIG : ICON_SMALL, 0);
        Imprimir(std::to_string(static_cast<long long>(h)));
    } else if (accion == "click") {
        pedir(2);
        Enviar(Control(a[1], a[2]), BM_CLICK, 0, 0);
    } else if (accion == "pulsar") {
        pedir(2);
        const HWND boton = Control(a[1], a[2]);
        Publicar(GetParent(boton), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(boton), BN_CLICKED),
                 reinterpret_cast<LPARAM>(boton));
    } else if (accion == "comando") {
        pedir(2);
        Publicar(Ventana(a[1]), WM_COMMAND, MAKEWPARAM(Identificador(a[2]), 0), 0);
    } else if (accion == "mensaje") {
        pedir(4);
        Publicar(Ventana(a[1]), static_cast<UINT>(Numero(a[2])), static_cast<WPARAM>(Numero(a[3])),
                 static_cast<LPARAM>(Numero(a[4])));
    } else if (accion == "tecla") {
        pedir(2);
        const HWND h = opcional(3).empty() ? Ventana(a[1]) : Control(a[1], a[3]);
        const auto vk = static_cast<WPARAM>(Numero(a[2]));
        Publicar(h, WM_KEYDOWN, vk, 1);
        Publicar(h, WM_KEYUP, vk, static_cast<LPARAM>(0xC0000001u));
    } else if (accion == "enviar-comando") {
        pedir(2);
        Enviar(Ventana(a[1]), WM_COMMAND, MAKEWPARAM(Identificador(a[2]), 0), 0);
    } else if (accion == "consulta") {
        pedir(3);
        Imprimir(std::to_string(static_cast<long long>(Consulta(a[1], a[2], a[3]))));
    } else if (accion == "esperar-consulta") {
        pedir(6);
        long long v = 0;
        if (!Esperar(Numero(a[6]), [&] {
                v = static_cast<long long>(Consulta(a[1], a[2], a[3]));
                return Compara(v, a[4], Numero(a[5]));
            }))
            throw Fallo(a[2] + " " + a[3] + " vale " + std::to_string(v) + ", no " + a[4] + " " + a[5]);
        Imprimir(std::to_string(v));
    } else if (accion == "latencia") {
        pedir(3);
        Latencia(Ventana(a[1]), Numero(a[2]), Numero(a[3]));
    } else if (accion == "cerrar") {
        pedir(1);
        Publicar(Ventana(a[1]), WM_SYSCOMMAND, SC_CLOSE, 0);
    } else if (accion == "controles") {
        pedir(1);
        std::vector<HWND> hijos;
        EnumChildWindows(Ventana(a[1]), Recoger, reinterpret_cast<LPARAM>(&hijos));
        for (HWND h : hijos) Imprimir(std::to_string(GetDlgCtrlID(h)) + "\t" + Clase(h) + "\t" + Utf8(TextoControl(h)));
    } else if (accion == "rectangulo") {
        pedir(1);
        RECT r;
        if (!GetWindowRect(Ventana(a[1]), &r)) throw Fallo("no se puede leer el rectangulo de " + a[1]);
        Imprimir(std::to_string(r.left) + " " + std::to_string(r.top) + " " + std::to_string(r.right - r.left) + " " +
                 std::to_string(r.bottom - r.top));
    } else if (accion == "etiquetas") {
        pedir(1);
        for (const std::string& z : ZonasEtiquetas(Ventana(a[1]))) Imprimir(z);
    } else if (accion == "lista") {
        pedir(2);
        for (const auto& fila : LeerLista(Control(a[1], a[2]))) {
            std::string linea;
            for (std::size_t i = 0; i < fila.size(); ++i) linea += (i == 0 ? "" : "\t") + fila[i];
            Imprimir(linea);
        }
    } else if (accion == "seleccion") {
        pedir(2);
        const LRESULT i = Enviar(Control(a[1], a[2]), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
        Imprimir(std::to_string(static_cast<long long>(i)));
    } else if (accion == "raton") {
        pedir(2);
        if (!EntrarEnEscritorio() || !SetCursorPos(static_cast<int>(Numero(a[1])), static_cast<int>(Numero(a[2]))))
            throw Fallo("no se puede mover el raton");
    } else if (accion == "caja-mensaje") {
        pedir(1);
        HWND caja = nullptr;
        if (!Esperar(Numero(a[1]), [&] { return (caja = BuscarCaja(opcional(2))) != nullptr; }))
            throw Fallo("no aparecio ninguna caja de mensaje");
        Imprimir(Utf8(Texto(caja)));
        Imprimir(Utf8(TextoControl(GetDlgItem(caja, 0xFFFF))));
    } else if (accion == "pulsar-ok") {
        pedir(1);
        HWND caja = nullptr;
        const long long ms = Numero(a[1]);
        if (!Esperar(ms, [&] { return (caja = BuscarCaja(opcional(2))) != nullptr; }))
            throw Fallo("no aparecio ninguna caja de mensaje");
        HWND boton = GetDlgItem(caja, IDOK);
        if (boton == nullptr) throw Fallo("la caja de mensaje no tiene boton OK");
        // Posted as the button's own notification: BM_CLICK needs the box to be the active window.
        Publicar(caja, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(boton));
        if (!Esperar(ms, [&] { return !IsWindow(caja) || !IsWindowVisible(caja); }))
            throw Fallo("la caja de mensaje no se cerro");
    } else if (accion == "contar-cajas") {
        pedir(0);
        const std::string titulo = opcional(1);
        int n = 0;
        for (HWND h : VentanasSuperiores()) n += EsCajaTitulada(h, titulo);
        Imprimir(std::to_string(n));
    } else if (accion == "procesos") {
        pedir(1);
        for (DWORD pid : Procesos(a[1])) Imprimir(std::to_string(pid));
    } else if (accion == "suspender" || accion == "reanudar") {
        // Every thread of the process: a program that answers no message at all, for a while.
        pedir(1);
        const auto pid = static_cast<DWORD>(Numero(a[1]));
        const HANDLE instantanea = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
        if (instantanea == INVALID_HANDLE_VALUE) throw Fallo("no hay instantanea de hilos");
        THREADENTRY32 hilo{};
        hilo.dwSize = sizeof hilo;
        int n = 0;
        for (BOOL hay = Thread32First(instantanea, &hilo); hay; hay = Thread32Next(instantanea, &hilo)) {
            if (hilo.th32OwnerProcessID != pid) continue;
            if (const HANDLE h = OpenThread(THREAD_SUSPEND_RESUME, FALSE, hilo.th32ThreadID)) {
                n += (accion == "suspender" ? SuspendThread(h) : ResumeThread(h)) != static_cast<DWORD>(-1);
                CloseHandle(h);
            }
        }
        CloseHandle(instantanea);
        if (n == 0) throw Fallo("ningun hilo del proceso");
    } else if (accion == "contar-procesos") {
        pedir(1);
        Imprimir(std::to_string(Procesos(a[1]).size()));
    } else if (accion == "esperar-procesos") {
        pedir(3);
        const auto n = static_cast<std::size_t>(Numero(a[2]));
        std::size_t hay = 0;
        if (!Esperar(Numero(a[3]), [&] { return (hay = Procesos(a[1]).size()) == n; }))
            throw Fallo("corren " + std::to_string(hay) + " procesos " + a[1] + ", no " + a[2]);
    } else if (accion == "terminar") {
        pedir(1);
        const HANDLE p = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(Numero(a[1])));
        if (p == nullptr) throw Fallo("no hay proceso " + a[1]);
        const BOOL ok = TerminateProcess(p, 1);
        WaitForSingleObject(p, kEsperaEnvioMs);
        CloseHandle(p);
        if (!ok) throw Fallo("no se puede terminar el proceso " + a[1]);
    } else if (accion == "existe") {
        pedir(1);
        Imprimir(Existe(a[1]) ? "1" : "0");
    } else if (accion == "bloquear") {
        pedir(2);
        const std::string soltar = opcional(3);
        HANDLE archivo = INVALID_HANDLE_VALUE;
        DWORD error = 0;
        // The program under test may be reading the file at this moment.
        if (!Esperar(kEsperaEnvioMs, [&] {
                archivo = CreateFileA(a[1].c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
                error = GetLastError();
                return archivo != INVALID_HANDLE_VALUE;
            }))
            throw Fallo("no se puede abrir " + a[1] + " sin compartir: error " + std::to_string(error));
        Imprimir("bloqueado");
        std::fflush(stdout);
        Esperar(Numero(a[2]), [&] { return !soltar.empty() && Existe(soltar); });
        CloseHandle(archivo);
        Imprimir("soltado");
    } else if (accion == "tras-borrado") {
        if (a.size() < 4) throw MalUso("tras-borrado lleva ARCHIVO MS ACCION...");
        // The actions are read before the wait: a wrong call must not fail only at the moment that counts.
        std::vector<std::vector<std::string>> acciones(1);
        for (std::size_t i = 3; i < a.size(); ++i) {
            if (a[i] == "+")
                acciones.emplace_back();
            else
                acciones.back().push_back(a[i]);
        }
        for (const auto& accionSiguiente : acciones)
            if (accionSiguiente.empty()) throw MalUso("tras-borrado: accion vacia");
        // Gone already, it went at a moment nobody saw.
        if (!Existe(a[1])) throw Fallo(a[1] + " no existe");
        Imprimir("vigilando");
        std::fflush(stdout);
        if (!Esperar(Numero(a[2]), [&] { return !Existe(a[1]); })) throw Fallo(a[1] + " sigue ahi");
        for (const auto& accionSiguiente : acciones) Ejecutar(accionSiguiente);
    } else if (accion == "titular") {
        pedir(6);
        SostenerCerrojo(a[1], a, 2, "tomado");
    } else if (accion == "otra-sesion") {
        pedir(5);
        const HANDLE mutex = CreateMutexA(nullptr, FALSE, ids::kMutexInstancia);
        if (mutex == nullptr || GetLastError() == ERROR_ALREADY_EXISTS)
            throw Fallo("el mutex de Tramiza ya existe: corre un Tramiza.exe");
        SostenerCerrojo(ArchivoInstancia(), a, 1, "en marcha");
        CloseHandle(mutex);
    } else if (accion == "sin-sesion") {
        if (a.size() < 3) throw MalUso("sin-sesion lleva MS PROGRAMA [ARGUMENTOS...]");
        std::string linea;
        for (std::size_t i = 2; i < a.size(); ++i)
            linea += (i > 2 ? " " : "") + (a[i].find(' ') != std::string::npos ? "\"" + a[i] + "\"" : a[i]);
        // The station is made by the child's start-up from this name; only WinSta0 shows windows.
        char escritorio[] = "TramizaSinSesion\\Default";
        STARTUPINFOA inicio{};
        inicio.cb = sizeof inicio;
        inicio.lpDesktop = escritorio;
        PROCESS_INFORMATION proceso{};
        if (!CreateProcessA(nullptr, linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &inicio, &proceso))
            throw Fallo("no se pudo iniciar " + a[2]);
        CloseHandle(proceso.hThread);
        const DWORD espera = WaitForSingleObject(proceso.hProcess, static_cast<DWORD>(Numero(a[1])));
        DWORD codigo = 0;
        GetExitCodeProcess(proceso.hProcess, &codigo);
        CloseHandle(proceso.hProcess);
        if (espera != WAIT_OBJECT_0) throw Fallo(a[2] + " no termino");
        Imprimir(std::to_string(codigo));
    } else if (accion == "ajuste") {
        pedir(2);
        Ajuste(a[1], a[2]);
    } else if (accion == "leer-ajuste") {
        pedir(1);
        Imprimir(Utf8(LeerAjuste(a[1])));
    } else if (accion == "borrar-ajustes") {
        pedir(0);
        BorrarAjustes();
    } else if (accion == "borrar-intercambios") {
        pedir(0);
        BorrarIntercambios();
    } else if (accion == "descripcion-error") {
        pedir(1);
        char buf[512];
        DWORD n = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                 static_cast<DWORD>(Numero(a[1])), 0, buf, sizeof buf, nullptr);
        while (n > 0 && (buf[n - 1] == '\r' || buf[n - 1] == '\n' || buf[n - 1] == ' ')) --n;
        Imprimir(Utf8(std::string(buf, n)));
    } else if (accion == "hklm-poner") {
        pedir(3);
        PonerHklm(a[1], a[2], a[3]);
    } else if (accion == "hklm-sin-valor") {
        pedir(2);
        Imprimir(SinValorHklm(a[1], a[2]));
    } else {
        throw MalUso("accion desconocida: " + accion);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Plain "\n" line ends, as the shell expects them.
    _setmode(_fileno(stdout), _O_BINARY);
    // Places, sizes and the screen's DPI as they are, not scaled to 96 DPI for an unaware program.
    SetProcessDPIAware();
    if (argc < 2) {
        std::fprintf(stderr, "uso: conductor ACCION ARGUMENTOS... (ver tools/conductor/main.cpp)\n");
        return 2;
    }
    const std::vector<std::string> args(argv + 1, argv + argc);
    try {
        Ejecutar(args);
    } catch (const MalUso& e) {
        std::fprintf(stderr, "conductor %s: %s\n", args[0].c_str(), e.what());
        return 2;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "conductor %s: %s\n", args[0].c_str(), e.what());
        return 1;
    }
    std::fflush(stdout);
    return 0;
}
