#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
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
    // Nor with an empty one: the system has opened it and not yet written it.
    Escribir(z.Upload("term01") / "_svl.0", "");
    s.Paso(1000);
    EXPECT_TRUE(s.Pedidos().empty());
    EXPECT_TRUE(Existe(z.Upload("term01") / "CLICAB.ZLN"));
    EXPECT_TRUE(Existe(z.Upload("term01") / "_svl.0"));

    z.Pedido("term01", "PEDIDO-7");
    s.Paso(1000);
    ASSERT_EQ(s.Pedidos().size(), 1u);
    const sim::PedidoTomado& r = s.Pedidos()[0];
    EXPECT_EQ(r.terminal, "term01");
    EXPECT_EQ(r.comportamiento, "normal");
    EXPECT_EQ(r.proveedor, "V9013101");
    EXPECT_EQ(r.clicab, "PEDIDO-7\r\nCABECERA");
    EXPECT_EQ(r.praxis, "DETALLE PEDIDO-7");
    EXPECT_TRUE(r.conPraxis);
    EXPECT_EQ(r.id, "PEDIDO-7");
    EXPECT_EQ(r.tomadoMs, 1000);
    EXPECT_EQ(r.estadoMs, -1);
    EXPECT_EQ(r.archivosMs, -1);
    EXPECT_FALSE(r.escribioSeresp || r.escribioPraxis || r.escribioTiquet);
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
    EXPECT_EQ(r.estado, "0");
    EXPECT_EQ(r.estadoMs, 1300);
    EXPECT_EQ(r.archivosMs, 1300);
    EXPECT_TRUE(r.escribioSeresp && r.serespLleno && r.escribioPraxis && r.escribioTiquet);

    // A second request of another terminal carries its own answer.
    z.Pedido("term02", "PEDIDO-8", "V9011101", false);
    s.Paso(2000);
    s.Paso(2300);
    EXPECT_EQ(Leer(z.Download("term02") / "SERESP.ZLN"), "RESPUESTA V9011101 PEDIDO-8\r");
    EXPECT_FALSE(s.Pedidos().at(1).conPraxis);
    EXPECT_EQ(Leer(z.Download("term02") / "PRAXIS.ZLN"), "PRAXIS RESPUESTA PEDIDO-8\r\n");
}

// What a terminal holds of an answer: SERESP.ZLN, PRAXIS.ZLN and TIQUET.PRN each absent (-),
// empty (0), with the normal answer's exact bytes (+) or anything else (?); then estado.rsp (- when
// absent).
std::string Foto(const CarpetaZelno& z, const std::string& t, const sim::PedidoTomado& r) {
    const auto marca = [&](const char* nombre, const std::string& normal) {
        const fs::path ruta = z.Download(t) / nombre;
        if (!Existe(ruta)) return '-';
        const std::string datos = Leer(ruta);
        return datos == normal ? '+' : datos.empty() ? '0' : '?';
    };
    std::string foto{marca("SERESP.ZLN", sim::RespuestaSeresp(r)), marca("PRAXIS.ZLN", sim::RespuestaPraxis(r)),
                     marca("TIQUET.PRN", sim::RespuestaTiquet(r)), ' '};
    return foto += Existe(z.Estado(t)) ? Leer(z.Estado(t)) : "-";
}

