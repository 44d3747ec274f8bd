// Loads and saves the settings under its own executable name, so that copies of it under other
// file names show which set of settings each name reads.
//   grabar  sets Intervalo to 7 and saves
//   leer    loads and prints Intervalo
//   borrar  removes its own set of settings (Windows; elsewhere the caller removes the folder)
#include <cstdio>
#include <exception>
#include <string>

#include "config/configuracion.h"
#include "platform/almacen_ajustes.h"

#ifdef _WIN32
#include <windows.h>
#endif

int main(int argc, char** argv) {
    const std::string orden = argc > 1 ? argv[1] : "";
    try {
        clsConfiguracion configuracion(ajustes::NombreAplicacion());
        if (orden == "grabar") {
            configuracion.Load();
            configuracion.Intervalo = 7;
            configuracion.Save();
            return 0;
        }
        if (orden == "leer") {
            configuracion.Load();
            std::printf("%d\n", configuracion.Intervalo);
            return 0;
        }
        if (orden == "borrar") {
#ifdef _WIN32
            const std::string raiz = "Software\\VB and VBA Program Settings\\" + configuracion.Aplicacion();
            const LONG r = RegDeleteTreeA(HKEY_CURRENT_USER, raiz.c_str());
            return r == ERROR_SUCCESS || r == ERROR_FILE_NOT_FOUND ? 0 : 1;
#else
            return 0;
#endif
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    std::fprintf(stderr, "uso: %s grabar|leer|borrar\n", argc > 0 ? argv[0] : "ajustes_por_nombre");
    return 2;
}
