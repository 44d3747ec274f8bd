// PLACEHOLDER until the settings dialog is built: reloads the settings and says the dialog is not
// there yet, so the main window's menu item already does everything around the dialog.
#include "config/frm_configuracion.h"

bool MostrarConfiguracion(HWND propietario, clsConfiguracion& configuracion) {
    try {
        configuracion.Load();
    } catch (...) {
        // A setting that does not convert leaves the rest as they were.
    }
    MessageBoxA(propietario, "Configuración no disponible todavía.", "Tramiza", MB_OK | MB_ICONINFORMATION);
    return false;
}
