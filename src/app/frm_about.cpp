#include "app/frm_about.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/ayudas_ventana.h"
#include "app/ids_recursos.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/procesos.h"
#include "platform/registro_win32.h"

namespace {

using ids::kTituloAplicacion;

void StartSysInfo(HWND propietario);

// The texts of the program's version resource.
struct VersionPrograma {
    unsigned mayor = 0, menor = 0, revision = 0;
    std::string empresa, aviso, comentarios;
};

std::string Cadena(const std::vector<char>& bloque, const std::string& idioma, const char* nombre) {
    const std::string ruta = "\\StringFileInfo\\" + idioma + "\\" + nombre;
    char* texto = nullptr;
    UINT largo = 0;
    if (!VerQueryValueA(bloque.data(), ruta.c_str(), reinterpret_cast<void**>(&texto), &largo) || texto == nullptr)
        return {};
    // The length counts the ending NUL when there is one.
    return std::string(texto, strnlen(texto, largo));
}

VersionPrograma LeerVersion() {
    VersionPrograma v;
    char ruta[MAX_PATH + 1] = {};
    if (GetModuleFileNameA(nullptr, ruta, MAX_PATH) == 0) return v;
    DWORD nada = 0;
    const DWORD tamanio = GetFileVersionInfoSizeA(ruta, &nada);
    if (tamanio == 0) return v;
    std::vector<char> bloque(tamanio);
    if (!GetFileVersionInfoA(ruta, 0, tamanio, bloque.data())) return v;

    // The numbers of the file that runs, not of the build: an installer's upgrade test tells two
    // copies apart by them. 1.1.0.1 is major 1, minor 1, build 0, revision 1; the box shows
    // major.minor.revision.
    VS_FIXEDFILEINFO* fijo = nullptr;
    UINT largoFijo = 0;
    if (VerQueryValueA(bloque.data(), "\\", reinterpret_cast<void**>(&fijo), &largoFijo) && fijo != nullptr &&
        largoFijo >= sizeof(VS_FIXEDFILEINFO)) {
        v.mayor = HIWORD(fijo->dwFileVersionMS);
        v.menor = LOWORD(fijo->dwFileVersionMS);
        v.revision = LOWORD(fijo->dwFileVersionLS);
    }

    struct Traduccion {
        WORD idioma, paginaCodigos;
    };
    Traduccion* traducciones = nullptr;
    UINT largo = 0;
    if (!VerQueryValueA(bloque.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&traducciones), &largo) ||
        traducciones == nullptr || largo < sizeof(Traduccion))
        return v;
    char idioma[16];
    wsprintfA(idioma, "%04x%04x", traducciones[0].idioma, traducciones[0].paginaCodigos);
    v.empresa = Cadena(bloque, idioma, "CompanyName");
    v.aviso = Cadena(bloque, idioma, "LegalCopyright");
    v.comentarios = Cadena(bloque, idioma, "Comments");
    return v;
}

void Form_Load(HWND dlg) {
    SetWindowTextA(dlg, (std::string("About ") + kTituloAplicacion).c_str());
    const VersionPrograma v = LeerVersion();
    const std::string version =
        "Version " + std::to_string(v.mayor) + "." + std::to_string(v.menor) + "." + std::to_string(v.revision);
    SetDlgItemTextA(dlg, IDC_LBL_VERSION, version.c_str());
    SetDlgItemTextA(dlg, IDC_LBL_TITLE, kTituloAplicacion);
    const std::string descripcion = v.empresa + "\r\n" + v.aviso + "\r\n" + v.comentarios;
    SetDlgItemTextA(dlg, IDC_LBL_DESCRIPTION, descripcion.c_str());
}

INT_PTR CALLBACK ProcedimientoDialogo(HWND dlg, UINT mensaje, WPARAM wParam, LPARAM) {
    try {
        switch (mensaje) {
            case WM_INITDIALOG: Form_Load(dlg); return TRUE;
            case WM_COMMAND:
                switch (LOWORD(wParam)) {
                    case IDOK:
                    case IDCANCEL:  // Esc and the title bar's close button
                        EndDialog(dlg, LOWORD(wParam));
                        return TRUE;
                    case IDC_CMD_SYSINFO: StartSysInfo(dlg); return TRUE;
                }
                break;
        }
    } catch (...) {
        // Only allocation can fail here; a label left with its design text is no reason to end.
        actividad::AnotarFalloIgnorado("caja Acerca de");
    }
    return FALSE;
}

// Any file, hidden or not, but no folder.
bool EsArchivo(const std::string& ruta) {
    return archivos::ExisteEntrada(ruta) && !archivos::Atributos(ruta).esCarpeta;
}

// Starts the system-information tool named by the registry, or says it is unavailable.
void StartSysInfo(HWND propietario) {
    bool iniciado = false;
    try {
        std::string rutaSysInfo;
        if (ajustes::GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH",
                                 rutaSysInfo)) {
            iniciado = procesos::IniciarPrograma(rutaSysInfo);
        } else if (ajustes::GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                                        rutaSysInfo)) {
            rutaSysInfo += "\\MSINFO32.EXE";
            if (EsArchivo(rutaSysInfo)) iniciado = procesos::IniciarPrograma(rutaSysInfo);
        }
    } catch (...) {
        actividad::AnotarFalloIgnorado("inicio de la información del sistema");
        iniciado = false;
    }
    if (!iniciado) ventana::Caja(propietario, mensajes::kTextoSinInformacion, kTituloAplicacion, MB_OK);
}

}  // namespace

namespace frmAbout {

void Mostrar(HINSTANCE instancia, HWND propietario) {
    DialogBoxParamA(instancia, MAKEINTRESOURCEA(IDD_ABOUT), propietario, ProcedimientoDialogo, 0);
}

}  // namespace frmAbout
