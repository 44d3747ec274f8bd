// Many terminals and thousands of requests through the cycle, with the client picking its
// behaviour at random and every terminal sending its next request as soon as its answer is in;
// and whole exchanges with a failure or a stop at each of their file operations.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <utility>

#ifdef _WIN32
#include <windows.h>
#endif

#include "banco_pruebas.h"
#include "bridge/respuestas.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

namespace {

namespace fs = std::filesystem;

struct Enviada {
    int terminal = 0;
    sim::Solicitud solicitud;
};

// The provider code each request must carry, worked out by hand from the company codes used.
std::string ProveedorEsperado(const sim::Solicitud& s) {
    if (s.longitud <= 225) return "V9011101";
    static const std::map<std::string, std::string> kTabla = {
        {"ACA", "V9013101"}, {"kos", "V9013301"}, {"OSDE", "V9011101"}, {"PASTEU", "V9012901"}, {"", "V9011101"}};
    return kTabla.at(s.empresa);
}

struct Parada {};  // a kill: not a failure the program can see or handle

// Faults at random file operations, for the soak: short locks (retried unseen), long locks (a
// failure after the retries), failures, and stops of the whole program.
class FallasAlAzar {
public:
    FallasAlAzar() {
        archivos::InstalarInterceptor(
            [this](const char* operacion, const std::string& ruta) { Interceptar(operacion, ruta); });
    }
    ~FallasAlAzar() { archivos::InstalarInterceptor({}); }
    FallasAlAzar(const FallasAlAzar&) = delete;
    FallasAlAzar& operator=(const FallasAlAzar&) = delete;

