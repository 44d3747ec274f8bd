// Whole exchanges: the point-of-sale simulator writes requests, the polling cycle hands them to the
// client simulator and brings its answers back, on a virtual clock.
#include <gtest/gtest.h>

#include <filesystem>

#include "banco_pruebas.h"
#include "bridge/respuestas.h"
#include "platform/archivos.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;
using prueba::Banco;
using prueba::EscribirArchivo;
using prueba::LeerArchivo;

std::vector<std::string> Contenido(const std::string& carpeta) {
    std::vector<std::string> nombres;
    for (const auto& e : fs::directory_iterator(carpeta)) nombres.push_back(e.path().filename().string());
    std::sort(nombres.begin(), nombres.end());
    return nombres;
}

using Nombres = std::vector<std::string>;

TEST(Intercambio, NormalAnswerReachesTheTerminal) {
    Banco b;
    b.Terminal(1).EnviarSolicitud({"PEDIDO-1", 336, "ACA", true});

    // First tick: marked "P", request moved to the upload folder, provider code and TX marker.
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(Contenido(b.Term(1, "upload")), (Nombres{"CLICAB.ZLN", "PRAXIS.ZLN", "_svl.0"}));
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9013101");
    EXPECT_TRUE(fs::exists(b.Z("tx/term01")));
    EXPECT_EQ(Contenido(b.Ter(1)), (Nombres{"CLICABAnterior.ZLN", "PRAXISAnterior.ZLN", "STATUS.ZLN"}));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "CLICABAnterior.ZLN")), sim::ContenidoClicab({"PEDIDO-1", 336, "ACA", true}));
    EXPECT_TRUE(b.esperador.esperas.empty());

    // The client answers; the next tick brings the answer back.
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    ASSERT_EQ(b.simulador.Registros().size(), 1u);
    const sim::RegistroPedido& pedido = b.simulador.Registros()[0];
    EXPECT_EQ(pedido.proveedor, "V9013101");
    const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
    EXPECT_EQ(r.status, "S");
    EXPECT_EQ(r.seresp, sim::RespuestaSeresp(pedido));
    EXPECT_EQ(r.praxis, sim::RespuestaPraxis(pedido));
    EXPECT_EQ(r.tiquet, sim::RespuestaTiquet(pedido));
    EXPECT_EQ(b.esperador.esperas, (std::vector<std::int32_t>{1000, 2000, 1000}));
    // Only the kept copies remain on the client side; estado.rsp is gone.
    EXPECT_EQ(Contenido(b.Term(1, "download")), (Nombres{"PRAXISAnterior.ZLN", "SERESPAnterior.ZLN"}));
    EXPECT_TRUE(Contenido(b.Term(1, "upload")).empty());
    EXPECT_FALSE(fs::exists(b.Term(1, "estado.rsp")));
    EXPECT_TRUE(b.ui.mensajes.empty());
    EXPECT_EQ(b.ui.estados.back(), "Buscando en " + b.configuracion.DirectorioKorvane + "...");
}

TEST(Intercambio, ClientFailureGivesTheCommunicationErrorAnswer) {
    Banco b;
    b.Comportamiento("term01 falla E12\\r\\n\n");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-2", 226, "KOS", true});
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
    EXPECT_EQ(r.seresp, RegistroErrorComunicacion("E12\r\n"));
    EXPECT_FALSE(r.hayPraxis);
    EXPECT_FALSE(r.hayTiquet);
    EXPECT_EQ(b.esperador.esperas, (std::vector<std::int32_t>{1000}));
    EXPECT_FALSE(fs::exists(b.Term(1, "estado.rsp")));
}

TEST(Intercambio, SuccessWithoutUsableAnswerGivesTheFormatErrorAnswer) {
    for (const char* regla : {"* sin-seresp", "* seresp-vacio"}) {
        Banco b;
        b.Comportamiento(regla);
        b.Terminal(1).EnviarSolicitud({"PEDIDO-3", 336, "HOPE", true});
        ASSERT_TRUE(b.TickHastaRespuesta(1)) << regla;
        const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
        const sim::RegistroPedido& pedido = b.simulador.Registros().at(0);
        EXPECT_EQ(r.seresp, RegistroErrorFormato()) << regla;
        EXPECT_EQ(r.praxis, sim::RespuestaPraxis(pedido)) << regla;
        EXPECT_EQ(r.tiquet, sim::RespuestaTiquet(pedido)) << regla;
        EXPECT_TRUE(b.ui.mensajes.empty());
    }
    // The empty answer stays where the client left it, after the second look.
    Banco b;
    b.Comportamiento("* seresp-vacio");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-4", 336, "HOPE", true});
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.esperador.esperas, (std::vector<std::int32_t>{1000, 2000, 1000, 1000}));
    EXPECT_EQ(fs::file_size(b.Term(1, "download/SERESP.ZLN")), 0u);
}