TEST(SimuladorZelno, FallaEscribeElEstadoExactoConOSinArchivos) {
    CarpetaZelno z;
    z.Reglas(
        "term01 falla E12\\r\\n\n"
        "term02 falla\n"
        "term03 falla  X\\x41\\\\q\\z\r\n"
        "term04 falla-con-archivos E55\\t\n");
    for (const char* t : {"term01", "term02", "term03", "term04"}) z.Pedido(t, std::string("P-") + t);
    sim::SimuladorZelno s(z.Z().string());
    s.Paso(0);
    EXPECT_EQ(Leer(z.Estado("term01")), "E12\r\n");
    EXPECT_EQ(Leer(z.Estado("term02")), "");
    EXPECT_EQ(Leer(z.Estado("term03")), " XA\\q\\z");
    for (const char* t : {"term01", "term02", "term03"}) EXPECT_TRUE(fs::is_empty(z.Download(t))) << t;
    ASSERT_EQ(s.Pedidos().size(), 4u);
    EXPECT_EQ(s.Pedidos()[0].comportamiento, "falla");
    EXPECT_EQ(s.Pedidos()[1].estado, "");
    EXPECT_EQ(s.Pedidos()[1].estadoMs, 0);

    // The failure leaves the files of a normal answer behind.
    const sim::PedidoTomado& r = s.Pedidos()[3];
    EXPECT_EQ(r.comportamiento, "falla-con-archivos");
    EXPECT_EQ(r.estado, "E55\t");
    EXPECT_EQ(Foto(z, "term04", r), "+++ E55\t");
    EXPECT_EQ(Leer(z.Download("term04") / "SERESP.ZLN"), "RESPUESTA V9013101 P-term04\r");
}

TEST(SimuladorZelno, CadaComportamientoEscribeLoSuyoASuTiempo) {
    struct Caso {
        const char* regla;                                        // its first word is the name recorded
        std::vector<std::pair<std::int64_t, std::string>> fotos;  // from each time on
        const char* escritos;  // SERESP written, SERESP full, PRAXIS, TIQUET in the end (1 or 0)
        std::int64_t estadoMs, archivosMs;
    };
    const std::vector<Caso> casos = {
        {"sin-seresp", {{500, "-++ 0"}}, "0011", 500, 500},
        {"seresp-vacio", {{500, "0++ 0"}}, "1011", 500, 500},
        {"seresp-tarde 2000", {{500, "0++ 0"}, {2500, "+++ 0"}}, "1111", 500, 2500},
        {"sin-praxis", {{500, "+-+ 0"}}, "1101", 500, 500},
        {"sin-tiquet", {{500, "++- 0"}}, "1110", 500, 500},
        {"seresp-muy-tarde", {{500, "0++ 0"}, {8500, "+++ 0"}}, "1111", 500, 8500},
        {"estado-primero", {{500, "--- 0"}, {2000, "+++ 0"}}, "1111", 500, 2000},
        {"estado-primero 300", {{500, "--- 0"}, {800, "+++ 0"}}, "1111", 500, 800},
        {"tarde", {{500, "--- -"}, {90500, "+++ 0"}}, "1111", 90500, 90500},
        {"tarde 700", {{500, "--- -"}, {1200, "+++ 0"}}, "1111", 1200, 1200},
        {"banco-lento", {{500, "--- -"}, {180500, "+++ 0"}}, "1111", 180500, 180500},
        {"sin-respuesta", {{500, "--- -"}}, "0000", -1, -1},
    };
    CarpetaZelno z;
    std::string reglas;
    std::vector<std::string> terminales;
    for (std::size_t i = 0; i < casos.size(); ++i) {
        terminales.push_back("term" + std::to_string(10 + i));
        reglas += terminales[i] + " " + casos[i].regla + "\n";
        z.Pedido(terminales[i], "ID-" + terminales[i]);
    }
    z.Reglas(reglas);
    sim::SimuladorZelno s(z.Z().string());
    for (const std::int64_t ms :
         {500, 799, 800, 1199, 1200, 1999, 2000, 2499, 2500, 8499, 8500, 90499, 90500, 180499, 180500}) {
        s.Paso(ms);
        ASSERT_EQ(s.Pedidos().size(), casos.size());
        EXPECT_EQ(s.Pendiente(), ms < 180500) << ms;
        for (std::size_t i = 0; i < casos.size(); ++i) {
            std::string esperada;
            for (const auto& [desde, foto] : casos[i].fotos)
                if (desde <= ms) esperada = foto;
            EXPECT_EQ(Foto(z, terminales[i], s.Pedidos()[i]), esperada) << casos[i].regla << " at " << ms;
        }
    }
    for (std::size_t i = 0; i < casos.size(); ++i) {
        SCOPED_TRACE(casos[i].regla);
        const sim::PedidoTomado& r = s.Pedidos()[i];
        EXPECT_EQ(r.comportamiento, std::string(casos[i].regla).substr(0, std::string(casos[i].regla).find(' ')));
        const std::string escritos{r.escribioSeresp ? '1' : '0', r.serespLleno ? '1' : '0',
                                   r.escribioPraxis ? '1' : '0', r.escribioTiquet ? '1' : '0'};
        EXPECT_EQ(escritos, casos[i].escritos);
        EXPECT_EQ(r.estadoMs, casos[i].estadoMs);
        EXPECT_EQ(r.archivosMs, casos[i].archivosMs);
        EXPECT_EQ(r.estado, r.estadoMs < 0 ? "" : "0");
    }
}