    // After a tick: a stop throws the cycle object away, as a killed process loses it.
    bool TomarParada() { return std::exchange(parado_, false); }
    std::map<std::string, int> cuenta;

private:
    void Interceptar(std::string_view operacion, const std::string& ruta) {
        if (parado_) throw Parada{};
        // Looking whether a file exists cannot fail, nor meet a lock; a stop can happen there too.
        const bool puedeFallar = operacion != "Existe" && operacion != "ExisteEntrada";
        if (puedeFallar && bloqueada_ == ruta && restantes_ > 0) {
            --restantes_;
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
        }
        const unsigned tirada = azar_() % 100000;
        if (tirada < 40) {
            ++cuenta["parada"];
            parado_ = true;
            throw Parada{};
        }
        if (!puedeFallar) return;
        if (tirada < 140) {
            ++cuenta["fallo"];
            throw plataforma::ErrorSistema(29, "fallo de prueba");
        }
        if (tirada < 190 || tirada == 99999) {
            // Three tries (about 50 ms), or longer than the operation waits.
            ++cuenta[tirada == 99999 ? "bloqueo largo" : "bloqueo corto"];
            bloqueada_ = ruta;
            restantes_ = tirada == 99999 ? 1000000 : 2;
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
        }
        if (restantes_ > 100) restantes_ = 0;  // a long lock ends at the next other operation
    }

#ifdef _WIN32
    static constexpr long kBloqueo = 32;
#else
    static constexpr long kBloqueo = 16;  // EBUSY
#endif
    std::mt19937 azar_{20261207};
    bool parado_ = false;
    std::string bloqueada_;
    int restantes_ = 0;
};

// Fifty terminals, each sending its next request as soon as its answer is in; the client picks its
// behaviour at random. With `fallas`, faults and stops happen at random file operations: every
// request must still reach the client once and get the answer its behaviour calls for.
void Aguante(int kSolicitudes, bool conFallas) {
    constexpr int kTerminales = 50;
    prueba::Banco b(kTerminales, 20261207);
    std::optional<FallasAlAzar> fallas;
    if (conFallas) fallas.emplace();
    b.Comportamiento("* azar\n");
    std::mt19937 azar(7);
    const int longitudes[] = {120, 225, 226, 300, 335, 336, 512};
    const char* empresas[] = {"ACA", "kos", "OSDE", "PASTEU", ""};

    std::map<std::string, Enviada> enviadas;
    std::map<int, bool> esperando;
    int siguiente = 0;
    auto enviar = [&](int n) {
        Enviada e{n,
                  {std::string("T") + std::to_string(n) + "-" + std::to_string(siguiente++), longitudes[azar() % 7],
                   empresas[azar() % 5], azar() % 8 != 0}};
        b.Terminal(n).EnviarSolicitud(e.solicitud);
        enviadas[e.solicitud.id] = e;
        esperando[n] = true;
    };
    for (int n = 1; n <= kTerminales; ++n) enviar(n);

    std::map<std::string, std::size_t> tomadas;  // request id -> index in the simulator's records
    std::size_t vistos = 0;
    std::map<std::string, int> porComportamiento;
    int respondidas = 0, enDuda = 0;
    for (int tick = 0; respondidas < kSolicitudes && tick < 20 * kSolicitudes / kTerminales; ++tick) {
        b.Tick();
        if (fallas && fallas->TomarParada()) b.Reiniciar();
        const auto& registros = b.simulador.Registros();
        for (; vistos < registros.size(); ++vistos) {
            const std::string id = sim::PrimeraLinea(registros[vistos].clicab);
            ASSERT_TRUE(tomadas.emplace(id, vistos).second) << "request " << id << " handed off twice";
        }
        for (int n = 1; n <= kTerminales; ++n) {
            sim::TerminalKorvane& t = b.Terminal(n);
            // A terminal that has sent its last request keeps showing its last "S".
            if (!t.RespuestaLista() || !esperando[n]) continue;
            const sim::Respuesta r = t.LeerRespuesta();
            // Which request this answer is for: the one this terminal sent last.
            auto enviada =
                std::find_if(enviadas.begin(), enviadas.end(), [&](auto& e) { return e.second.terminal == n; });
            ASSERT_NE(enviada, enviadas.end());
            const sim::Solicitud& s = enviada->second.solicitud;
            auto tomada = tomadas.find(s.id);
            if (tomada == tomadas.end()) {
                // A stop in the middle of its upload, where nobody can tell whether the client took
                // it: never sent again, and answered with our communication error once its wait is over.
                if (r.seresp != RegistroErrorComunicacion("")) {
                    for (const auto& reg : registros)
                        if (reg.terminal == "term" + std::string(n < 10 ? "0" : "") + std::to_string(n))
                            fprintf(stderr, "take %s %s clicab=[%s] praxis=%d\n", reg.terminal.c_str(),
                                    reg.comportamiento.c_str(), sim::PrimeraLinea(reg.clicab).c_str(),
                                    (int)reg.conPraxis);
                }
                ASSERT_EQ(r.seresp, RegistroErrorComunicacion("")) << "answered without reaching the client: " << s.id;
                ASSERT_TRUE(fallas) << s.id;
                ++enDuda;
                for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(n, f));
                enviadas.erase(enviada);
                esperando[n] = false;
                ++respondidas;
                if (siguiente < kSolicitudes) enviar(n);
                continue;
            }
            const sim::RegistroPedido& pedido = registros[tomada->second];

            // The request reached the client byte for byte, with the right provider code.
            ASSERT_EQ(pedido.clicab, sim::ContenidoClicab(s)) << s.id;
            ASSERT_EQ(pedido.conPraxis, s.conPraxis) << s.id;
            if (s.conPraxis) {
                ASSERT_EQ(pedido.praxis, "PRAXIS " + s.id + "\r\n") << s.id;
            }
            ASSERT_EQ(pedido.proveedor, ProveedorEsperado(s)) << s.id;

            // The answer is the one the client's behaviour calls for.
            const std::string& c = pedido.comportamiento;
            ++porComportamiento[c];
            if (c == "normal" || c == "seresp-tarde") {
                ASSERT_EQ(r.seresp, sim::RespuestaSeresp(pedido)) << s.id << " " << c;
            } else if (c == "sin-seresp" || c == "seresp-vacio") {
                ASSERT_EQ(r.seresp, RegistroErrorFormato()) << s.id << " " << c;
            } else {
                ASSERT_EQ(c, "falla");
                ASSERT_EQ(r.seresp.size(), 351u) << s.id;
                ASSERT_EQ(r.seresp.substr(0, 47), "9200000001ERROR EN LA COMUNICACION. REINTENTE. ") << s.id;
            }
            if (c == "falla") {
                ASSERT_FALSE(r.hayPraxis) << s.id;
                ASSERT_FALSE(r.hayTiquet) << s.id;
            } else {
                ASSERT_EQ(r.praxis, sim::RespuestaPraxis(pedido)) << s.id;
                ASSERT_EQ(r.tiquet, sim::RespuestaTiquet(pedido)) << s.id;
            }

            // The terminal takes its answer and sends the next request.
            for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(n, f));
            enviadas.erase(enviada);
            esperando[n] = false;
            ++respondidas;
            if (siguiente < kSolicitudes) enviar(n);
        }
    }

    EXPECT_EQ(respondidas, kSolicitudes);
    EXPECT_TRUE(enviadas.empty());
    EXPECT_EQ(tomadas.size() + static_cast<std::size_t>(enDuda), static_cast<std::size_t>(kSolicitudes));
    std::printf("en duda, respondidas con error de comunicación: %d\n", enDuda);
    if (fallas) {
        // Every kind of fault happened, and was survived.
        for (const char* que : {"parada", "fallo", "bloqueo corto", "bloqueo largo"}) {
            EXPECT_GT(fallas->cuenta[que], 0) << que;
            std::printf("%s: %d\n", que, fallas->cuenta[que]);
        }
        // One more tick finishes the removals that a fault left after the last "S".
        fallas.reset();
        b.Reiniciar();
        b.Tick();
    } else {
        EXPECT_TRUE(b.ui.mensajes.empty()) << b.ui.mensajes.front().titulo << ": " << b.ui.mensajes.front().texto;
    }
    // Every behaviour was exercised.
    for (const char* c : {"normal", "falla", "sin-seresp", "seresp-vacio", "seresp-tarde"})
        EXPECT_GT(porComportamiento[c], 100) << c;

    // Nothing is left that should have been removed: the client took every upload, the cycle took
    // every answer file; only the kept copies and an empty answer the client left stay.
    for (int n = 1; n <= kTerminales; ++n) {
        EXPECT_TRUE(fs::is_empty(b.Term(n, "upload"))) << n;
        EXPECT_FALSE(fs::exists(b.Term(n, "estado.rsp"))) << n;
        for (const auto& e : fs::directory_iterator(b.Term(n, "download"))) {
            const std::string nombre = e.path().filename().string();
            if (nombre == "SERESP.ZLN")
                EXPECT_EQ(fs::file_size(e.path()), 0u) << n;
            else
                EXPECT_TRUE(nombre == "SERESPAnterior.ZLN" || nombre == "PRAXISAnterior.ZLN") << n << " " << nombre;
        }
        for (const char* f : {"CLICAB.ZLN", "PRAXIS.ZLN", "SERESP.ZLN"}) EXPECT_FALSE(fs::exists(b.Ter(n, f))) << n;
    }
}

}  // namespace