TEST(Intercambio, AnswerFilledLateIsTakenOnTheSecondLook) {
    Banco b;
    b.Comportamiento("* seresp-tarde 3500");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-5", 336, "ALTA", true});
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    const sim::RegistroPedido& pedido = b.simulador.Registros().at(0);
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(pedido));
    EXPECT_EQ(b.esperador.esperas, (std::vector<std::int32_t>{1000, 2000, 1000, 1000}));
    EXPECT_FALSE(fs::exists(b.Term(1, "download/SERESP.ZLN")));
    // The copy kept for repeats is the answer the terminal got, not the empty file first seen.
    EXPECT_EQ(LeerArchivo(b.Term(1, "download/SERESPAnterior.ZLN")), sim::RespuestaSeresp(pedido));
}

TEST(Intercambio, NoAnswerLeavesTheRequestWaiting) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-6", 336, "ACA", true});
    EXPECT_FALSE(b.TickHastaRespuesta(1, 5));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(b.simulador.Registros().size(), 1u);
    EXPECT_TRUE(b.esperador.esperas.empty());
}

TEST(Intercambio, AnAnswerIsReturnedNoEarlierThanTheNextTick) {
    Banco b;
    b.Terminal(1).EnviarSolicitud({"PEDIDO-7", 336, "ACA", true});
    // A stale estado.rsp makes the hand-off wait; during that wait an answer flag appears again.
    EscribirArchivo(b.Term(1, "estado.rsp"), "viejo");
    b.esperador.alEsperar = [&](std::int64_t) { EscribirArchivo(b.Term(1, "estado.rsp"), "0"); };
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_TRUE(fs::exists(b.Term(1, "estado.rsp")));
    b.esperador.alEsperar = nullptr;
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
}

TEST(Intercambio, StaleEstadoIsRemovedBeforeTheHandOff) {
    Banco b;
    EscribirArchivo(b.Term(1, "estado.rsp"), "0 viejo");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-8", 336, "ACA", true});
    b.Tick();
    EXPECT_EQ(b.esperador.esperas, (std::vector<std::int32_t>{1000}));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    // The answer that comes back is this request's, not the stale one.
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Registros().at(0)));
}

TEST(Intercambio, StatusLettersAndWhatTheCycleLeavesAlone) {
    Banco b(5);
    b.lista = std::make_shared<std::vector<clsItemTerXX>>(std::vector<clsItemTerXX>{
        {"TER01", "01", 1}, {"TER02", "02", 2}, {"TER03", "03", 3}, {"TER04", "04", 4}, {"TER05", "05", 5}});
    sim::TerminalKorvane& t1 = b.Terminal(1);
    t1.EnviarSolicitud({"A", 336, "ACA", true});
    EscribirArchivo(b.Ter(1, "STATUS.ZLN"), "  c resto");
    EscribirArchivo(b.Ter(2, "STATUS.ZLN"), "S y mas");
    EscribirArchivo(b.Ter(3, "STATUS.ZLN"), "X");
    EscribirArchivo(b.Ter(4, "STATUS.ZLN"), "");
    EscribirArchivo(b.Ter(5, "STATUS.ZLN"), "   ");
    for (int n = 2; n <= 5; ++n) EscribirArchivo(b.Ter(n, "CLICAB.ZLN"), "no se toca");
    b.Tick();
    // "P" goes over the first byte only.
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P c resto");
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "S y mas");
    EXPECT_EQ(LeerArchivo(b.Ter(3, "STATUS.ZLN")), "X");
    EXPECT_EQ(LeerArchivo(b.Ter(4, "STATUS.ZLN")), "");
    EXPECT_EQ(LeerArchivo(b.Ter(5, "STATUS.ZLN")), "   ");
    for (int n = 2; n <= 5; ++n) EXPECT_EQ(LeerArchivo(b.Ter(n, "CLICAB.ZLN")), "no se toca");
    // A terminal without STATUS.ZLN is passed over.
    fs::remove(b.Ter(3, "STATUS.ZLN"));
    b.Tick();
    EXPECT_TRUE(b.ui.mensajes.empty());
}

