#include "bridge/log_duplicados.h"
#include "bridge/archivos_intercambio.h"
#include "platform/actividad.h"

#include <cstdio>
#include <mutex>

using namespace intercambio;

namespace {

std::string DosDigitos(int n) {
    char texto[16];
    std::snprintf(texto, sizeof texto, "%02d", n);
    return texto;
}

std::string Entrada(const std::string& texto) { return "\"" + texto + "\"\r\n"; }

}  // namespace

std::string NombreArchivoLog(const archivos::FechaHora& f) {
    char anio[16];
    std::snprintf(anio, sizeof anio, "%04d", f.anio);
    return "LogTramiza" + std::string(anio) + DosDigitos(f.mes) + DosDigitos(f.dia) + ".txt";
}

void GrabarLog(const std::string& directorioKorvane, const std::string& laRutaKorvane, const RelojLocal& reloj,
               archivos::AnteBloqueo modo) {
    const std::string terminal = laRutaKorvane.substr(laRutaKorvane.find_last_of("\\/") + 1);
    // One file for every terminal: two records written side by side would mix their lines.
    static std::mutex unoALaVez;
    const std::lock_guard lock(unoALaVez);
    std::string nombre;
    std::string primeraEntrada;
    try {
        nombre = NombreArchivoLog(reloj());
        // The stamp is year, day, month: the form the people reading these logs are used to.
        const archivos::FechaHora t = reloj();
        char anio[16];
        std::snprintf(anio, sizeof anio, "%04d", t.anio);
        primeraEntrada = "Determino que el archivo de la hora " + std::string(anio) + "/" + DosDigitos(t.dia) + "/" +
                         DosDigitos(t.mes) + " " + DosDigitos(t.hora) + ":" + DosDigitos(t.minuto) + ":" +
                         DosDigitos(t.segundo) + " era duplicado";
    } catch (...) {
        actividad::AnotarFalloIgnorado(terminal, "registro de duplicados");
    }
    const std::string rutaLog = archivos::Unir(directorioKorvane, nombre);

    try {
        archivos::Anexar(rutaLog, Entrada(primeraEntrada), modo);
    } catch (...) {
        actividad::AnotarFalloIgnorado(terminal, "registro de duplicados");
    }
    std::string primeraLinea;
    try {
        const std::string clicab = archivos::LeerInicio(En(laRutaKorvane, kClicab), kInicioPrimeraLinea, modo);
        primeraLinea = clicab.substr(0, clicab.find('\r'));
    } catch (...) {
        actividad::AnotarFalloIgnorado(terminal, "registro de duplicados");
    }
    try {
        archivos::Anexar(rutaLog, Entrada(primeraLinea), modo);
    } catch (...) {
        actividad::AnotarFalloIgnorado(terminal, "registro de duplicados");
    }
}
