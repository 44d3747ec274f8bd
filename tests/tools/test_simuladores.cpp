#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "korvane_sim/terminal_korvane.h"
#include "support/soporte.h"
#include "zelno_sim/simulador_zelno.h"

namespace fs = std::filesystem;

namespace {

bool Existe(const fs::path& ruta) {
    std::error_code ec;
    return fs::exists(ruta, ec);
}

std::string Leer(const fs::path& ruta) { return prueba::LeerArchivo(ruta.string()); }
void Escribir(const fs::path& ruta, const std::string& datos) { prueba::EscribirArchivo(ruta.string(), datos); }

// A client working folder Z with the terminal folders the system would have made.
class CarpetaZelno {
public:
    fs::path Z() const { return tmp_.Ruta(); }
    fs::path Term(const std::string& t) const { return Z() / t; }
    fs::path Upload(const std::string& t) const { return Term(t) / "upload"; }
    fs::path Download(const std::string& t) const { return Term(t) / "download"; }
    fs::path Estado(const std::string& t) const { return Term(t) / "estado.rsp"; }

    // What a hand-off leaves in upload, in the system's order, with the TX marker.
    void Pedido(const std::string& t, const std::string& id, const std::string& proveedor = "V9013101",
                bool conPraxis = true) {
        fs::create_directories(Upload(t));
        fs::create_directories(Download(t));
        fs::create_directories(Z() / "tx");
        Escribir(Upload(t) / "CLICAB.ZLN", id + "\r\nCABECERA");
        if (conPraxis) Escribir(Upload(t) / "PRAXIS.ZLN", "DETALLE " + id);
        Escribir(Upload(t) / "_svl.0", proveedor);
        Escribir(Z() / "tx" / t, "");
    }
    void Reglas(const std::string& texto) const { Escribir(Z() / "_zelno_sim.cfg", texto); }

private:
    prueba::CarpetaTemporal tmp_;
};

TEST(SimuladorZelno, PedidoNormalSeTomaYSeContestaCumplidaLaDemora) {
    CarpetaZelno z;
    z.Reglas("term01 normal 300\n");
    // Without _svl.0 the request is not complete yet.
    fs::create_directories(z.Upload("term01"));
    Escribir(z.Upload("term01") / "CLICAB.ZLN", "A MEDIAS");
    sim::SimuladorZelno s(z.Z().string());
    s.Paso(1000);
    EXPECT_TRUE(s.Registros().empty());
    EXPECT_TRUE(Existe(z.Upload("term01") / "CLICAB.ZLN"));

    z.Pedido("term01", "PEDIDO-7");
    s.Paso(1000);
    ASSERT_EQ(s.Registros().size(), 1u);
    const sim::RegistroPedido& r = s.Registros()[0];
    EXPECT_EQ(r.terminal, "term01");
    EXPECT_EQ(r.comportamiento, "normal");
    EXPECT_EQ(r.proveedor, "V9013101");
    EXPECT_EQ(r.clicab, "PEDIDO-7\r\nCABECERA");
    EXPECT_EQ(r.praxis, "DETALLE PEDIDO-7");
    EXPECT_TRUE(r.conPraxis);
    for (const char* nombre : {"CLICAB.ZLN", "PRAXIS.ZLN", "_svl.0"}) EXPECT_FALSE(Existe(z.Upload("term01") / nombre));
    EXPECT_FALSE(Existe(z.Z() / "tx" / "term01"));
    EXPECT_FALSE(Existe(z.Estado("term01")));
    EXPECT_TRUE(fs::is_empty(z.Download("term01")));
    EXPECT_TRUE(s.Pendiente());

    s.Paso(1299);
    EXPECT_FALSE(Existe(z.Estado("term01")));
    EXPECT_TRUE(fs::is_empty(z.Download("term01")));

    s.Paso(1300);
    EXPECT_EQ(Leer(z.Download("term01") / "SERESP.ZLN"), "RESPUESTA V9013101 PEDIDO-7\r");
    EXPECT_EQ(Leer(z.Download("term01") / "SERESP.ZLN"), sim::RespuestaSeresp(r));
    EXPECT_EQ(Leer(z.Download("term01") / "PRAXIS.ZLN"), sim::RespuestaPraxis(r));
    EXPECT_EQ(Leer(z.Download("term01") / "TIQUET.PRN"), sim::RespuestaTiquet(r));
    EXPECT_EQ(Leer(z.Estado("term01")), "0");
    EXPECT_FALSE(s.Pendiente());
    EXPECT_EQ(Leer(z.Z() / "_zelno_sim.log"), "term01\tnormal\tV9013101\tPEDIDO-7\r\n");

    // A second request of another terminal carries its own answer.
    z.Pedido("term02", "PEDIDO-8", "V9011101", false);
    s.Paso(2000);
    s.Paso(2300);
    EXPECT_EQ(Leer(z.Download("term02") / "SERESP.ZLN"), "RESPUESTA V9011101 PEDIDO-8\r");
    EXPECT_FALSE(s.Registros().at(1).conPraxis);
    EXPECT_EQ(Leer(z.Download("term02") / "PRAXIS.ZLN"), "PRAXIS RESPUESTA PEDIDO-8\r\n");
}

TEST(SimuladorZelno, FallaEscribeElEstadoExactoYNadaMas) {
    CarpetaZelno z;
    z.Reglas(
        "term01 falla E12\\r\\n\n"
        "term02 falla\n"
        "term03 falla  X\\x41\\\\q\\z\r\n");
    z.Pedido("term01", "P1");
    z.Pedido("term02", "P2");
    z.Pedido("term03", "P3");
    sim::SimuladorZelno s(z.Z().string());
    s.Paso(0);
    EXPECT_EQ(Leer(z.Estado("term01")), "E12\r\n");
    EXPECT_EQ(Leer(z.Estado("term02")), "");
    EXPECT_EQ(Leer(z.Estado("term03")), " XA\\q\\z");
    for (const char* t : {"term01", "term02", "term03"}) EXPECT_TRUE(fs::is_empty(z.Download(t))) << t;
    ASSERT_EQ(s.Registros().size(), 3u);
    EXPECT_EQ(s.Registros()[0].comportamiento, "falla");
}

TEST(SimuladorZelno, RespuestasSinSerespVaciaYTardia) {
    CarpetaZelno z;
    z.Reglas("term01 sin-seresp\nterm02 seresp-vacio\nterm03 seresp-tarde 2000\nterm04 sin-respuesta\n");
    for (const char* t : {"term01", "term02", "term03", "term04"}) z.Pedido(t, std::string("ID-") + t);
    sim::SimuladorZelno s(z.Z().string());
    s.Paso(500);
    ASSERT_EQ(s.Registros().size(), 4u);

    EXPECT_FALSE(Existe(z.Download("term01") / "SERESP.ZLN"));
    EXPECT_EQ(Leer(z.Download("term02") / "SERESP.ZLN"), "");
    EXPECT_EQ(Leer(z.Download("term03") / "SERESP.ZLN"), "");
    for (const char* t : {"term01", "term02", "term03"}) {
        EXPECT_EQ(Leer(z.Estado(t)), "0") << t;
        EXPECT_TRUE(Existe(z.Download(t) / "PRAXIS.ZLN")) << t;
        EXPECT_TRUE(Existe(z.Download(t) / "TIQUET.PRN")) << t;
    }
    EXPECT_EQ(s.Registros()[2].comportamiento, "seresp-tarde");

    EXPECT_TRUE(s.Pendiente());
    s.Paso(2499);
    EXPECT_EQ(Leer(z.Download("term03") / "SERESP.ZLN"), "");
    s.Paso(2500);
    EXPECT_EQ(Leer(z.Download("term03") / "SERESP.ZLN"), sim::RespuestaSeresp(s.Registros()[2]));
    EXPECT_FALSE(s.Pendiente());

    // sin-respuesta took the request and never answers.
    EXPECT_EQ(s.Registros()[3].comportamiento, "sin-respuesta");
    EXPECT_FALSE(Existe(z.Upload("term04") / "_svl.0"));
    s.Paso(1000000);
    EXPECT_FALSE(Existe(z.Estado("term04")));
    EXPECT_TRUE(fs::is_empty(z.Download("term04")));
}

TEST(SimuladorZelno, ReglasSeLeenEnCadaPedidoPrimeraQueCoincideGana) {
    CarpetaZelno z;
    sim::SimuladorZelno s(z.Z().string());
    z.Pedido("term01", "SIN-REGLAS");
    s.Paso(0);
    EXPECT_EQ(Leer(z.Estado("term01")), "0");

    z.Reglas(
        "# comentario\n"
        "\n"
        "   # otro\n"
        "TERM02 falla B\n"
        "term03 normal tres\n"
        "term04 volar\n"
        "term0 falla NO\n"
        "* falla W\n"
        "term02 falla C\n");
    for (const char* t : {"term01", "Term02", "term03", "term04"}) z.Pedido(t, t);
    s.Paso(10);
    EXPECT_EQ(Leer(z.Estado("term01")), "W");
    EXPECT_EQ(Leer(z.Estado("Term02")), "B");
    // A line with a bad argument or an unknown behaviour is passed over.
    EXPECT_EQ(Leer(z.Estado("term03")), "W");
    EXPECT_EQ(Leer(z.Estado("term04")), "W");
}

TEST(SimuladorZelno, AzarSeRepiteConLaMismaSemilla) {
    const auto correr = [](unsigned semilla) {
        CarpetaZelno z;
        z.Reglas("* azar\n");
        sim::SimuladorZelno s(z.Z().string(), semilla);
        std::vector<std::string> estados;
        for (int vuelta = 0; vuelta < 6; ++vuelta) {
            // Not "V" + std::to_string(): GCC 12 warns falsely (-Wrestrict) about it.
            const std::string id = std::string(1, 'V') += std::to_string(vuelta);
            for (const char* t : {"term01", "term02"}) {
                fs::remove(z.Estado(t));
                z.Pedido(t, id);
            }
            s.Paso(vuelta * 10000);
            for (const char* t : {"term01", "term02"}) estados.push_back(Leer(z.Estado(t)));
        }
        // The twelve behaviours drawn, then what each answer said.
        std::vector<std::string> nombres;
        for (const auto& r : s.Registros()) nombres.push_back(r.comportamiento);
        nombres.insert(nombres.end(), estados.begin(), estados.end());
        return nombres;
    };
    const std::vector<std::string> a = correr(7);
    EXPECT_EQ(a, correr(7));
    EXPECT_NE(a, correr(8));

    const std::set<std::string> validos = {"normal", "falla", "sin-seresp", "seresp-vacio", "seresp-tarde"};
    std::set<std::string> vistos;
    for (std::size_t i = 0; i < 12; ++i) {
        EXPECT_TRUE(validos.count(a[i])) << a[i];
        vistos.insert(a[i]);
    }
    EXPECT_GE(vistos.size(), 3u);
}

TEST(TerminalKorvane, CabeceraConElCodigoEnSuSitio) {
    struct Caso {
        int longitud;
        std::size_t inicio;  // 0-based start of the code, 0 when there is none
    };
    for (const Caso c : {Caso{225, 0}, Caso{226, 182}, Caso{335, 182}, Caso{336, 192}, Caso{400, 192}}) {
        SCOPED_TRACE(c.longitud);
        const std::string t = sim::ContenidoClicab({"PEDIDO-1", c.longitud, "ACA", true});
        ASSERT_EQ(t.size(), static_cast<std::size_t>(c.longitud));
        EXPECT_EQ(t.substr(0, 10), "PEDIDO-1\r\n");
        EXPECT_EQ(t.find('\r', 10), std::string::npos);
        if (c.inicio == 0) {
            EXPECT_EQ(t.find("ACA"), std::string::npos);
        } else {
            EXPECT_EQ(t.substr(c.inicio, 6), "ACA   ");
            EXPECT_EQ(t.find("ACA"), c.inicio);
        }
    }
    EXPECT_EQ(sim::ContenidoClicab({"PEDIDO-1", 5, "ACA", true}), "PEDID");
    EXPECT_EQ(sim::ContenidoClicab({"X", 336, "ABCDEFGH", true}).substr(192, 6), "ABCDEF");
}

TEST(TerminalKorvane, EnviaLaSolicitudYLeeLaRespuesta) {
    prueba::CarpetaTemporal tmp;
    const fs::path dir = fs::path(tmp.Ruta()) / "TER01";
    sim::TerminalKorvane t(dir.string());
    ASSERT_TRUE(fs::is_directory(dir));
    Escribir(dir / "STATUS.ZLN", "S anterior");
    t.EnviarSolicitud({"PEDIDO-2", 226, "OSDE", true});
    EXPECT_EQ(Leer(dir / "CLICAB.ZLN"), sim::ContenidoClicab({"PEDIDO-2", 226, "OSDE", true}));
    EXPECT_EQ(Leer(dir / "PRAXIS.ZLN"), "PRAXIS PEDIDO-2\r\n");
    EXPECT_EQ(Leer(dir / "STATUS.ZLN"), "C");
    EXPECT_FALSE(t.RespuestaLista());

    // A request without detail does not carry the one left in the folder.
    t.EnviarSolicitud({"PEDIDO-3", 100, "", false});
    EXPECT_FALSE(Existe(dir / "PRAXIS.ZLN"));
    EXPECT_EQ(Leer(dir / "CLICAB.ZLN").substr(0, 10), "PEDIDO-3\r\n");

    for (const auto& [status, lista] : std::vector<std::pair<std::string, bool>>{
             {"S", true}, {"  s", true}, {"P", false}, {"", false}, {"  ", false}, {" C S", false}}) {
        Escribir(dir / "STATUS.ZLN", status);
        EXPECT_EQ(t.RespuestaLista(), lista) << "[" << status << "]";
    }
    fs::remove(dir / "STATUS.ZLN");
    EXPECT_FALSE(t.RespuestaLista());

    Escribir(dir / "STATUS.ZLN", "S");
    Escribir(dir / "SERESP.ZLN", "RESP\r");
    Escribir(dir / "TIQUET.PRN", std::string("T\0K", 3));
    const sim::Respuesta r = t.LeerRespuesta();
    EXPECT_TRUE(r.lista);
    EXPECT_TRUE(r.haySeresp);
    EXPECT_EQ(r.seresp, "RESP\r");
    EXPECT_FALSE(r.hayPraxis);
    EXPECT_TRUE(r.hayTiquet);
    EXPECT_EQ(r.tiquet, std::string("T\0K", 3));
    EXPECT_EQ(r.status, "S");
}

}  // namespace