TEST(Intercambio, CompanyCodeByLengthAndTable) {
    struct Caso {
        int longitud;
        std::string empresa, tabla, proveedor;
    };
    // Table lines: provider parts at characters 9-10 and 41-42, name from character 11.
    auto linea = [](std::string p1, std::string nombre, std::string p2) {
        std::string l = "00000000" + p1 + nombre;
        l.resize(40, ' ');
        return l + p2 + "\r\n";
    };
    const std::vector<Caso> casos = {
        {225, "PASTEU", "", "V9011101"},  // no code: "OSDE"
        {225, "PASTEU", linea("77", "OSDE", "88"), "V9017788"},
        {226, "SIMECO", "", "V9012801"},
        {335, "OSAPM", "", "V9012701"},
        {336, "aca", "", "V9013101"},
        {336, "000096", "", "V9011101"},
        {336, "000096", linea("12", "000096 SALUD", "34"), "V9011234"},
        {336, "PASTEU", linea("45", "PASTEU", "02") + linea("46", "PASTEU", "03"), "V9014502"},
        {336, "ACA", linea("10", "ACA SALUD", "20"), "V9011020"},
        {336, "      ", linea("55", "CUALQUIERA", "66"), "V9015566"},
        {336, "      ", "", "V9011101"},
        {336, "KOS", "corta\r\n\r\n" + linea("01", "KOS", "09"), "V9010109"},
        {336, "HOPE", linea("01", "OTRA", "09"), "V9013501"},
    };
    for (const Caso& c : casos) {
        Banco b;
        b.Comportamiento("* sin-respuesta");
        if (!c.tabla.empty()) EscribirArchivo(b.Z("_zelno.emp"), c.tabla);
        b.Terminal(1).EnviarSolicitud({"X", c.longitud, c.empresa, true});
        b.Tick();
        EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), c.proveedor) << c.longitud << " '" << c.empresa << "'";
    }
}

TEST(Intercambio, ProviderCodeReplacesTheWholeFile) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    // A short table line gives a short code; an older, longer _svl.0 must not show through.
    EscribirArchivo(b.Term(1, "upload/_svl.0"), "V9019999");
    EscribirArchivo(b.Z("_zelno.emp"), "00000000KOS\r\n");
    b.Terminal(1).EnviarSolicitud({"X", 336, "", true});
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V901KO");
}

TEST(Intercambio, TxMarkerOnlyWithTheOptionOn) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.configuracion.ActivarTX = 0;
    b.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true});
    b.Tick();
    EXPECT_FALSE(fs::exists(b.Z("tx/term01")));

    b.configuracion.ActivarTX = 1;
    EscribirArchivo(b.Ter(1, "STATUS.ZLN"), "C");
    b.Tick();
    EXPECT_TRUE(fs::exists(b.Z("tx/term01")));
    EXPECT_EQ(fs::file_size(b.Z("tx/term01")), 0u);
}

TEST(Intercambio, PraxisAloneIsHandedOff) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true});
    fs::remove(b.Ter(1, "CLICAB.ZLN"));
    b.Tick();
    EXPECT_EQ(Contenido(b.Term(1, "upload")), (Nombres{"PRAXIS.ZLN", "_svl.0"}));
    // No company code was read: the cycle's empty code takes the first table line or the default.
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9011101");
}

TEST(Intercambio, OldAnswerInTheTerminalFolderIsRemovedAtHandOff) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true});
    EscribirArchivo(b.Ter(1, "SERESP.ZLN"), "vieja");
    EscribirArchivo(b.Ter(1, "TIQUET.PRN"), "ticket viejo");
    b.Tick();
    EXPECT_FALSE(fs::exists(b.Ter(1, "SERESP.ZLN")));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "TIQUET.PRN")), "ticket viejo");
}

class Duplicados : public ::testing::Test {
protected:
    // Sends `id` and sets CLICAB.ZLN's time to 10:mm:ss on 10 March 2026.
    void Enviar(const std::string& id, int minuto, int segundo) {
        b.Terminal(1).EnviarSolicitud({id, 336, "ACA", true});
        prueba::FijarFechaModificacion(b.Ter(1, "CLICAB.ZLN"), 2026, 3, 10, 10, minuto, segundo);
    }
    Banco b;
};