TEST(Resistencia, FiftyTerminalsFiveThousandRequests) { Aguante(5000, false); }

TEST(Resistencia, FiftyTerminalsTenThousandRequestsWithFaultsAndStops) { Aguante(10000, true); }

// --- Faults and stops at every file operation ------------------------------------------------------
//
// Each scenario is run once without faults; then once per file operation it performs, with that one
// operation failing (or the program stopping there, as a kill would: the cycle object is thrown away
// and a new one starts from the files on disk), followed by clean ticks. The terminal must end with
// exactly the answer of the fault-free run, every request must reach the client at most once, and
// the client's folders must hold nothing but the kept copies.

enum class Modo { Fallo, Bloqueo, Parar };

// What the scenario leaves: each terminal file's content, the client folders' names, the takes.
struct Final {
    std::map<std::string, std::string> terminal;
    std::vector<std::string> subida, descarga;
    std::vector<std::string> tomadas;  // first line of each request the client took, in order
    std::string primera;               // the SERESP.ZLN the first request got
    friend bool operator==(const Final&, const Final&) = default;
};

std::vector<std::string> Nombres(const std::string& carpeta) {
    std::vector<std::string> n;
    for (const auto& e : fs::directory_iterator(carpeta)) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}

struct Escenario {
    const char* nombre;
    const char* comportamiento;
    bool repetir;              // send the same request again after the answer: a duplicate within the minute
    bool sinArchivos = false;  // a request of STATUS.ZLN alone
};

