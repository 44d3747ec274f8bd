// The cycle on the threads the program gives it, for ThreadSanitizer (ctest label "hilos"): the real
// pool with its clock making the ticks, the folder watch and a stream of notices from another
// thread, a window thread that starts the turns and runs their steps when told, one terminal whose
// calls now and then hang past the time a turn is counted for, and the program ended ("&Salir": no
// new tick, the turns in progress waited for) and started again in the middle of the run. The tills
// and the client each run on a thread of their own, in real time. Every answer must be its own
// request's, no request may reach the client twice, and none may be left unanswered.
//
// TRAMIZA_HILOS_SEGUNDOS: how long the tills keep sending (default 40); TRAMIZA_HILOS_PRONTO=1 adds
// a terminal whose client takes the request files as soon as they appear.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "banco_pruebas.h"
#include "bridge/ejecutor.h"
#include "bridge/planificador.h"
#include "bridge/respuestas.h"
#include "platform/actividad.h"
#include "platform/archivos.h"

namespace {

using namespace std::chrono;

constexpr int kTerminales = 12;
constexpr int kColgada = 3;  // the terminal whose calls hang now and then

int Entorno(const char* nombre, int siNo) {
    const char* v = std::getenv(nombre);
    return v && *v ? std::atoi(v) : siNo;
}

// The boxes, shown from whichever thread runs the step.
class InterfazCompartida final : public InterfazUsuario {
public:
    void EstablecerEstado(const std::string&) override {}
    void ProcesarMensajes() override {}
    std::vector<std::string> Titulos() {
        const std::lock_guard lock(m_);
        return titulos_;
    }

protected:
    void Mostrar(const std::string& texto, const std::string& titulo, Icono) override {
        const std::lock_guard lock(m_);
        titulos_.push_back(titulo + ": " + texto);
    }

private:
    std::mutex m_;
    std::vector<std::string> titulos_;
};

// The client is always found running; asked from any turn's thread.
class ClienteEnMarcha final : public ControlCliente {
public:
    bool ProcesoEnEjecucion(const std::string&) override {
        ++buscado;
        return true;
    }
    std::function<std::int32_t()> IniciarCliente(const std::string&, Avisos&) override { return {}; }
    std::atomic<int> buscado{0};
};

// Every file call of the cycle into the hung terminal's folders holds for 2.5 s, once every 6 s.
class Cuelgue {
public:
    Cuelgue() {
        archivos::InstalarInterceptor([this](const char*, const std::string& ruta) { Interceptar(ruta); });
    }
    ~Cuelgue() {
        Soltar();
        archivos::InstalarInterceptor({});
    }
    Cuelgue(const Cuelgue&) = delete;
    Cuelgue& operator=(const Cuelgue&) = delete;
    void Soltar() {
        const std::lock_guard lock(m_);
        soltar_ = true;
        cv_.notify_all();
    }
    std::atomic<int> veces{0};

private:
    void Interceptar(const std::string& ruta) {
        if (ruta.find("TER03") == std::string::npos && ruta.find("term03") == std::string::npos) return;
        const std::int64_t ahora = reloj_.AhoraMs();
        std::int64_t proxima = proxima_.load();
        if (ahora < proxima || !proxima_.compare_exchange_strong(proxima, ahora + 6000)) return;
        ++veces;
        std::unique_lock lock(m_);
        cv_.wait_for(lock, milliseconds(Planificador::kColgadoMs + 500), [this] { return soltar_; });
    }
    EsperadorReal reloj_;
    std::atomic<std::int64_t> proxima_{0};
    std::mutex m_;
    std::condition_variable cv_;
    bool soltar_ = false;
};

// The client on a thread of its own: one pass every 5 ms, in real time.
class ClienteEnHilo {
public:
    ClienteEnHilo(const std::string& dirZelno) : simulador_(dirZelno, 29, {true, 0}) {
        hilo_ = std::thread([this] {
            const auto inicio = steady_clock::now();
            while (!fin_) {
                {
                    const std::lock_guard lock(m_);
                    simulador_.Paso(duration_cast<milliseconds>(steady_clock::now() - inicio).count());
                }
                std::this_thread::sleep_for(milliseconds(5));
            }
        });
    }
    ~ClienteEnHilo() {
        fin_ = true;
        hilo_.join();
    }
    ClienteEnHilo(const ClienteEnHilo&) = delete;
    ClienteEnHilo& operator=(const ClienteEnHilo&) = delete;
    std::vector<sim::PedidoTomado> Pedidos() {
        const std::lock_guard lock(m_);
        return simulador_.Pedidos();
    }

private:
    std::mutex m_;
    sim::SimuladorZelno simulador_;
    std::atomic<bool> fin_{false};
    std::thread hilo_;
};

// --- The program, as its main window runs the scheduler ---------------------------------------------
// Everything this test asks of the scheduler is in this section: a window thread that makes the
// scheduler and answers its messages (a tick, a notice of the pool, the step timer) as the main
// window does, the pool and its clock, a watch on each root, and "&Salir" from the window's thread.
class Programa final : private Planificador::Ventana {
public:
    Programa(prueba::Banco& b, InterfazUsuario& ui, ControlCliente& cliente) : b_(b), ui_(ui), cliente_(cliente) {
        ventana_ = std::thread([this] { Ventana(); });
        std::unique_lock lock(m_);
        cv_.wait(lock, [this] { return planificador_ != nullptr; });
        // Notices of changes from yet another thread, as a watch that reports late and twice would.
        avisos_ = std::thread([this] {
            std::mt19937 azar(11);
            while (!finAvisos_) {
                const int n = 1 + static_cast<int>(azar() % kTerminales);
                {
                    const std::lock_guard lock(mAvisos_);
                    if (Planificador* p = planificador_.load())
                        p->Cambio(azar() % 2 ? b_.Ter(n, "STATUS.ZLN") : b_.Term(n, "estado.rsp"));
                }
                std::this_thread::sleep_for(milliseconds(3));
            }
        });
    }
    // "&Salir" on the window's thread: no new tick, and the end once the turns in progress are over,
    // however many changes the watches and the notices still bring meanwhile.
    ~Programa() {
        {
            const std::lock_guard lock(m_);
            salir_ = true;
            cv_.notify_one();
        }
        ventana_.join();
        finAvisos_ = true;
        avisos_.join();
    }
    Programa(const Programa&) = delete;
    Programa& operator=(const Programa&) = delete;

private:
    bool PedirTic() override { return Pedir(tic_); }
    bool PedirPasos() override { return Pedir(pasos_); }
    bool ArmarPasos(std::uint32_t ms) override {
        const std::lock_guard lock(m_);
        temporizador_ = steady_clock::now() + milliseconds(ms);
        return true;
    }
    void DesarmarPasos() override {
        const std::lock_guard lock(m_);
        temporizador_.reset();
    }
    void Cerrar() override { cerrada_ = true; }
    bool Pedir(bool& mensaje) {
        const std::lock_guard lock(m_);
        mensaje = true;
        cv_.notify_one();
        return true;
    }