TEST_F(Duplicados, RepeatWithinTheMinuteGetsThePreviousAnswer) {
    Enviar("MISMO", 0, 10);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    const std::string primera = b.Terminal(1).LeerRespuesta().seresp;
    fs::remove(b.Z("tx/term01"));

    Enviar("MISMO", 0, 50);
    b.esperador.esperas.clear();
    b.Tick();
    // Answered in the same tick, from the kept answer; nothing went to the client.
    const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
    EXPECT_EQ(r.status, "S");
    EXPECT_EQ(r.seresp, primera);
    EXPECT_EQ(r.praxis, sim::RespuestaPraxis(b.simulador.Registros().at(0)));
    EXPECT_EQ(b.simulador.Registros().size(), 1u);
    EXPECT_TRUE(Contenido(b.Term(1, "upload")).empty());
    EXPECT_FALSE(fs::exists(b.Z("tx/term01")));
    EXPECT_TRUE(b.esperador.esperas.empty());
    EXPECT_EQ(LeerArchivo((fs::path(b.configuracion.DirectorioKorvane) / "LogTramiza20261206.txt").string()),
              "\"Determino que el archivo de la hora 2026/06/12 14:05:33 era duplicado\"\r\n\"MISMO\"\r\n");
}

TEST_F(Duplicados, RepeatAcrossAMinuteBoundaryGoesToTheClient) {
    Enviar("MISMO", 0, 50);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    Enviar("MISMO", 1, 10);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.simulador.Registros().size(), 2u);
}

// A repeat is answered from the kept answer only when that is the client's answer the terminal got
// for the request repeated; otherwise it goes to the client as a new request and gets its own.
TEST_F(Duplicados, RepeatAfterAnErrorAnswerOrALateAnswer) {
    struct Caso {
        const char* primera;   // the client's behaviour for the first request
        bool desdeLoGuardado;  // the repeat is answered from the kept answer
    };
    for (const Caso c : {Caso{"falla E12", false}, Caso{"sin-seresp", false}, Caso{"seresp-vacio", false},
                         Caso{"seresp-tarde 3500", true}, Caso{"normal", true}}) {
        SCOPED_TRACE(c.primera);
        Banco b;
        b.Comportamiento(std::string("* ") + c.primera);
        b.Terminal(1).EnviarSolicitud({"OTRA VEZ", 336, "ACA", true});
        prueba::FijarFechaModificacion(b.Ter(1, "CLICAB.ZLN"), 2026, 3, 10, 10, 0, 10);
        ASSERT_TRUE(b.TickHastaRespuesta(1));
        for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(1, f));

        b.Comportamiento("* normal");
        b.Terminal(1).EnviarSolicitud({"OTRA VEZ", 336, "ACA", true});
        prueba::FijarFechaModificacion(b.Ter(1, "CLICAB.ZLN"), 2026, 3, 10, 10, 0, 40);
        ASSERT_TRUE(b.TickHastaRespuesta(1));
        const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
        EXPECT_EQ(b.simulador.Registros().size(), c.desdeLoGuardado ? 1u : 2u);
        EXPECT_EQ(r.seresp, sim::RespuestaSeresp(b.simulador.Registros().back()));
        EXPECT_EQ(r.praxis, sim::RespuestaPraxis(b.simulador.Registros().back()));
        EXPECT_TRUE(b.ui.mensajes.empty());
    }
}

class ClienteNoDisponible : public ::testing::Test {
protected:
    ClienteNoDisponible() { b.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true}); }
    Banco b;
};

TEST_F(ClienteNoDisponible, ClientThatCannotStartLeavesTheRequestUntouched) {
    b.cliente.enEjecucion = false;
    b.cliente.resultadoInicio = 0;
    b.Tick();
    EXPECT_EQ(b.cliente.buscados, (Nombres{"Zelno32.exe"}));
    EXPECT_EQ(b.cliente.iniciados, (Nombres{"Zelno32.exe --dir Z"}));
    ASSERT_EQ(b.ui.mensajes.size(), 2u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Zelno Activo");
    EXPECT_EQ(b.ui.mensajes[1].texto, "No se puede encontrar ZELNO32.exe");
    EXPECT_EQ(b.ui.mensajes[1].titulo, "Zelno32");
    EXPECT_EQ(b.ui.mensajes[1].icono, Icono::Critico);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "C");
    EXPECT_TRUE(fs::exists(b.Ter(1, "CLICAB.ZLN")));
    EXPECT_TRUE(Contenido(b.Term(1, "upload")).empty());

    // A client that starts but ends within its start-up wait counts as not started either.
    b.cliente.resultadoInicio = 0;
    b.ui.mensajes.clear();
    b.Tick();
    EXPECT_EQ(b.ui.mensajes.size(), 2u);

    // Once it starts, the request goes.
    b.cliente.resultadoInicio = 258;
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
}

