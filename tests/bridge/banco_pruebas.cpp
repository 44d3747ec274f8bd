#include "banco_pruebas.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace fs = std::filesystem;

namespace prueba {

namespace {

std::string Dos(int n) {
    char t[16];
    std::snprintf(t, sizeof t, "%02d", n);
    return t;
}

std::string Bajo(const std::string& carpeta, const std::string& archivo) {
    return archivo.empty() ? carpeta : (fs::path(carpeta) / archivo).make_preferred().string();
}

}  // namespace

Banco::Banco(int terminales, unsigned semilla, sim::Modelo modelo)
    : configuracion("TramizaPrueba"), simulador((CrearCarpetas(raiz / "Z"), raiz / "Z"), semilla, modelo) {
    Reiniciar();
    CrearCarpetas(raiz / "K");
    configuracion.DirectorioKorvane = raiz / "K";
    configuracion.DirectorioZELNO = raiz / "Z";
    configuracion.ActivarTX = 1;
    configuracion.Intervalo = 1;
    configuracion.IniciarActivo = 1;
    configuracion.IniciarZelnoExe = 1;
    configuracion.ZelnoExe = "Zelno32.exe --dir Z";
    for (int n = 1; n <= terminales; ++n) terminales_.emplace_back(Ter(n));
    lista = CargarTerminales(configuracion, ui);
}

std::string Banco::Ter(int n, const std::string& archivo) const {
    return Bajo(Bajo(configuracion.DirectorioKorvane, "TER" + Dos(n)), archivo);
}
std::string Banco::Term(int n, const std::string& archivo) const {
    return Bajo(Bajo(configuracion.DirectorioZELNO, "term" + Dos(n)), archivo);
}
std::string Banco::Z(const std::string& archivo) const { return Bajo(configuracion.DirectorioZELNO, archivo); }

void Banco::Comportamiento(const std::string& reglas) { EscribirArchivo(Z("_zelno_sim.cfg"), reglas); }

bool Banco::Tick() {
    esperador.ahora += 1000;
    simulador.Paso(esperador.AhoraMs());
    const long antes = planificador->Ciclos();
    planificador->Terminales = lista;
    planificador->Tic();
    TerminarTurnos();
    return planificador->Ciclos() != antes;
}

// Answers the notices first, as the window's queue would, then the step timer.
bool Banco::Avisados() {
    if (!ventana.pasosPedidos) return false;
    ventana.pasosPedidos = false;
    planificador->PasosAvisados();
    return true;
}

void Banco::TerminarTurnos() {
    for (;;) {
        if (Avisados()) continue;
        if (!ventana.pasos) break;
        const std::int64_t proximo = *ventana.pasos;
        if (esperador.tiempoReal)
            std::this_thread::sleep_for(
                std::chrono::milliseconds(std::max<std::int64_t>(0, proximo - esperador.AhoraMs())));
        else
            esperador.ahora = std::max(esperador.ahora, proximo);
        const std::int64_t ahora = esperador.AhoraMs();
        if (simulador.Pendiente()) simulador.Paso(ahora);
        if (esperador.alEsperar) esperador.alEsperar(ahora);
        planificador->TemporizadorPasos();
    }
}

void Banco::Correr(std::int64_t ms) {
    const std::int64_t fin = esperador.ahora + ms;
    std::int64_t tick = esperador.ahora + 1000;
    while (true) {
        if (Avisados()) continue;
        const auto paso = ventana.pasos;
        const std::int64_t siguiente = paso ? std::min(*paso, tick) : tick;
        if (siguiente > fin) break;
        esperador.ahora = siguiente;
        if (paso && *paso <= tick) {
            planificador->TemporizadorPasos();
        } else {
            simulador.Paso(esperador.ahora);
            planificador->Terminales = lista;
            planificador->Tic();
            tick += 1000;
        }
    }
    esperador.ahora = fin;
}

void Banco::Reiniciar() {
    planificador.reset();
    ventana.Olvidar();
    ejecutor.avisar = [this] { planificador->AvisoDelPool(); };
    planificador.emplace(
        configuracion, ui, esperador, cliente, [this] { return hora; }, CarpetaEstado(), &ejecutor, &ventana);
}

bool Banco::TickHastaRespuesta(int n, int maximo) {
    for (int i = 0; i < maximo; ++i) {
        Tick();
        if (Terminal(n).RespuestaLista()) return true;
    }
    return false;
}

}  // namespace prueba
