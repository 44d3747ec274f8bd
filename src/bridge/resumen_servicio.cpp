#include "bridge/resumen_servicio.h"

#include <algorithm>

#include "bridge/fallos_duraderos.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

namespace {

using Modo = EstadoServicio::Modo;

constexpr char kArchivoVistas[] = "NoEntregadasVistas.txt";

// The folder above `carpeta`, which may end in a separator.
std::string Padre(std::string carpeta) {
    while (!carpeta.empty() && (carpeta.back() == '\\' || carpeta.back() == '/')) carpeta.pop_back();
    const auto corte = carpeta.find_last_of("\\/");
    return corte == std::string::npos ? std::string() : carpeta.substr(0, corte);
}

std::vector<std::string> Lineas(const std::string& texto) {
    std::vector<std::string> lineas;
    std::string linea;
    for (char c : texto) {
        if (c == '\n') {
            if (!linea.empty() && linea.back() == '\r') linea.pop_back();
            lineas.push_back(std::move(linea));
            linea.clear();
        } else {
            linea += c;
        }
    }
    if (!linea.empty()) lineas.push_back(std::move(linea));
    return lineas;
}

}  // namespace

EstadoServicio EvaluarServicio(const DatosServicio& d) {
    if (!d.buscando) return {Modo::Detenido, {}};
    const auto no = [](std::string motivo) { return EstadoServicio{Modo::NoAtiende, std::move(motivo)}; };
    // Without an interval the clock never ticks: nothing else is ever looked at.
    if (d.intervalo == 0) return no("el intervalo de búsqueda es 0");
    if (d.intervalo < 0) return no("el intervalo de búsqueda no es válido (" + std::to_string(d.intervalo) + ")");
    if (d.otroTramiza) return no("otro Tramiza atiende la carpeta de Korvane " + d.directorioKorvane);
    if (d.korvaneFuera) return no("no se puede acceder a la carpeta de Korvane " + d.directorioKorvane);
    if (d.zelnoFuera) return no("no se puede acceder a la carpeta de Zelno " + d.directorioZelno);
    if (d.clienteSinIniciar) return no("no se puede iniciar el programa Zelno32");
    return {Modo::Atiende, {}};
}

std::string LineaNoAtiende(const EstadoServicio& estado) {
    return estado.modo == Modo::NoAtiende ? "No atiende las terminales: " + estado.motivo + "." : std::string();
}

std::string CabeceraTerminales(const EstadoServicio& estado, std::size_t terminales, std::size_t apartadas) {
    std::string texto;
    switch (estado.modo) {
        case Modo::Atiende:
            texto = "Atiende " + std::to_string(terminales) + (terminales == 1 ? " terminal." : " terminales.");
            break;
        case Modo::Detenido: texto = "Detenido: «Buscar transacción» está apagado; no pasa ninguna venta."; break;
        case Modo::NoAtiende: texto = "NO ATIENDE: " + estado.motivo + "; no pasa ninguna venta."; break;
    }
    if (apartadas > 0)
        texto +=
            "   Respuestas no entregadas sin revisar: " + std::to_string(apartadas) + " (pulse «Abrir no entregadas»).";
    return texto;
}

void SeguimientoEsperas::Aplicar(std::vector<FilaTerminal>& filas, std::int64_t ahoraMs) {
    std::map<std::string, std::int64_t> siguen;
    for (FilaTerminal& fila : filas) {
        if (fila.letra != "C" && fila.letra != "P") continue;
        const auto hallado = desde_.find(fila.terminal);
        const std::int64_t desde = hallado != desde_.end() ? hallado->second : ahoraMs;
        siguen.emplace(fila.terminal, desde);
        fila.espera = TextoDuracion(ahoraMs - desde);
    }
    // A terminal whose sale got its answer, or went, starts again at its next one.
    desde_ = std::move(siguen);
}

RespuestasApartadas::RespuestasApartadas(std::string carpeta)
    : carpeta_(std::move(carpeta)),
      archivoVistas_(carpeta_.empty() ? "" : archivos::Unir(Padre(carpeta_), kArchivoVistas)) {}