TEST_F(ClienteNoDisponible, RunningClientIsNotStartedAndTheCheckCanBeOff) {
    b.Tick();
    EXPECT_TRUE(b.cliente.iniciados.empty());
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");

    Banco sinControl;
    sinControl.configuracion.IniciarZelnoExe = 0;
    sinControl.cliente.enEjecucion = false;
    sinControl.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true});
    sinControl.Tick();
    EXPECT_TRUE(sinControl.cliente.buscados.empty());
    EXPECT_EQ(LeerArchivo(sinControl.Ter(1, "STATUS.ZLN")), "P");
}

// A tick delivered while a message box of the cycle is open must not start a nested cycle.
class InterfazReentrante : public prueba::GrabadorInterfaz {
public:
    void MostrarMensaje(const std::string& texto, const std::string& titulo, Icono icono) override {
        GrabadorInterfaz::MostrarMensaje(texto, titulo, icono);
        if (ciclo && lista) anidados.push_back(ciclo->TmrBuscando_Timer(*lista));
    }
    CicloSondeo* ciclo = nullptr;
    const ListaTerminales* lista = nullptr;
    std::vector<bool> anidados;
};

TEST_F(ClienteNoDisponible, TickDuringAMessageBoxIsSkipped) {
    InterfazReentrante ui;
    prueba::ClienteSimulado cliente;
    cliente.enEjecucion = false;
    cliente.resultadoInicio = 0;
    CicloSondeo ciclo(
        b.configuracion, ui, b.esperador, cliente, [] { return archivos::FechaHora{}; }, b.CarpetaEstado());
    ui.ciclo = &ciclo;
    ui.lista = &b.lista;
    EXPECT_TRUE(ciclo.TmrBuscando_Timer(b.lista));
    EXPECT_EQ(ui.anidados, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui.mensajes.size(), 2u);
    // The next free tick polls as usual.
    ui.ciclo = nullptr;
    EXPECT_TRUE(ciclo.TmrBuscando_Timer(b.lista));
    EXPECT_EQ(ui.mensajes.size(), 4u);
}

TEST(Intercambio, FailureShowsTheCheckpointAndLeavesLaterTerminalsForTheNextTick) {
    Banco b(3);
    b.Comportamiento("* sin-respuesta");
    b.lista = std::make_shared<std::vector<clsItemTerXX>>(
        std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}, {"TER03", "03", 3}});
    for (int n = 1; n <= 3; ++n)
        b.Terminal(n).EnviarSolicitud({std::string("R") + std::to_string(n), 336, "ACA", true});
    // Terminal 2's upload folder is gone: copying its request there fails.
    fs::remove_all(b.Term(2, "upload"));
    b.Tick();
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Transacción punto control: 5");
    EXPECT_EQ(b.ui.mensajes[0].icono, Icono::Critico);
    const std::string& texto = b.ui.mensajes[0].texto;
    EXPECT_NE(texto.find(": "), std::string::npos);
    EXPECT_GT(std::stol(texto.substr(0, texto.find(": "))), 0);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    // "P" stays and the request file is still there (its copy failed): the next tick finishes the
    // hand-off once the folder is back, and the client gets the request once.
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "P");
    EXPECT_TRUE(fs::exists(b.Ter(2, "CLICAB.ZLN")));
    EXPECT_EQ(LeerArchivo(b.Ter(3, "STATUS.ZLN")), "C");

    b.ui.mensajes.clear();
    fs::create_directory(b.Term(2, "upload"));
    b.Tick();
    EXPECT_TRUE(b.ui.mensajes.empty());
    EXPECT_FALSE(fs::exists(b.Ter(2, "CLICAB.ZLN")));
    EXPECT_EQ(LeerArchivo(b.Term(2, "upload/_svl.0")), "V9013101");
    EXPECT_EQ(LeerArchivo(b.Ter(3, "STATUS.ZLN")), "P");
}

TEST(Intercambio, ListReloadedDuringTheMessagePumpDoesNotDisturbTheWalk) {
    Banco b(2);
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Terminal(2).EnviarSolicitud({"B", 336, "ACA", true});
    struct Recargar : prueba::GrabadorInterfaz {
        void ProcesarMensajes() override { *lista = std::make_shared<std::vector<clsItemTerXX>>(); }
        ListaTerminales* lista = nullptr;
    } ui;
    ui.lista = &b.lista;
    CicloSondeo ciclo(
        b.configuracion, ui, b.esperador, b.cliente, [] { return archivos::FechaHora{}; }, b.CarpetaEstado());
    ciclo.TmrBuscando_Timer(b.lista);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "P");
    EXPECT_TRUE(b.lista->empty());
}

}  // namespace