class Falla {
public:
    Falla(Modo modo, long objetivo) : modo_(modo), objetivo_(objetivo) {
        archivos::InstalarInterceptor([this](const char* operacion, const std::string&) { Interceptar(operacion); });
    }
    ~Falla() { archivos::InstalarInterceptor({}); }
    Falla(const Falla&) = delete;
    Falla& operator=(const Falla&) = delete;

    long Operaciones() const { return cuenta_; }
    bool Parado() const { return parado_; }
    void Reanudar() { parado_ = false; }

private:
    void Interceptar(std::string_view operacion) {
        if (parado_) throw Parada{};
        const long n = ++cuenta_;
        if (n == objetivo_ && modo_ == Modo::Parar) {
            parado_ = true;
            throw Parada{};
        }
        // Looking whether a file exists cannot fail; only a stop can happen there.
        if (operacion == "Existe" || operacion == "ExisteEntrada") return;
        if (n == objetivo_ && modo_ == Modo::Fallo) throw plataforma::ErrorSistema(29, "fallo de prueba");
            // A lock held for three tries: retried within the operation, nobody sees it.
#ifdef _WIN32
        constexpr long kBloqueo = 32;
#else
        constexpr long kBloqueo = 16;     // EBUSY
#endif
        if (modo_ == Modo::Bloqueo && n >= objetivo_ && n < objetivo_ + 3)
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
    }

    Modo modo_;
    long objetivo_;
    long cuenta_ = 0;
    bool parado_ = false;
};

// Runs the scenario on terminal 1 with `falla` in force (objetivo 0: none) and returns what it left.
Final Correr(const Escenario& e, Modo modo, long objetivo, long* operaciones = nullptr) {
    prueba::Banco b(1, 5);
    b.Comportamiento(std::string("* ") + e.comportamiento + "\n");
    const sim::Solicitud s{"PEDIDO-FALLAS", 336, "ACA", true};
    Falla falla(modo, objetivo);

    auto tickHastaRespuesta = [&] {
        // Enough for the wait of a request in doubt.
        for (int i = 0; i < 80 && !b.Terminal(1).RespuestaLista(); ++i) {
            b.Tick();
            if (falla.Parado()) {
                falla.Reanudar();
                b.Reiniciar();
            }
        }
    };
    b.Terminal(1).EnviarSolicitud(s);
    if (e.sinArchivos)
        for (const char* f : {"CLICAB.ZLN", "PRAXIS.ZLN"}) fs::remove(b.Ter(1, f));
    tickHastaRespuesta();
    Final f;
    f.primera = b.Terminal(1).LeerRespuesta().seresp;
    if (e.repetir) {
        for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(1, f));
        b.Terminal(1).EnviarSolicitud(s);
        // Written in the same clock minute as the first one.
        fs::last_write_time(b.Ter(1, "CLICAB.ZLN"), fs::last_write_time(b.Ter(1, "CLICABAnterior.ZLN")));
        tickHastaRespuesta();
    }
    // A stop or failure after "S" may leave only the removal of the client's files: one more tick.
    b.Tick();
    if (falla.Parado()) {
        falla.Reanudar();
        b.Reiniciar();
        b.Tick();
    }
    if (operaciones) *operaciones = falla.Operaciones();

    for (const auto& entrada : fs::directory_iterator(b.Ter(1)))
        f.terminal[entrada.path().filename().string()] = prueba::LeerArchivo(entrada.path().string());
    f.subida = Nombres(b.Term(1, "upload"));
    f.descarga = Nombres(b.Term(1, "download"));
    for (const auto& r : b.simulador.Registros()) f.tomadas.push_back(sim::PrimeraLinea(r.clicab));
    return f;
}