    // The window's message loop. The scheduler is made here, and the pool goes before it.
    void Ventana() {
        std::atomic<Planificador*> destino{nullptr};
        auto ejecutor = std::make_unique<EjecutorHilos>([&destino] {
            if (Planificador* p = destino.load()) p->AvisoDelPool();
        });
        {
            Planificador planificador(
                b_.configuracion, ui_, esperador_, cliente_, [] { return archivos::FechaHora{2026, 12, 9, 10, 0, 0}; },
                b_.CarpetaEstado(), ejecutor.get(), this, nullptr, true);
            planificador.Terminales = b_.lista;
            planificador.Aplicar(true, 200);
            destino = &planificador;
            {
                const std::lock_guard lock(m_);
                planificador_ = &planificador;
                cv_.notify_all();
            }
            bool terminando = false;
            while (!cerrada_) {
                bool tic = false, pasos = false, temporizador = false, salir = false;
                {
                    std::unique_lock lock(m_);
                    cv_.wait_until(lock, temporizador_.value_or(steady_clock::now() + milliseconds(100)),
                                   [this] { return tic_ || pasos_ || (salir_ && !terminandoVisto_); });
                    tic = std::exchange(tic_, false);
                    pasos = std::exchange(pasos_, false);
                    temporizador = temporizador_ && steady_clock::now() >= *temporizador_;
                    salir = salir_ && !terminando;
                    terminandoVisto_ = salir_;
                }
                if (salir) {
                    terminando = true;
                    planificador.Terminar();
                }
                if (tic) planificador.Tic();
                if (pasos) planificador.PasosAvisados();
                if (temporizador) planificador.TemporizadorPasos();
            }
            // As the main window's destructor: the watches and the notices stop, then the pool goes.
            planificador.Detener();
            {
                const std::lock_guard lock(mAvisos_);
                planificador_ = nullptr;
            }
            ejecutor.reset();
            destino = nullptr;
        }
    }