namespace {

// Requests and answers no terminal or client should send, each given the answer the bridge defines.
TEST(EntradaDefectuosa, EmptyBinaryAndHugeRequestFiles) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    // An empty CLICAB.ZLN: no company code, the default provider; handed off as it is.
    EscribirArchivo(b.Ter(1, "CLICAB.ZLN"), "");
    EscribirArchivo(b.Ter(1, "STATUS.ZLN"), "C");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9011101");
    EXPECT_EQ(fs::file_size(b.Term(1, "upload/CLICAB.ZLN")), 0u);

    // Three megabytes of every byte value, with a known company code at bytes 193-198.
    std::string grande(3 << 20, '\0');
    for (std::size_t i = 0; i < grande.size(); ++i) grande[i] = static_cast<char>(i * 7 + 3);
    grande.replace(192, 6, "ACA\r\n\0", 6);
    fs::remove(b.Term(1, "upload/CLICAB.ZLN"));
    EscribirArchivo(b.Ter(1, "CLICAB.ZLN"), grande);
    EscribirArchivo(b.Ter(1, "STATUS.ZLN"), "C");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/CLICAB.ZLN")), grande);
    // "ACA\r\n\0" trimmed of blanks only is not "ACA": the default provider.
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9011101");
    EXPECT_TRUE(b.ui.mensajes.empty());
}

TEST(EntradaDefectuosa, GarbageEstadoGivesAFixedLengthErrorAnswer) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true});
    b.Tick();
    std::string basura(2 << 20, 'Z');
    for (std::size_t i = 0; i < basura.size(); i += 3) basura[i] = static_cast<char>(i % 251);
    basura[0] = '\x01';
    EscribirArchivo(b.Term(1, "estado.rsp"), basura);
    b.Tick();
    const std::string seresp = LeerArchivo(b.Ter(1, "SERESP.ZLN"));
    EXPECT_EQ(seresp, RegistroErrorComunicacion(basura));
    EXPECT_EQ(seresp.size(), 351u);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_FALSE(fs::exists(b.Term(1, "estado.rsp")));
}

TEST(EntradaDefectuosa, TerminalFolderWithBlanksAndAccents) {
    Banco b(0);
    b.Comportamiento("* sin-respuesta");
    // Names in the single-byte code page, through the same calls the bridge uses.
    const std::string carpeta = archivos::Unir(b.configuracion.DirectorioKorvane, "TER 1\xE9");
    archivos::CrearCarpeta(carpeta);
    b.lista = CargarTerminales(b.configuracion, b.ui);
    ASSERT_EQ(b.lista->size(), 1u);
    archivos::EscribirCompleto(carpeta + "\\CLICAB.ZLN", sim::ContenidoClicab({"ACENTO", 336, "KOS", true}));
    archivos::EscribirCompleto(carpeta + "\\STATUS.ZLN", "C");
    b.Tick();
    const std::string subida = archivos::Unir(b.configuracion.DirectorioZELNO, "term 1\xE9\\upload");
    EXPECT_EQ(archivos::LeerCompleto(subida + "\\CLICAB.ZLN"), sim::ContenidoClicab({"ACENTO", 336, "KOS", true}));
    EXPECT_EQ(archivos::LeerCompleto(subida + "\\_svl.0"), "V9013301");
    EXPECT_EQ(archivos::LeerCompleto(carpeta + "\\STATUS.ZLN"), "P");
    EXPECT_TRUE(b.ui.mensajes.empty());
}

#ifdef _WIN32
TEST(EntradaDefectuosa, LockedStatusFileStopsTheTickWithItsCheckpoint) {
    Banco b(2);
    b.lista =
        std::make_shared<std::vector<clsItemTerXX>>(std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}});
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Terminal(2).EnviarSolicitud({"B", 336, "ACA", true});
    // Another program holds TER01's STATUS.ZLN open without sharing it.
    HANDLE h = CreateFileA(b.Ter(1, "STATUS.ZLN").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    b.Tick();
    CloseHandle(h);
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Transacción punto control: 1");
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "C");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "P");
}
#endif

}  // namespace