TEST(Resistencia, EveryFileOperationFailedOrStoppedOnceEndsWithTheSameAnswer) {
    const Escenario escenarios[] = {
        {"normal", "normal", false},
        {"falla del cliente", "falla E12", false},
        {"sin respuesta", "sin-seresp", false},
        {"respuesta vacia", "seresp-vacio", false},
        {"respuesta tardia", "seresp-tarde 3500", false},
        {"duplicado", "normal", true},
        {"sin archivos", "normal", false, true},
    };
    Final normal;
    int enDuda = 0;
    for (const Escenario& e : escenarios) {
        long operaciones = 0;
        const Final esperado = Correr(e, Modo::Fallo, 0, &operaciones);
        ASSERT_EQ(esperado.terminal.at("STATUS.ZLN"), "S") << e.nombre;
        ASSERT_EQ(esperado.tomadas.size(), 1u) << e.nombre;
        ASSERT_GT(operaciones, 10) << e.nombre;
        if (std::string_view(e.nombre) == "normal") normal = esperado;
        for (Modo modo : {Modo::Fallo, Modo::Parar, Modo::Bloqueo}) {
            for (long k = 1; k <= operaciones; ++k) {
                if (modo == Modo::Bloqueo && k % 5 != 0) continue;  // a sample: each costs real pauses
                const Final obtenido = Correr(e, modo, k);
                const char* como = modo == Modo::Fallo ? "fallo" : modo == Modo::Parar ? "parada" : "bloqueo";
                SCOPED_TRACE(std::string(e.nombre) + ", " + como + " en la operacion " + std::to_string(k));
                // A repeat whose kept answer could not be made goes to the client again, as a new
                // request, and gets the client's answer; nothing else is ever taken twice.
                const bool reenviado = e.repetir && obtenido.tomadas.size() == 2;
                // A stop in the middle of the upload, where the client may or may not have taken the
                // request: it is never sent again, and the till gets our communication error. A repeat
                // of it is then a new request for the client.
                if (modo == Modo::Parar && obtenido.primera == RegistroErrorComunicacion("")) {
                    EXPECT_EQ(obtenido.subida, esperado.subida);
                    if (e.repetir) {
                        EXPECT_EQ(obtenido.terminal, normal.terminal);
                        EXPECT_EQ(obtenido.tomadas, esperado.tomadas);
                    } else {
                        EXPECT_TRUE(obtenido.tomadas.empty());
                        EXPECT_EQ(obtenido.terminal.at("STATUS.ZLN"), "S");
                    }
                    ++enDuda;
                    continue;
                }
                EXPECT_EQ(obtenido.terminal, reenviado ? normal.terminal : esperado.terminal);
                EXPECT_EQ(obtenido.subida, esperado.subida);
                // The kept copies may be missing when making them was what failed: the answer was
                // still delivered, and the copies are then never used.
                EXPECT_TRUE(std::includes(esperado.descarga.begin(), esperado.descarga.end(), obtenido.descarga.begin(),
                                          obtenido.descarga.end()));
                for (const std::string& n : esperado.descarga) {
                    if (n.find("Anterior") == std::string::npos) {
                        EXPECT_TRUE(std::count(obtenido.descarga.begin(), obtenido.descarga.end(), n)) << n;
                    }
                }
                if (reenviado)
                    EXPECT_EQ(obtenido.tomadas[0], obtenido.tomadas[1]);
                else
                    EXPECT_EQ(obtenido.tomadas, esperado.tomadas);
                if (HasFailure()) return;
            }
        }
    }
    // The stops inside an upload that leave it in doubt were met.
    std::printf("paradas que dejaron la entrega en duda: %d\n", enDuda);
    EXPECT_GT(enDuda, 0);
}