    prueba::Banco& b_;
    InterfazUsuario& ui_;
    ControlCliente& cliente_;
    EsperadorReal esperador_;
    std::atomic<Planificador*> planificador_{nullptr};
    std::mutex mAvisos_;  // the notices' thread uses the scheduler only while it holds this
    std::mutex m_;
    std::condition_variable cv_;
    bool tic_ = false, pasos_ = false, salir_ = false, terminandoVisto_ = false;
    std::optional<steady_clock::time_point> temporizador_;
    std::atomic<bool> cerrada_{false}, finAvisos_{false};
    std::thread avisos_, ventana_;
};
// --- End of the program's section ------------------------------------------------------------------

// What a till got for a request, to be checked once the run is over.
struct Recibida {
    int terminal = 0;
    std::string id, seresp;
};

TEST(Concurrencia, ThePoolTheClockTheWatchAHungCallAndAnEndInTheMiddle) {
    const int segundos = Entorno("TRAMIZA_HILOS_SEGUNDOS", 40);
    const bool pronto = Entorno("TRAMIZA_HILOS_PRONTO", 0) != 0;
    prueba::Banco b(kTerminales, 5);
    b.planificador.reset();
    b.configuracion.IniciarZelnoExe = 0;
    // The activity log's own thread writes what every turn logs.
    prueba::CrearCarpetas(b.raiz / "registro");
    actividad::Iniciar(b.raiz / "registro");
    b.Comportamiento(std::string("term02 falla E55 prueba\nterm04 normal 300\nterm05 toma-lenta\n") +
                     (pronto ? "term06 toma-pronto\n" : "") + "* normal\n");
    InterfazCompartida ui;
    ClienteEnMarcha cliente;
    Cuelgue cuelgue;
    ClienteEnHilo zelno(b.configuracion.DirectorioZELNO);

    // Three tills' threads, four terminals each: a request, its answer, the next request.
    std::mutex mr;
    std::vector<Recibida> recibidas;
    std::map<int, std::string> pendientes;  // terminal -> the request it waits for
    std::atomic<bool> enviarMas{true}, finTills{false};
    std::vector<std::thread> tills;
    for (int grupo = 0; grupo < 3; ++grupo) {
        tills.emplace_back([&, grupo] {
            std::map<int, int> siguiente;
            std::map<int, bool> esperando;
            while (!finTills) {
                for (int n = 1 + grupo * 4; n <= 4 + grupo * 4; ++n) {
                    sim::TerminalKorvane& t = b.Terminal(n);
                    std::string id("H");
                    id.append(std::to_string(n)).append(1, '-').append(std::to_string(siguiente[n]));
                    if (esperando[n]) {
                        if (!t.RespuestaLista()) continue;
                        const sim::Respuesta r = t.LeerRespuesta();
                        const std::lock_guard lock(mr);
                        recibidas.push_back({n, id, r.seresp});
                        pendientes.erase(n);
                        esperando[n] = false;
                        ++siguiente[n];
                        continue;
                    }
                    if (!enviarMas) continue;
                    t.EnviarSolicitud({id, 336, "ACA", n % 3 != 0});
                    const std::lock_guard lock(mr);
                    pendientes[n] = id;
                    esperando[n] = true;
                }
                std::this_thread::sleep_for(milliseconds(10));
            }
        });
    }

    // The program runs, ends in the middle of exchanges, and starts again: three times in all.
    const auto inicio = steady_clock::now();
    int arranques = 0;
    for (int i = 0; i < 3; ++i) {
        Programa programa(b, ui, cliente);
        ++arranques;
        std::this_thread::sleep_for(seconds(segundos) / 3);
    }
    // The tills send no more; the program runs until every request has its answer.
    enviarMas = false;
    {
        Programa programa(b, ui, cliente);
        ++arranques;
        for (int i = 0; i < 900; ++i) {
            {
                const std::lock_guard lock(mr);
                if (pendientes.empty()) break;
            }
            std::this_thread::sleep_for(milliseconds(100));
        }
    }
    finTills = true;
    for (std::thread& t : tills) t.join();
    cuelgue.Soltar();
    actividad::Terminar();

    const std::vector<sim::PedidoTomado> registros = zelno.Pedidos();
    std::map<std::string, int> tomadas;
    std::map<std::string, const sim::PedidoTomado*> porId;
    for (const sim::PedidoTomado& r : registros) {
        ++tomadas[r.id];
        porId[r.id] = &r;
    }
    int propias = 0, enDuda = 0;
    for (const auto& [id, veces] : tomadas) EXPECT_EQ(veces, 1) << "handed to the client " << veces << " times: " << id;
    for (const Recibida& r : recibidas) {
        const auto pedido = porId.find(r.id);
        if (pedido == porId.end()) {
            // Never reached the client (an end in the middle of its hand-off): our error answer.
            EXPECT_EQ(r.seresp, RespuestaErrorComunicacion("")) << r.id;
            ++enDuda;
            continue;
        }
        const std::string esperada = r.terminal == 2   ? RespuestaErrorComunicacion("E55 prueba")
                                     : r.terminal == 6 ? r.seresp
                                                       : sim::RespuestaSeresp(*pedido->second);
        EXPECT_EQ(r.seresp, esperada) << "terminal " << r.terminal << ", request " << r.id;
        // The eager client's answer names its request, whatever it took.
        if (r.terminal == 6) {
            EXPECT_TRUE(r.seresp.ends_with(" " + r.id + "\r")) << r.seresp;
        }
        if (r.seresp == esperada) ++propias;
    }
    {
        const std::lock_guard lock(mr);
        for (const auto& [n, id] : pendientes) ADD_FAILURE() << "left unanswered: terminal " << n << ", " << id;
    }
    for (const std::string& t : ui.Titulos()) ADD_FAILURE() << "box: " << t;
    EXPECT_GT(cuelgue.veces.load(), 0);
    EXPECT_GE(arranques, 4);
    EXPECT_GT(static_cast<int>(recibidas.size()), 5 * kTerminales);
    std::printf("%d s, %d arranques, %zu respuestas (%d propias, %d en duda), %zu tomadas, %d cuelgues\n",
                static_cast<int>(duration_cast<seconds>(steady_clock::now() - inicio).count()), arranques,
                recibidas.size(), propias, enDuda, registros.size(), cuelgue.veces.load());
}

}  // namespace
