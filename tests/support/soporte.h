#pragma once
// Helpers shared by the tests: a scratch folder, a recorder of message boxes, paths of the simulators.

#include <string>
#include <vector>

#include "config/interfaz_usuario.h"

namespace prueba {

// A new empty folder under the system's temporary folder, removed with everything in it at the end.
class CarpetaTemporal {
public:
    CarpetaTemporal();
    ~CarpetaTemporal();
    CarpetaTemporal(const CarpetaTemporal&) = delete;
    CarpetaTemporal& operator=(const CarpetaTemporal&) = delete;

    // The folder in the form the program's own paths take (backslashes on Windows).
    const std::string& Ruta() const { return ruta_; }
    // Ruta() + separator + nombre.
    std::string operator/(const std::string& nombre) const;

private:
    std::string ruta_;
};

struct Mensaje {
    std::string texto;
    std::string titulo;
    Icono icono;
};

// Records what the bridge would show the user.
class GrabadorInterfaz : public InterfazUsuario {
public:
    void EstablecerEstado(const std::string& texto) override { estados.push_back(texto); }
    void ProcesarMensajes() override { ++procesados; }
    void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) override {
        mensajes.push_back({texto, titulo, icono});
    }

    std::vector<std::string> estados;
    int procesados = 0;
    std::vector<Mensaje> mensajes;
};

// Paths of the simulator executables, in the form the running platform takes (on Wine a Unix
// build path becomes Z:\...).
std::string RutaZelno32();
std::string RutaTerminalKorvane();

// Writes and reads whole files for test set-up, bypassing the code under test.
void EscribirArchivo(const std::string& ruta, const std::string& datos);
std::string LeerArchivo(const std::string& ruta);

// Sets a file's last-modification time to a local wall-clock time.
void FijarFechaModificacion(const std::string& ruta, int anio, int mes, int dia, int hora, int minuto, int segundo);

// Creates a folder and any missing parents.
void CrearCarpetas(const std::string& ruta);

}  // namespace prueba