#ifdef _WIN32
// --- Files held by another process -----------------------------------------------------------------
//
// bloqueador.exe holds a file open with no sharing, as the point-of-sale program, a printer spooler or
// a virus scanner may: a hold shorter than the file operations' retry goes unseen; a longer one fails
// the tick with the usual message, and once it is let go the exchange ends as if nothing had happened.

// One run of bloqueador.exe on `archivo` for `ms` milliseconds, from its hold of the file to its end.
class Bloqueador {
public:
    Bloqueador(const std::string& archivo, int ms) : marca_(archivo + ".bloqueado") {
        // A Unix build path reaches the program under Wine through drive Z:.
        std::string exe = RUTA_BLOQUEADOR;
        if (exe.front() == '/') exe = "Z:" + exe;
        std::replace(exe.begin(), exe.end(), '/', '\\');
        std::string linea = '"' + exe + "\" \"" + archivo + "\" " + std::to_string(ms);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        if (!CreateProcessA(nullptr, linea.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            throw plataforma::ErrorSistema(static_cast<long>(GetLastError()), "no se puede iniciar " + linea);
        CloseHandle(pi.hThread);
        proceso_ = pi.hProcess;
        // Until it holds the file, or ends without holding it, or a minute has passed.
        for (int i = 0; i < 12000 && !Sostiene(); ++i)
            if (WaitForSingleObject(proceso_, 5) == WAIT_OBJECT_0) break;
    }
    ~Bloqueador() {
        Terminar();
        CloseHandle(proceso_);
    }
    Bloqueador(const Bloqueador&) = delete;
    Bloqueador& operator=(const Bloqueador&) = delete;

    // The marker exists only while the file is held.
    bool Sostiene() const { return fs::exists(marca_); }
    // Waits until the file is let go and the program has ended; its exit code.
    DWORD Terminar() {
        WaitForSingleObject(proceso_, INFINITE);
        DWORD codigo = 1;
        GetExitCodeProcess(proceso_, &codigo);
        return codigo;
    }

private:
    std::string marca_;
    HANDLE proceso_ = nullptr;
};

TEST(Resistencia, FilesHeldByAnotherProcessForAMomentAndForLong) {
    constexpr int kCorto = 300;   // well inside the retry of a file operation
    constexpr int kLargo = 4000;  // the whole retry and more
    const sim::Solicitud s{"PEDIDO-BLOQUEOS", 336, "ACA", true};
    const std::string kTexto = "32: " + plataforma::DescripcionError(32);

    // The terminal has exactly the client's answer to its one request, and "S".
    auto respondida = [&](prueba::Banco& b) {
        ASSERT_EQ(b.simulador.Registros().size(), 1u);
        const sim::RegistroPedido& p = b.simulador.Registros()[0];
        EXPECT_EQ(p.clicab, sim::ContenidoClicab(s));
        const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
        EXPECT_EQ(r.status, "S");
        EXPECT_EQ(r.seresp, sim::RespuestaSeresp(p));
        EXPECT_EQ(r.praxis, sim::RespuestaPraxis(p));
        EXPECT_EQ(r.tiquet, sim::RespuestaTiquet(p));
        EXPECT_TRUE(fs::is_empty(b.Term(1, "upload")));
        EXPECT_EQ(Nombres(b.Term(1, "download")),
                  (std::vector<std::string>{"PRAXISAnterior.ZLN", "SERESPAnterior.ZLN"}));
    };
    auto unMensaje = [&](prueba::Banco& b, const char* punto) {
        ASSERT_EQ(b.ui.mensajes.size(), 1u);
        EXPECT_EQ(b.ui.mensajes[0].texto, kTexto);
        EXPECT_EQ(b.ui.mensajes[0].titulo, std::string("Transacción punto control: ") + punto);
        EXPECT_EQ(b.ui.mensajes[0].icono, Icono::Critico);
    };

    // STATUS.ZLN held when the tick comes to read the new request. The waits take their real time
    // here, as the holds do.
    for (const int ms : {kCorto, kLargo}) {
        SCOPED_TRACE("STATUS.ZLN, " + std::to_string(ms) + " ms");
        prueba::Banco b;
        b.esperador.tiempoReal = true;
        b.Terminal(1).EnviarSolicitud(s);
        {
            Bloqueador bloqueo(b.Ter(1, "STATUS.ZLN"), ms);
            ASSERT_TRUE(bloqueo.Sostiene());
            b.Tick();
            if (ms == kLargo) {
                ASSERT_TRUE(bloqueo.Sostiene());  // held through the whole turn
                unMensaje(b, "1");
            } else {
                EXPECT_TRUE(b.ui.mensajes.empty());
            }
            ASSERT_EQ(bloqueo.Terminar(), 0u);
        }
        // The request waits, untouched, for the next tick.
        if (ms == kLargo) {
            EXPECT_EQ(prueba::LeerArchivo(b.Ter(1, "STATUS.ZLN")), "C");
            EXPECT_EQ(prueba::LeerArchivo(b.Ter(1, "CLICAB.ZLN")), sim::ContenidoClicab(s));
            EXPECT_TRUE(fs::is_empty(b.Term(1, "upload")));
        }
        ASSERT_TRUE(b.TickHastaRespuesta(1));
        respondida(b);
        EXPECT_EQ(b.ui.mensajes.size(), ms == kLargo ? 1u : 0u);
    }

    // The previous ticket, still printing, held when the new answer's ticket is to take its place:
    // from the end of the return's third wait, just before the answer files are copied.
    for (const int ms : {kCorto, kLargo}) {
        SCOPED_TRACE("TIQUET.PRN, " + std::to_string(ms) + " ms");
        prueba::Banco b;
        b.esperador.tiempoReal = true;
        b.Terminal(1).EnviarSolicitud(s);
        b.Tick();
        ASSERT_EQ(prueba::LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
        prueba::EscribirArchivo(b.Ter(1, "TIQUET.PRN"), std::string(3000, '#'));
        std::optional<Bloqueador> bloqueo;
        b.esperador.alEsperar = [&](std::int64_t) {
            if (!bloqueo && b.esperador.EsperasDe(1000) == 3) bloqueo.emplace(b.Ter(1, "TIQUET.PRN"), ms);
        };
        b.Tick();
        ASSERT_TRUE(bloqueo);
        ASSERT_EQ(bloqueo->Sostiene(), ms == kLargo)
            << b.ui.mensajes.size() << " " << (b.ui.mensajes.empty() ? "" : b.ui.mensajes[0].titulo) << " "
            << prueba::LeerArchivo(b.Ter(1, "STATUS.ZLN"));
        if (ms == kLargo)
            unMensaje(b, "26");
        else
            EXPECT_TRUE(b.ui.mensajes.empty());
        ASSERT_EQ(bloqueo->Terminar(), 0u);
        if (ms == kLargo) {
            // No "S" without the whole answer; the client's answer waits in its folder, and its
            // SERESP.ZLN is held for a moment when the next return comes to copy it.
            EXPECT_EQ(prueba::LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
            EXPECT_EQ(prueba::LeerArchivo(b.Ter(1, "TIQUET.PRN")), std::string(3000, '#'));
            bloqueo.reset();
            b.esperador.alEsperar = [&](std::int64_t) {
                if (!bloqueo && b.esperador.EsperasDe(1000) == 5)
                    bloqueo.emplace(b.Term(1, "download\\SERESP.ZLN"), kCorto);
            };
            b.Tick();
            ASSERT_TRUE(bloqueo);
            ASSERT_EQ(bloqueo->Terminar(), 0u);
        }
        ASSERT_TRUE(b.Terminal(1).RespuestaLista());
        respondida(b);
        EXPECT_EQ(b.ui.mensajes.size(), ms == kLargo ? 1u : 0u);
    }
}
#endif