TEST(SimuladorZelno, TomaLentaDejaLosArchivosHastaElPasoSiguiente) {
    CarpetaZelno z;
    z.Reglas("term01 toma-lenta\n");
    z.Pedido("term01", "LENTO");
    sim::SimuladorZelno s(z.Z().string());
    s.Paso(100);
    ASSERT_EQ(s.Pedidos().size(), 1u);
    EXPECT_EQ(s.Pedidos()[0].comportamiento, "toma-lenta");
    EXPECT_FALSE(Existe(z.Upload("term01") / "_svl.0"));
    EXPECT_EQ(Leer(z.Upload("term01") / "CLICAB.ZLN"), "LENTO\r\nCABECERA");
    EXPECT_EQ(Leer(z.Upload("term01") / "PRAXIS.ZLN"), "DETALLE LENTO");
    EXPECT_TRUE(Existe(z.Z() / "tx" / "term01"));
    EXPECT_FALSE(Existe(z.Estado("term01")));
    EXPECT_TRUE(s.Pendiente());

    // The next pass, whatever its time, finishes the take and answers; it takes nothing more.
    s.Paso(100);
    ASSERT_EQ(s.Pedidos().size(), 1u);
    EXPECT_TRUE(fs::is_empty(z.Upload("term01")));
    EXPECT_FALSE(Existe(z.Z() / "tx" / "term01"));
    EXPECT_EQ(Foto(z, "term01", s.Pedidos()[0]), "+++ 0");
    EXPECT_FALSE(s.Pendiente());
}

TEST(SimuladorZelno, TomaProntoNoEsperaAlSvl) {
    CarpetaZelno z;
    z.Reglas("term01 toma-pronto\n");
    fs::create_directories(z.Upload("term01"));
    fs::create_directories(z.Z() / "tx");
    Escribir(z.Z() / "tx" / "term01", "");
    Escribir(z.Upload("term01") / "CLICAB.ZLN", "APURADO\r\nCAB");
    sim::SimuladorZelno s(z.Z().string());
    s.Paso(0);
    ASSERT_EQ(s.Pedidos().size(), 1u);
    EXPECT_EQ(s.Pedidos()[0].comportamiento, "toma-pronto");
    EXPECT_EQ(s.Pedidos()[0].proveedor, "");
    EXPECT_TRUE(fs::is_empty(z.Upload("term01")));
    EXPECT_FALSE(Existe(z.Z() / "tx" / "term01"));
    // Not answered before the provider is known.
    EXPECT_FALSE(Existe(z.Estado("term01")));

    // The _svl.0 the system writes next names the provider: no second request, and the answer. An
    // empty one is still being written.
    Escribir(z.Upload("term01") / "_svl.0", "");
    s.Paso(10);
    EXPECT_TRUE(Existe(z.Upload("term01") / "_svl.0"));
    Escribir(z.Upload("term01") / "_svl.0", "V9013101");
    s.Paso(20);
    ASSERT_EQ(s.Pedidos().size(), 1u);
    EXPECT_EQ(s.Pedidos()[0].proveedor, "V9013101");
    EXPECT_FALSE(Existe(z.Upload("term01") / "_svl.0"));
    EXPECT_EQ(Leer(z.Download("term01") / "SERESP.ZLN"), "RESPUESTA V9013101 APURADO\r");
    EXPECT_EQ(Leer(z.Estado("term01")), "0");

    // A detail alone is taken too, with _svl.0 when it is already there; a later _svl.0 is then a
    // request of its own.
    Escribir(z.Upload("term01") / "PRAXIS.ZLN", "SOLO DETALLE\r\nX");
    Escribir(z.Upload("term01") / "_svl.0", "V9011101");
    s.Paso(30);
    ASSERT_EQ(s.Pedidos().size(), 2u);
    EXPECT_EQ(s.Pedidos()[1].id, "SOLO DETALLE");
    EXPECT_EQ(s.Pedidos()[1].proveedor, "V9011101");
    EXPECT_TRUE(fs::is_empty(z.Upload("term01")));
    Escribir(z.Upload("term01") / "_svl.0", "V9012101");
    s.Paso(40);
    ASSERT_EQ(s.Pedidos().size(), 3u);
    EXPECT_EQ(s.Pedidos()[2].id, "#3");

    // A take whose _svl.0 never comes is answered without a provider 5 s later; a _svl.0 after that
    // is a request of its own.
    fs::remove(z.Estado("term01"));
    Escribir(z.Upload("term01") / "CLICAB.ZLN", "SIN PROVEEDOR\r\nCAB");
    s.Paso(100);
    s.Paso(5099);
    EXPECT_FALSE(Existe(z.Estado("term01")));
    s.Paso(5100);
    EXPECT_EQ(Leer(z.Download("term01") / "SERESP.ZLN"), "RESPUESTA  SIN PROVEEDOR\r");
    Escribir(z.Upload("term01") / "_svl.0", "V9012101");
    s.Paso(5200);
    EXPECT_EQ(s.Pedidos().size(), 5u);
}

