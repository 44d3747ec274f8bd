// Many terminals and thousands of requests through the cycle, with the client picking its
// behaviour at random and every terminal sending its next request as soon as its answer is in.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <random>

#include "banco_pruebas.h"
#include "bridge/respuestas.h"

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

TEST(Resistencia, FiftyTerminalsFiveThousandRequests) {
    constexpr int kTerminales = 50;
    constexpr int kSolicitudes = 5000;
    prueba::Banco b(kTerminales, 20261207);
    b.Comportamiento("* azar\n");
    std::mt19937 azar(7);
    const int longitudes[] = {120, 225, 226, 300, 335, 336, 512};
    const char* empresas[] = {"ACA", "kos", "OSDE", "PASTEU", ""};

    std::map<std::string, Enviada> enviadas;
    int siguiente = 0;
    auto enviar = [&](int n) {
        Enviada e{n, {std::string("T") + std::to_string(n) + "-" + std::to_string(siguiente++), longitudes[azar() % 7],
                      empresas[azar() % 5], azar() % 8 != 0}};
        b.Terminal(n).EnviarSolicitud(e.solicitud);
        enviadas[e.solicitud.id] = e;
    };
    for (int n = 1; n <= kTerminales; ++n) enviar(n);

    std::map<std::string, std::size_t> tomadas;  // request id -> index in the simulator's records
    std::size_t vistos = 0;
    std::map<std::string, int> porComportamiento;
    int respondidas = 0;
    for (int tick = 0; respondidas < kSolicitudes && tick < 20 * kSolicitudes / kTerminales; ++tick) {
        b.Tick();
        const auto& registros = b.simulador.Registros();
        for (; vistos < registros.size(); ++vistos) {
            const std::string id = sim::PrimeraLinea(registros[vistos].clicab);
            ASSERT_TRUE(tomadas.emplace(id, vistos).second) << "request " << id << " handed off twice";
        }
        for (int n = 1; n <= kTerminales; ++n) {
            sim::TerminalKorvane& t = b.Terminal(n);
            if (!t.RespuestaLista()) continue;
            const sim::Respuesta r = t.LeerRespuesta();
            // Which request this answer is for: the one this terminal sent last.
            auto enviada = std::find_if(enviadas.begin(), enviadas.end(),
                                        [&](auto& e) { return e.second.terminal == n; });
            ASSERT_NE(enviada, enviadas.end());
            const sim::Solicitud& s = enviada->second.solicitud;
            auto tomada = tomadas.find(s.id);
            ASSERT_NE(tomada, tomadas.end()) << "answered without reaching the client: " << s.id;
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
            ++respondidas;
            if (siguiente < kSolicitudes) enviar(n);
        }
    }

    EXPECT_EQ(respondidas, kSolicitudes);
    EXPECT_TRUE(enviadas.empty());
    EXPECT_EQ(tomadas.size(), static_cast<std::size_t>(kSolicitudes));
    EXPECT_TRUE(b.ui.mensajes.empty()) << b.ui.mensajes.front().titulo << ": " << b.ui.mensajes.front().texto;
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
