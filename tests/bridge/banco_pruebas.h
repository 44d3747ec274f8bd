#pragma once
// A whole exchange on one machine, without real seconds: a Korvane root with terminals, the client
// simulator answering in the Zelno folder, and the polling cycle on a virtual clock that the bench moves
// from wait to wait, letting the simulator work while the cycle waits.

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "bridge/planificador.h"
#include "korvane_sim/terminal_korvane.h"
#include "support/soporte.h"
#include "zelno_sim/simulador_zelno.h"

namespace prueba {

// The virtual clock of the fixed waits; it records each wait as it begins.
class EsperadorSimulado : public Esperador {
public:
    std::int64_t AhoraMs() override { return tiempoReal ? MsReales() : ahora; }
    void EsperaIniciada(std::int32_t msEspera) override { esperas.push_back(msEspera); }
    // On the virtual clock the cycle's steps never run out of time, unless `pasosAgotados` says so:
    // the soak draws it, as a slow machine would, in the same way at every run.
    bool PasosAgotados(std::chrono::steady_clock::time_point limite) override {
        if (tiempoReal) return Esperador::PasosAgotados(limite);
        return pasosAgotados && pasosAgotados();
    }
    std::function<bool()> pasosAgotados;
    std::int64_t ahora = 0;
    std::vector<std::int32_t> esperas;
    // Runs as each wait ends, before the cycle goes on (Banco::TerminarTurnos).
    std::function<void(std::int64_t)> alEsperar;
    // The waits take their real time: for tests where another process holds a file for a while.
    bool tiempoReal = false;
    // The waits begun so far of at least `ms`.
    std::size_t EsperasDe(std::int32_t ms) const {
        return static_cast<std::size_t>(
            std::count_if(esperas.begin(), esperas.end(), [ms](auto e) { return e >= ms; }));
    }

private:
    static std::int64_t MsReales() {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }
};

class ClienteSimulado : public ControlCliente {
public:
    bool ProcesoEnEjecucion(const std::string& nombreExe) override {
        buscados.push_back(nombreExe);
        return enEjecucion;
    }
    std::function<std::int32_t()> IniciarCliente(const std::string& rutaExe, Avisos& ui) override {
        iniciados.push_back(rutaExe);
        if (resultadoInicio != 0) return [r = resultadoInicio] { return r; };
        ui.MostrarMensaje("1: No se puede cargar cliente Zelno32.exe", "Zelno Activo", Icono::Critico);
        return {};
    }
    bool enEjecucion = true;
    std::int32_t resultadoInicio = 258;
    std::vector<std::string> buscados, iniciados;
};

// The main window as the scheduler sees it, on the virtual clock: the step timer is the moment it
// fires, and a message posted to the window is a flag that the bench answers.
class VentanaSimulada final : public Planificador::Ventana {
public:
    explicit VentanaSimulada(Esperador& esperador) : esperador_(esperador) {}
    bool PedirTic() override { return ticPedido = true; }
    bool PedirPasos() override { return pasosPedidos = true; }
    bool ArmarPasos(std::uint32_t ms) override {
        pasos = esperador_.AhoraMs() + ms;
        return true;
    }
    void DesarmarPasos() override { pasos.reset(); }
    void Cerrar() override { cerrada = true; }
    // A window made anew, for a program started again.
    void Olvidar() {
        ticPedido = pasosPedidos = cerrada = false;
        pasos.reset();
    }
    bool ticPedido = false, pasosPedidos = false, cerrada = false;
    std::optional<std::int64_t> pasos;  // when the step timer fires

private:
    Esperador& esperador_;
};

// Work at once, on the caller's thread; a piece that has something for the window tells it, as the
// program's pool does.
class EjecutorBanco final : public Ejecutor {
public:
    void Ejecutar(std::function<void()> trabajo) override { trabajo(); }
    bool EnLinea() const noexcept override { return true; }
    void Avisar() override {
        if (avisar) avisar();
    }
    std::function<void()> avisar;
};

class Banco {
public:
    explicit Banco(int terminales = 1, unsigned semilla = 1, sim::Modelo modelo = {});

    // K\TERnn and Z\termnn for terminal number n (1-based, two digits).
    std::string Ter(int n, const std::string& archivo = {}) const;
    std::string Term(int n, const std::string& archivo = {}) const;
    std::string Z(const std::string& archivo) const;
    sim::TerminalKorvane& Terminal(int n) { return terminales_.at(static_cast<std::size_t>(n - 1)); }

    // Behaviour rules for the client simulator (the lines of its control file).
    void Comportamiento(const std::string& reglas);

    // One timer tick of the window, with the turns it starts run to their end: the simulator works
    // one second of virtual time before it, and the clock then moves from one firing of the step timer
    // to the next, the client finishing what it has started (a late answer file) as each one comes;
    // new requests it takes at the next tick. True when the tick looked at the terminals.
    bool Tick();
    // The turns in progress run to their end, as above: the window answers the scheduler's messages
    // and its step timer until neither is left.
    void TerminarTurnos();
    // The program as it runs: for `ms` of virtual time, a tick every second and each turn's steps as
    // their waits end, whichever comes first; the simulator works at each tick.
    void Correr(std::int64_t ms);
    // Ticks until terminal n shows "S" or `maximo` ticks have passed; returns whether it did.
    bool TickHastaRespuesta(int n, int maximo = 10);
    // The program stopped and started again: a new cycle over the files and records on disk.
    void Reiniciar();
    // Where the cycle keeps its exchange records.
    std::string CarpetaEstado() const { return raiz / "estado"; }

    CarpetaTemporal raiz;
    clsConfiguracion configuracion;
    GrabadorInterfaz ui;
    EsperadorSimulado esperador;
    ClienteSimulado cliente;
    archivos::FechaHora hora{2026, 12, 6, 14, 5, 33};
    sim::SimuladorZelno simulador;
    VentanaSimulada ventana{esperador};
    EjecutorBanco ejecutor;
    std::optional<Planificador> planificador;
    // The terminal list in force: given to the scheduler at each tick.
    ListaTerminales lista;

private:
    bool Avisados();

    std::vector<sim::TerminalKorvane> terminales_;
};

}  // namespace prueba