TEST(SimuladorZelno, PedidoSinClicabSeNombraPorPraxisOPorSuNumero) {
    CarpetaZelno z;
    sim::SimuladorZelno s(z.Z().string());
    z.Pedido("term01", "CON-CABECERA");
    s.Paso(0);
    z.Pedido("term02", "X");
    fs::remove(z.Upload("term02") / "CLICAB.ZLN");
    fs::create_directories(z.Upload("term03"));
    fs::create_directories(z.Download("term03"));
    Escribir(z.Upload("term03") / "_svl.0", "V1");
    s.Paso(10);
    ASSERT_EQ(s.Pedidos().size(), 3u);
    EXPECT_EQ(s.Pedidos()[1].id, "DETALLE X");
    EXPECT_EQ(Leer(z.Download("term02") / "SERESP.ZLN"), "RESPUESTA V9013101 DETALLE X\r");
    EXPECT_EQ(s.Pedidos()[2].id, "#3");
    EXPECT_EQ(Leer(z.Download("term03") / "SERESP.ZLN"), "RESPUESTA V1 #3\r");
    EXPECT_EQ(Leer(z.Download("term03") / "PRAXIS.ZLN"), "PRAXIS RESPUESTA #3\r\n");
    EXPECT_EQ(Leer(z.Download("term03") / "TIQUET.PRN"), "TIQUET term03\r\nPROVEEDOR V1\r\nSOLICITUD #3\r\n");
    // The log keeps naming requests by their CLICAB.ZLN.
    EXPECT_EQ(Leer(z.Z() / "_zelno_sim.log"),
              "term01\tnormal\tV9013101\tCON-CABECERA\r\nterm02\tnormal\tV9013101\t\r\nterm03\tnormal\tV1\t\r\n");
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
        "term04 sin-praxis 5\n"
        "term04 tarde 1x\n"
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

TEST(SimuladorZelno, AzarYDescortesSeRepitenConLaMismaSemilla) {
    // The behaviours drawn, then what each answer said by the end of its round.
    const auto correr = [](const std::string& regla, unsigned semilla, int vueltas) {
        CarpetaZelno z;
        z.Reglas("* " + regla + "\n");
        sim::SimuladorZelno s(z.Z().string(), semilla);
        std::vector<std::string> estados;
        for (int vuelta = 0; vuelta < vueltas; ++vuelta) {
            // Not "V" + std::to_string(): GCC 12 warns falsely (-Wrestrict) about it.
            const std::string id = std::string(1, 'V') += std::to_string(vuelta);
            for (const char* t : {"term01", "term02"}) {
                fs::remove(z.Estado(t));
                z.Pedido(t, id);
            }
            s.Paso(vuelta * 10000);
            for (const char* t : {"term01", "term02"})
                estados.push_back(Existe(z.Estado(t)) ? Leer(z.Estado(t)) : std::string("-"));
        }
        std::vector<std::string> nombres;
        for (const auto& r : s.Pedidos()) nombres.push_back(r.comportamiento);
        nombres.insert(nombres.end(), estados.begin(), estados.end());
        return nombres;
    };
    // Longer soak tests are built on this very sequence.
    const std::vector<std::string> azar7 = {"normal",
                                            "sin-seresp",
                                            "falla",
                                            "seresp-vacio",
                                            "sin-seresp",
                                            "sin-seresp",
                                            "seresp-tarde",
                                            "seresp-vacio",
                                            "falla",
                                            "falla",
                                            "sin-seresp",
                                            "sin-seresp",
                                            "0",
                                            "0",
                                            "E66 ERROR",
                                            "0",
                                            "0",
                                            "0",
                                            "0",
                                            "0",
                                            "E98 ERROR",
                                            "E18 ERROR",
                                            "0",
                                            "0"};
    EXPECT_EQ(correr("azar", 7, 6), azar7);
    EXPECT_NE(correr("azar", 8, 6), azar7);

    EXPECT_NE(correr("descortes", 7, 6), correr("descortes", 8, 6));
    const std::vector<std::string> descortes = correr("descortes", 7, 60);
    EXPECT_EQ(descortes, correr("descortes", 7, 60));
    ASSERT_EQ(descortes.size(), 240u);
    std::map<std::string, int> veces;
    for (std::size_t i = 0; i < 120; ++i) ++veces[descortes[i]];
    const std::set<std::string> todos = {"normal",           "falla",          "sin-seresp",
                                         "seresp-vacio",     "seresp-tarde",   "sin-praxis",
                                         "sin-tiquet",       "estado-primero", "falla-con-archivos",
                                         "seresp-muy-tarde", "toma-lenta",     "tarde"};
    const int normales = veces["normal"];
    for (const auto& [nombre, n] : veces) {
        EXPECT_TRUE(todos.count(nombre)) << nombre;
        EXPECT_TRUE(nombre == "normal" || n < normales) << nombre << " " << n;
    }
    EXPECT_EQ(veces.size(), todos.size());

    // A slow bank drawn now and then changes only the requests it falls on: the other draws stay.
    const auto conLento = [](unsigned porMil) {
        CarpetaZelno z;
        z.Reglas("* descortes\n");
        sim::SimuladorZelno s(z.Z().string(), 7, {false, porMil});
        for (int vuelta = 0; vuelta < 200; ++vuelta) {
            z.Pedido("term01", std::string(1, 'L') += std::to_string(vuelta));
            s.Paso(vuelta * 1000);
        }
        std::vector<std::string> nombres;
        for (const auto& r : s.Pedidos()) nombres.push_back(r.comportamiento);
        return nombres;
    };
    const std::vector<std::string> sinLento = conLento(0), algoLento = conLento(300);
    ASSERT_EQ(sinLento.size(), 200u);
    ASSERT_EQ(algoLento.size(), 200u);
    int lentos = 0;
    for (std::size_t i = 0; i < 200; ++i) {
        if (algoLento[i] == "banco-lento")
            ++lentos;
        else
            EXPECT_EQ(algoLento[i], sinLento[i]) << i;
    }
    EXPECT_GT(lentos, 30);
    EXPECT_LT(lentos, 100);
    EXPECT_EQ(std::count(sinLento.begin(), sinLento.end(), "banco-lento"), 0);
    EXPECT_EQ(conLento(1000), std::vector<std::string>(200, "banco-lento"));
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

    // A terminal that gives up waiting sends its next request over the one in the folder.
    Escribir(dir / "STATUS.ZLN", "P");
    t.EnviarSolicitud({"PEDIDO-9", 336, "ACA", true});
    EXPECT_EQ(Leer(dir / "CLICAB.ZLN"), sim::ContenidoClicab({"PEDIDO-9", 336, "ACA", true}));
    EXPECT_EQ(Leer(dir / "PRAXIS.ZLN"), "PRAXIS PEDIDO-9\r\n");
    EXPECT_EQ(Leer(dir / "STATUS.ZLN"), "C");

    // A till may write its files a while before its "C": until then the letter stays as it was.
    Escribir(dir / "STATUS.ZLN", "P");
    t.EscribirArchivos({"PEDIDO-10", 336, "kos", false});
    EXPECT_EQ(Leer(dir / "CLICAB.ZLN"), sim::ContenidoClicab({"PEDIDO-10", 336, "kos", false}));
    EXPECT_FALSE(Existe(dir / "PRAXIS.ZLN"));
    EXPECT_EQ(Leer(dir / "STATUS.ZLN"), "P");
    t.MarcarPedido();
    EXPECT_EQ(Leer(dir / "STATUS.ZLN"), "C");

    // A request without detail does not carry the one left in the folder.
    t.EnviarSolicitud({"PEDIDO-3", 100, "", false});
    EXPECT_FALSE(Existe(dir / "PRAXIS.ZLN"));
    EXPECT_EQ(Leer(dir / "CLICAB.ZLN").substr(0, 10), "PEDIDO-3\r\n");

    // Nor one without files any of them.
    t.EnviarSolicitud({"PEDIDO-4", 336, "ACA", true});
    Escribir(dir / "STATUS.ZLN", "S");
    t.EnviarSolicitud({"VACIA", 336, "ACA", true, true});
    EXPECT_FALSE(Existe(dir / "CLICAB.ZLN"));
    EXPECT_FALSE(Existe(dir / "PRAXIS.ZLN"));
    EXPECT_EQ(Leer(dir / "STATUS.ZLN"), "C");

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

// A file's last-write time as the operating system gives it, in seconds since 1970 UTC.
std::int64_t ModificacionUtc(const fs::path& ruta) {
#ifdef _WIN32
    struct _stat64 datos;
    if (_wstat64(ruta.wstring().c_str(), &datos) != 0) return -1;
#else
    struct stat datos;
    if (stat(ruta.c_str(), &datos) != 0) return -1;
#endif
    return static_cast<std::int64_t>(datos.st_mtime);
}

TEST(TerminalKorvane, HoraDeModificacionElegida) {
    prueba::CarpetaTemporal tmp;
    const fs::path dir = fs::path(tmp.Ruta()) / "TER01";
    sim::TerminalKorvane t(dir.string());
    // 2023-11-14 22:13:20 and 22:13:59, the same minute; an hour back; the night Europe moves its
    // clocks forward (2024-03-31 01:00:00); a summer date.
    for (const std::int64_t utc : {1700000000LL, 1700000039LL, 1699996400LL, 1711846800LL, 1751374800LL}) {
        SCOPED_TRACE(utc);
        t.EnviarSolicitud({"HORA", 336, "ACA", true, false, utc});
        EXPECT_EQ(ModificacionUtc(dir / "CLICAB.ZLN"), utc);
        EXPECT_EQ(ModificacionUtc(dir / "PRAXIS.ZLN"), utc);
        EXPECT_EQ(Leer(dir / "STATUS.ZLN"), "C");
    }
    t.EnviarSolicitud({"HORA", 336, "ACA", false, false, 1700000000LL});
    EXPECT_EQ(ModificacionUtc(dir / "CLICAB.ZLN"), 1700000000LL);
    EXPECT_FALSE(Existe(dir / "PRAXIS.ZLN"));
}

}  // namespace

namespace {

// A terminal is served one request at a time: a newer request drops what is still due of the older.
TEST(SimuladorZelno, UnaTerminalALaVez) {
    CarpetaZelno z;
    z.Reglas("term01 tarde 5000\n");
    sim::SimuladorZelno s(z.Z().string());
    z.Pedido("term01", "VIEJA");
    s.Paso(0);
    z.Pedido("term01", "NUEVA");
    s.Paso(100);
    s.Paso(6000);
    ASSERT_EQ(s.Pedidos().size(), 2u);
    EXPECT_TRUE(s.Pedidos()[0].reemplazada);
    EXPECT_EQ(s.Pedidos()[0].estadoMs, -1);
    EXPECT_FALSE(s.Pedidos()[1].reemplazada);
    EXPECT_EQ(Leer(z.Download("term01") / "SERESP.ZLN"), sim::RespuestaSeresp(s.Pedidos()[1]));
    EXPECT_FALSE(s.Pendiente());
}

// A client that finishes what it took, as a real one does: a newer request stays in upload until
// everything due of the older one is written, whatever its behaviour; then it is taken as usual.
TEST(SimuladorZelno, TerminaLoTomadoAntesDeTomarElSiguiente) {
    struct Caso {
        const char* regla;
        std::int64_t terminaMs;  // when the older request's last file is written
    };
    for (const Caso& caso : {Caso{"tarde 5000", 5000}, Caso{"seresp-tarde 3000", 3000},
                             Caso{"estado-primero 2500", 2500}, Caso{"normal 400", 400}}) {
        SCOPED_TRACE(caso.regla);
        CarpetaZelno z;
        z.Reglas(std::string("term01 ") + caso.regla + "\n");
        sim::SimuladorZelno s(z.Z().string(), 1, {true, 0});
        z.Pedido("term01", "VIEJA");
        s.Paso(0);
        z.Pedido("term01", "NUEVA");
        s.Paso(caso.terminaMs - 1);
        ASSERT_EQ(s.Pedidos().size(), 1u);
        EXPECT_EQ(Leer(z.Upload("term01") / "CLICAB.ZLN"), "NUEVA\r\nCABECERA");
        EXPECT_EQ(Leer(z.Upload("term01") / "_svl.0"), "V9013101");
        EXPECT_TRUE(Existe(z.Z() / "tx" / "term01"));

        s.Paso(caso.terminaMs);
        ASSERT_EQ(s.Pedidos().size(), 1u);
        const sim::PedidoTomado vieja = s.Pedidos()[0];
        EXPECT_FALSE(vieja.reemplazada);
        EXPECT_EQ(Foto(z, "term01", vieja), "+++ 0");
        EXPECT_TRUE(Existe(z.Upload("term01") / "_svl.0"));

        // The system takes the older answer away; the next pass takes the newer request.
        fs::remove(z.Estado("term01"));
        for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(z.Download("term01") / f);
        s.Paso(caso.terminaMs + 1);
        ASSERT_EQ(s.Pedidos().size(), 2u);
        EXPECT_EQ(s.Pedidos()[1].id, "NUEVA");
        EXPECT_EQ(s.Pedidos()[1].tomadoMs, caso.terminaMs + 1);
        EXPECT_FALSE(Existe(z.Z() / "tx" / "term01"));
    }

    // Another terminal is not held up by a busy one.
    CarpetaZelno z;
    z.Reglas("term01 banco-lento\n");
    sim::SimuladorZelno s(z.Z().string(), 1, {true, 0});
    z.Pedido("term01", "LENTA");
    s.Paso(0);
    z.Pedido("term01", "ESPERA");
    z.Pedido("term02", "OTRA");
    s.Paso(100);
    ASSERT_EQ(s.Pedidos().size(), 2u);
    EXPECT_EQ(s.Pedidos()[1].id, "OTRA");
    EXPECT_EQ(Leer(z.Estado("term02")), "0");
    s.Paso(sim::SimuladorZelno::kBancoLentoMs);
    EXPECT_EQ(Leer(z.Download("term01") / "SERESP.ZLN"), sim::RespuestaSeresp(s.Pedidos()[0]));
    EXPECT_EQ(s.Pedidos().size(), 2u);
}

}  // namespace
