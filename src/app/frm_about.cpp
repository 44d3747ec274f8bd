#include "app/frm_about.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "app/ids_recursos.h"
#include "app/version_programa.h"

namespace {

const char kTituloAplicacion[] = "Tramiza";

// The texts of the program's version resource.
struct VersionPrograma {
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

    struct Traduccion {
        WORD idioma, paginaCodigos;
    };
    Traduccion* traducciones = nullptr;
    UINT largo = 0;
    if (!VerQueryValueA(bloque.data(), "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&traducciones),
                        &largo) ||
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
    SetDlgItemTextA(dlg, IDC_LBL_VERSION, "Version " TRAMIZA_VERSION_VISIBLE);
    SetDlgItemTextA(dlg, IDC_LBL_TITLE, kTituloAplicacion);
    const std::string descripcion = v.empresa + "\r\n" + v.aviso + "\r\n" + v.comentarios;
    SetDlgItemTextA(dlg, IDC_LBL_DESCRIPTION, descripcion.c_str());
}

INT_PTR CALLBACK ProcedimientoDialogo(HWND dlg, UINT mensaje, WPARAM wParam, LPARAM) {
    try {
        switch (mensaje) {
            case WM_INITDIALOG:
                Form_Load(dlg);
                return TRUE;
            case WM_COMMAND:
                switch (LOWORD(wParam)) {
                    case IDOK:
                    case IDCANCEL:  // Esc and the title bar's close button
                        EndDialog(dlg, LOWORD(wParam));
                        return TRUE;
                    case IDC_CMD_SYSINFO:
                        StartSysInfo(dlg);
                        return TRUE;
                }
                break;
        }
    } catch (...) {
        // Only allocation can fail here; a label left with its design text is no reason to end.
    }
    return FALSE;
}

class ClaveRegistro {
public:
    ClaveRegistro() = default;
    ~ClaveRegistro() {
        if (h_ != nullptr) RegCloseKey(h_);
    }
    ClaveRegistro(const ClaveRegistro&) = delete;
    ClaveRegistro& operator=(const ClaveRegistro&) = delete;

    HKEY* Direccion() noexcept { return &h_; }
    HKEY Get() const noexcept { return h_; }

private:
    HKEY h_ = nullptr;
};

bool EsArchivo(const std::string& ruta) {
    const DWORD atributos = GetFileAttributesA(ruta.c_str());
    return atributos != INVALID_FILE_ATTRIBUTES && (atributos & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Starts the tool in a normal, focused window without waiting for it.
bool IniciarPrograma(const std::string& ruta) {
    std::string linea = "\"" + ruta + "\"";
    STARTUPINFOA si;
    std::memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi;
    std::memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(ruta.c_str(), linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return false;
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return true;
}

}  // namespace

namespace frmAbout {

void Mostrar(HINSTANCE instancia, HWND propietario) {
    DialogBoxParamA(instancia, MAKEINTRESOURCEA(IDD_ABOUT), propietario, ProcedimientoDialogo, 0);
}

}  // namespace frmAbout

void StartSysInfo(HWND propietario) {
    bool iniciado = false;
    try {
        std::string rutaSysInfo;
        if (GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", "PATH", rutaSysInfo)) {
            iniciado = IniciarPrograma(rutaSysInfo);
        } else if (GetKeyValue(HKEY_LOCAL_MACHINE, "SOFTWARE\\Microsoft\\Shared Tools Location", "MSINFO",
                               rutaSysInfo)) {
            rutaSysInfo += "\\MSINFO32.EXE";
            if (EsArchivo(rutaSysInfo)) iniciado = IniciarPrograma(rutaSysInfo);
        }
    } catch (...) {
        iniciado = false;
    }
    if (!iniciado) MessageBoxA(propietario, "System Information Is Unavailable At This Time", kTituloAplicacion, MB_OK);
}

bool GetKeyValue(HKEY KeyRoot, const std::string& KeyName, const std::string& SubKeyRef, std::string& KeyVal) {
    ClaveRegistro clave;
    if (RegOpenKeyExA(KeyRoot, KeyName.c_str(), 0, KEY_ALL_ACCESS, clave.Direccion()) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    unsigned char dato[1024];
    DWORD tipo = 0;
    DWORD largo = sizeof dato;
    if (RegQueryValueExA(clave.Get(), SubKeyRef.c_str(), nullptr, &tipo, dato, &largo) != ERROR_SUCCESS) {
        KeyVal.clear();
        return false;
    }
    if (largo > 0 && dato[largo - 1] == 0) --largo;
    switch (tipo) {
        case REG_SZ:
            KeyVal.assign(reinterpret_cast<const char*>(dato), largo);
            break;
        case REG_DWORD: {
            // The bytes left after the NUL was dropped, least significant first.
            std::uint32_t numero = 0;
            for (DWORD i = std::min<DWORD>(largo, 4); i > 0; --i) numero = (numero << 8) | dato[i - 1];
            KeyVal = std::to_string(numero);
            break;
        }
        default:
            break;
    }
    return true;
}