void RespuestasApartadas::LeerVistas() {
    if (leidas_ || archivoVistas_.empty()) return;
    leidas_ = true;
    try {
        if (!archivos::Existe(archivoVistas_)) return;
        for (std::string& nombre : Lineas(archivos::LeerCompleto(archivoVistas_)))
            if (!nombre.empty()) vistas_.insert(std::move(nombre));
    } catch (...) {
        // Unreadable: every kept answer counts as unseen, which errs on the side of telling.
        actividad::AnotarFalloIgnorado("lectura de " + archivoVistas_);
    }
}

std::vector<std::string> RespuestasApartadas::Todas() const {
    std::vector<std::string> nombres;
    if (carpeta_.empty()) return nombres;
    try {
        if (!archivos::ExisteEntrada(carpeta_)) return nombres;
        for (const archivos::Entrada& e : archivos::Listar(archivos::Unir(carpeta_, "*")))
            if (e.esCarpeta) nombres.push_back(e.nombre);
    } catch (...) {
        return {};
    }
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

std::vector<std::string> RespuestasApartadas::NoVistas() {
    LeerVistas();
    std::vector<std::string> nombres = Todas();
    std::erase_if(nombres, [this](const std::string& n) { return vistas_.count(n) != 0; });
    return nombres;
}

void RespuestasApartadas::MarcarVistas() {
    LeerVistas();
    for (std::string& nombre : Todas()) vistas_.insert(std::move(nombre));
    if (archivoVistas_.empty()) return;
    std::string texto;
    for (const std::string& nombre : vistas_) texto += nombre + "\r\n";
    try {
        archivos::EscribirCompleto(archivoVistas_, texto);
    } catch (...) {
        // Kept in memory: the count is right until the program ends.
        actividad::AnotarFalloIgnorado("escritura de " + archivoVistas_);
    }
}

std::vector<std::string> UltimasLineas(const std::string& texto, std::size_t cuantas) {
    std::vector<std::string> lineas = Lineas(texto);
    if (lineas.size() > cuantas) lineas.erase(lineas.begin(), lineas.end() - static_cast<std::ptrdiff_t>(cuantas));
    return lineas;
}

std::vector<std::string> UltimasLineasActividad(const std::string& carpeta, std::size_t cuantas) {
    std::vector<std::string> todas;
    try {
        std::vector<std::string> nombres;
        for (const archivos::Entrada& e : archivos::Listar(archivos::Unir(carpeta, "*.log")))
            if (!e.esCarpeta) nombres.push_back(e.nombre);
        // AAAA-MM-DD: the newest sorts last.
        std::sort(nombres.rbegin(), nombres.rend());
        for (const std::string& nombre : nombres) {
            if (todas.size() >= cuantas) break;
            const std::vector<std::string> lineas =
                UltimasLineas(archivos::LeerCompleto(archivos::Unir(carpeta, nombre)), cuantas - todas.size());
            todas.insert(todas.begin(), lineas.begin(), lineas.end());
        }
    } catch (const plataforma::ErrorSistema& e) {
        todas.push_back("(no se pudo leer el registro de actividad en " + carpeta + ": " + e.TextoNumeroDescripcion() +
                        ")");
    }
    return todas;
}

std::string TextoDiagnostico(const Diagnostico& d) {
    std::string t;
    const auto linea = [&t](const std::string& s) { t += s + "\r\n"; };
    linea("Diagnóstico de Tramiza " + d.version);
    linea(d.estado);
    linea("");
    linea("== Ajustes");
    for (const std::string& a : d.ajustes) linea(a);
    linea("");
    linea("== Terminales");
    linea(
        "Terminal\tSolicitud\tSituación\tEspera\tÚltima respuesta\tResultado\tDuración\tÚltimo fallo\tDescripción "
        "del fallo");
    for (const FilaTerminal& f : d.filas)
        linea(f.terminal + "\t" + f.letra + "\t" + f.situacion + "\t" + f.espera + "\t" + f.hora + "\t" + f.resultado +
              "\t" + f.duracion + "\t" + f.fallo + "\t" + f.textoFallo);
    linea("");
    linea("== Respuestas no entregadas (" + std::to_string(d.apartadas.size()) + ")");
    for (const std::string& a : d.apartadas) linea(a);
    linea("");
    linea("== Registro de actividad (últimas " + std::to_string(d.actividad.size()) + " líneas)");
    for (const std::string& r : d.actividad) linea(r);
    return t;
}
