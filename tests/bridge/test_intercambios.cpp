// Whole exchanges: the point-of-sale simulator writes requests, the polling cycle hands them to the
// client simulator and brings its answers back, on a virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

#include "banco_pruebas.h"
#include "bridge/respuestas.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

#ifdef _WIN32
#include <windows.h>
#endif

// A row of the "Terminales" window as its cells, for the failures' messages.
void PrintTo(const FilaTerminal& f, std::ostream* os) {
    *os << '{';
    for (const std::string* c :
         {&f.terminal, &f.letra, &f.situacion, &f.hora, &f.resultado, &f.duracion, &f.fallo, &f.textoFallo})
        *os << '"' << *c << "\" ";
    *os << '}';
}

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

    // First tick: marked "P", request moved to the upload folder, provider code and TX marker. Each
    // upload copy is on the disk before its original goes (a power cut never loses the request).
    std::vector<std::string> operaciones;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        std::string r = ruta;
        std::replace(r.begin(), r.end(), '\\', '/');
        operaciones.push_back(std::string(operacion) + " " + r.substr(r.find_last_of('/', r.rfind('/') - 1) + 1));
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    const auto posicion = [&](const std::string& que) {
        return std::find(operaciones.begin(), operaciones.end(), que) - operaciones.begin();
    };
    // Each file whole in upload (written beside it, flushed, renamed in) before its original goes.
    EXPECT_LT(posicion("Sincronizar term01/Tramiza.tmp"), posicion("Colocar upload/CLICAB.ZLN"));
    EXPECT_LT(posicion("Colocar upload/CLICAB.ZLN"), posicion("Borrar TER01/CLICAB.ZLN"));
    EXPECT_LT(posicion("Colocar upload/PRAXIS.ZLN"), posicion("Borrar TER01/PRAXIS.ZLN"));
    EXPECT_LT(posicion("Borrar TER01/PRAXIS.ZLN"), posicion("EscribirCompleto upload/_svl.0"));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(Contenido(b.Term(1, "upload")), (Nombres{"CLICAB.ZLN", "PRAXIS.ZLN", "_svl.0"}));
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9013101");
    EXPECT_TRUE(fs::exists(b.Z("tx/term01")));
    EXPECT_EQ(Contenido(b.Ter(1)), (Nombres{"CLICABAnterior.ZLN", "PRAXISAnterior.ZLN", "STATUS.ZLN"}));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "CLICABAnterior.ZLN")), sim::ContenidoClicab({"PEDIDO-1", 336, "ACA", true}));
    EXPECT_TRUE(b.esperador.esperas.empty());

    // The client answers; the next tick brings the answer back.
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    ASSERT_EQ(b.simulador.Pedidos().size(), 1u);
    const sim::PedidoTomado& pedido = b.simulador.Pedidos()[0];
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
    EXPECT_EQ(r.seresp, RespuestaErrorComunicacion("E12\r\n"));
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
        const sim::PedidoTomado& pedido = b.simulador.Pedidos().at(0);
        EXPECT_EQ(r.seresp, RespuestaErrorFormato()) << regla;
        EXPECT_EQ(r.praxis, sim::RespuestaPraxis(pedido)) << regla;
        EXPECT_EQ(r.tiquet, sim::RespuestaTiquet(pedido)) << regla;
        EXPECT_TRUE(b.ui.mensajes.empty());
        EXPECT_EQ(b.planificador->Filas(b.lista).at(0).resultado, "error de formato (respuesta de Tramiza)") << regla;
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
    const sim::PedidoTomado& pedido = b.simulador.Pedidos().at(0);
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
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
    EXPECT_TRUE(b.esperador.esperas.empty());
    EXPECT_TRUE(b.ui.mensajes.empty());
    // Held by the client for 5 minutes: said once, and still awaited, for good; its answer still comes.
    b.Correr(5 * 60 * 1000);
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Venta sin respuesta");
    EXPECT_EQ(b.ui.mensajes[0].texto,
              "El programa Zelno32 tiene la venta de la terminal TER01 desde hace 5 minutos y aún no respondió. "
              "Tramiza sigue esperando su respuesta y no la envía otra vez.");
    b.Correr(10 * 60 * 1000);
    EXPECT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    b.Comportamiento("* normal");
    EscribirArchivo(b.Term(1, "download/SERESP.ZLN"), "APROBADA");
    EscribirArchivo(b.Term(1, "estado.rsp"), "0");
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "SERESP.ZLN")), "APROBADA");
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
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

// The answers kept aside because no terminal waited for them: each folder's name and its files.
std::map<std::string, std::map<std::string, std::string>> Apartadas(const Banco& b) {
    std::map<std::string, std::map<std::string, std::string>> apartadas;
    const fs::path carpeta = fs::path(b.raiz.Ruta()) / "NoEntregadas";
    if (!fs::exists(carpeta)) return apartadas;
    for (const auto& d : fs::directory_iterator(carpeta))
        for (const auto& f : fs::directory_iterator(d.path()))
            apartadas[d.path().filename().string()][f.path().filename().string()] = LeerArchivo(f.path().string());
    return apartadas;
}

// One tick of the window, its turns run to their end, with no client at work: the test moves the
// client's files itself.
void TicSinCliente(Banco& b) {
    b.esperador.ahora += 1000;
    b.planificador->Terminales = b.lista;
    b.planificador->Tic();
    b.TerminarTurnos();
}

// The next file calls `operacion` on a path ending in `ruta`: the first fails; the count is of all.
std::shared_ptr<int> FallarUnaVez(const std::string& operacion, const std::string& ruta) {
    auto llamadas = std::make_shared<int>(0);
    archivos::InstalarInterceptor([=](const char* op, const std::string& r) {
        if (op == operacion && r.ends_with(ruta) && (*llamadas)++ == 0) throw plataforma::ErrorSistema(29, "fallo");
    });
    return llamadas;
}

// A request whose hand-off fails after "P", at the copy of `archivo` into upload.
void EntregaCortadaEn(Banco& b, const std::string& archivo, const std::string& id = "VIEJA") {
    const auto llamadas = FallarUnaVez("Colocar", "upload\\" + archivo);
    b.Terminal(1).EnviarSolicitud({id, 336, "ACA", true});
    b.Tick();
    archivos::InstalarInterceptor({});
    EXPECT_GE(*llamadas, 1);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
}

// What an earlier exchange left in the client's folder (an estado.rsp, a SERESP.ZLN the client filled
// after its format-error answer) never becomes the next request's answer: it is kept aside, and said.
TEST(Intercambio, LeftoversOfAnEarlierExchangeAreKeptAsideBeforeTheHandOff) {
    Banco b;
    b.Comportamiento("* seresp-vacio");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-8", 336, "ACA", true});
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, RespuestaErrorFormato());
    // The client fills its answer after all, and leaves a flag behind.
    EscribirArchivo(b.Term(1, "download/SERESP.ZLN"), "TARDE");
    EscribirArchivo(b.Term(1, "estado.rsp"), "0 viejo");

    b.Comportamiento("* sin-seresp");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-9", 336, "ACA", true});
    b.esperador.esperas.clear();
    b.Tick();
    EXPECT_EQ(b.esperador.esperas, (std::vector<std::int32_t>{1000}));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, RespuestaErrorFormato());
    const auto apartadas = Apartadas(b);
    ASSERT_EQ(apartadas.size(), 1u);
    EXPECT_EQ(apartadas.begin()->first, "TER01-20261206-140533");
    EXPECT_EQ(apartadas.begin()->second,
              (std::map<std::string, std::string>{{"SERESP.ZLN", "TARDE"}, {"estado.rsp", "0 viejo"}}));
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Respuesta no entregada");
    EXPECT_EQ(b.ui.mensajes[0].texto,
              "La respuesta del cliente para la terminal TER01 (estado.rsp \"0 viejo\") no se entregó: quedó de un "
              "intercambio anterior. Sus archivos se guardaron en " +
                  b.raiz / "NoEntregadas" +
                  "\\TER01-20261206-140533.\r\n\r\nLa venta puede estar cobrada. No la repita: llame antes al técnico "
                  "para que compruebe la operación en el programa Zelno32 o con el banco.");
}

// A failure report left from an earlier exchange, with no answer in it, charged nobody: it goes before
// the next hand-off with a line in the log, without a box.
TEST(Intercambio, AStaleFailureReportIsRemovedQuietlyBeforeTheHandOff) {
    Banco b;
    EscribirArchivo(b.Term(1, "estado.rsp"), "E98 SIN LINEA");
    EscribirArchivo(b.Term(1, "download/TIQUET.PRN"), "");
    b.Terminal(1).EnviarSolicitud({"PEDIDO-1", 336, "ACA", true});
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().at(0)));
    EXPECT_TRUE(b.ui.mensajes.empty()) << b.ui.mensajes.front().texto;
    EXPECT_TRUE(Apartadas(b).empty());
}

// The till leaves request A while the client holds it and writes B; B goes after the minute its
// answer is awaited; the client, answering in order, answers A before it takes B from upload. A's
// answer is kept aside and said, and B waits for its own.
TEST(Intercambio, ALateAnswerToALeftRequestNeverReachesTheNextOne) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Tick();
    b.Tick();
    ASSERT_EQ(b.simulador.Pedidos().size(), 1u);
    b.Terminal(1).EnviarSolicitud({"B", 336, "ACA", true});
    // The client is busy with A: it takes nothing more.
    for (int i = 0; i < 120 && !fs::exists(b.Term(1, "upload/_svl.0")); ++i) TicSinCliente(b);
    ASSERT_TRUE(fs::exists(b.Term(1, "upload/_svl.0")));
    EscribirArchivo(b.Term(1, "download/SERESP.ZLN"), "APROBADA A");
    EscribirArchivo(b.Term(1, "estado.rsp"), "0");
    for (int i = 0; i < 8; ++i) TicSinCliente(b);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_FALSE(fs::exists(b.Ter(1, "SERESP.ZLN")));
    EXPECT_TRUE(fs::exists(b.Term(1, "upload/_svl.0")));
    const auto apartadas = Apartadas(b);
    ASSERT_EQ(apartadas.size(), 1u);
    EXPECT_EQ(apartadas.begin()->second,
              (std::map<std::string, std::string>{{"SERESP.ZLN", "APROBADA A"}, {"estado.rsp", "0"}}));
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Respuesta no entregada");
    // B's own answer, once the client has taken it, is B's.
    b.Comportamiento("* normal");
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().back()));
    EXPECT_EQ(sim::PrimeraLinea(b.simulador.Pedidos().back().clicab), "B");
}

// A, left by its till, is still with the client when B goes. Done with A, the client writes A's
// answer, takes B at once and answers it into the same names (without PRAXIS.ZLN), all before
// anyone looks: nobody can tell whose answer the folder holds. None of it reaches B's till: it is
// kept aside as found, and B, in doubt, gets our communication-error answer after its minute.
// And a left request the client never began on is withdrawn at once: nothing of it travels with
// the next, and the next does not wait a minute for its answer.
// The client answers the request `tarde` late, into PRAXIS.ZLN, takes `siguiente` (out of upload)
// and answers it into the same names at once: the till stays "P", and that mixture is kept aside
// once, as nobody's.
void MezclaDeDosApartada(Banco& b, const std::string& tarde, const std::string& siguiente) {
    SCOPED_TRACE(tarde + " y " + siguiente);
    EscribirArchivo(b.Term(1, "download/PRAXIS.ZLN"), "PRAXIS " + tarde);
    for (const char* f : {"upload/_svl.0", "upload/CLICAB.ZLN"}) fs::remove(b.Term(1, f));
    EscribirArchivo(b.Term(1, "download/SERESP.ZLN"), "APROBADA " + siguiente);
    EscribirArchivo(b.Term(1, "estado.rsp"), "0");
    for (int i = 0; i < 8; ++i) TicSinCliente(b);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_FALSE(fs::exists(b.Ter(1, "SERESP.ZLN")));
    const std::map<std::string, std::string> mezcla{{"SERESP.ZLN", "APROBADA " + siguiente},
                                                    {"PRAXIS.ZLN", "PRAXIS " + tarde},
                                                    {"estado.rsp", "0"}};
    EXPECT_EQ(std::ranges::count_if(Apartadas(b), [&](const auto& a) { return a.second == mezcla; }), 1);
}

TEST(Intercambio, AnAnswerThatMayBeTheLeftRequestsIsNobodys) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Tick();
    b.Tick();
    ASSERT_EQ(b.simulador.Pedidos().size(), 1u);
    b.Terminal(1).EnviarSolicitud({"B", 336, "ACA", false});
    for (int i = 0; i < 120 && !fs::exists(b.Term(1, "upload/_svl.0")); ++i) TicSinCliente(b);
    ASSERT_TRUE(fs::exists(b.Term(1, "upload/_svl.0")));
    MezclaDeDosApartada(b, "A", "B");
    EXPECT_EQ(Apartadas(b).size(), 1u);
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].texto.find("no se sabe si es de la solicitud en curso o de una anterior") !=
                  std::string::npos,
              true);
    for (int i = 0; i < 62 && LeerArchivo(b.Ter(1, "STATUS.ZLN")) != "S"; ++i) TicSinCliente(b);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_EQ(LeerArchivo(b.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
    EXPECT_FALSE(fs::exists(b.Ter(1, "PRAXIS.ZLN")));

    // C goes to a client that takes nothing; the till leaves it for D, which has no PRAXIS.ZLN.
    for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(1, f));
    b.Terminal(1).EnviarSolicitud({"C", 336, "ACA", true});
    TicSinCliente(b);
    ASSERT_EQ(LeerArchivo(b.Term(1, "upload/PRAXIS.ZLN")), "PRAXIS C\r\n");
    b.Terminal(1).EnviarSolicitud({"D", 336, "ACA", false});
    TicSinCliente(b);
    EXPECT_EQ(sim::PrimeraLinea(LeerArchivo(b.Term(1, "upload/CLICAB.ZLN"))), "D");
    EXPECT_FALSE(fs::exists(b.Term(1, "upload/PRAXIS.ZLN")));
    EXPECT_TRUE(fs::exists(b.Term(1, "upload/_svl.0")));
    EXPECT_EQ(b.ui.mensajes.size(), 1u);
    // B, which the client took, is answered late after all, and the client takes D at once and
    // answers it into the same names: nobody can tell whose answer the folder holds.
    MezclaDeDosApartada(b, "B", "D");
    // D's doubt came of that wait: once it is over, no answer is awaited after it.
    for (int i = 0; i < 62 && LeerArchivo(b.Ter(1, "STATUS.ZLN")) != "S"; ++i) TicSinCliente(b);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
    EXPECT_FALSE(FichasIntercambio(b.CarpetaEstado())
                     .De(archivos::Unir(b.configuracion.DirectorioKorvane, "TER01"), archivos::kEsperar)
                     .tomadaPorCliente);

    // A request in doubt that the till leaves by writing its next one files first, "C" a few seconds
    // later: those files are the next request's, and reach the client whole. The same request written
    // again is the same sale: it never reaches the client, and gets the doubt's answer.
    for (const char* siguiente : {"SIGUIENTE", "DUDOSA"}) {
        SCOPED_TRACE(siguiente);
        Banco c;
        c.Comportamiento("* sin-respuesta");
        const std::string ter = archivos::Unir(c.configuracion.DirectorioKorvane, "TER01");
        c.Terminal(1).EnviarSolicitud({"DUDOSA", 336, "ACA", true});
        for (const char* f : {"CLICAB.ZLN", "PRAXIS.ZLN"})
            fs::copy_file(c.Ter(1, f), c.Ter(1, std::string(f).insert(6, "Anterior")));
        FichaIntercambio e;
        transicion::Dudar(e, 0, false);
        e.conClicab = e.conPraxis = true;
        e.proveedor = "V9013101";
        FichasIntercambio(c.CarpetaEstado()).Grabar(ter, e, archivos::kEsperar);
        for (const char* f : {"CLICAB.ZLN", "PRAXIS.ZLN"}) fs::remove(c.Ter(1, f));
        EscribirArchivo(c.Ter(1, "STATUS.ZLN"), "P");
        c.Reiniciar();
        c.Terminal(1).EscribirArchivos({siguiente, 336, "ACA", true});
        c.Tick();
        c.Tick();
        c.Terminal(1).MarcarPedido();
        c.Correr(62000);
        if (std::string_view(siguiente) == "DUDOSA") {
            EXPECT_TRUE(c.simulador.Pedidos().empty());
            EXPECT_EQ(LeerArchivo(c.Ter(1, "STATUS.ZLN")), "S");
            EXPECT_EQ(LeerArchivo(c.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
            continue;
        }
        ASSERT_EQ(c.simulador.Pedidos().size(), 1u);
        EXPECT_EQ(sim::PrimeraLinea(c.simulador.Pedidos()[0].clicab), "SIGUIENTE");
        EXPECT_EQ(c.simulador.Pedidos()[0].praxis, "PRAXIS SIGUIENTE\r\n");
    }

    // E is taken while an earlier answer is being kept aside, and gets our error record after its
    // minute. Its own answer comes after all, once the till's next request F is out of upload, and
    // the client answers F into the same names at once: nobody can tell whose answer that is. The
    // same when E's record cannot be written once the answer has gone aside.
    for (const bool fichaFalla : {false, true}) {
        SCOPED_TRACE(fichaFalla ? "record fails after the keeping aside" : "no fault");
        Banco d;
        d.Comportamiento("* sin-respuesta");
        d.Terminal(1).EnviarSolicitud({"E", 336, "ACA", true});
        for (int i = 0; i < 10 && !fs::exists(d.Term(1, "upload/_svl.0")); ++i) TicSinCliente(d);
        ASSERT_TRUE(fs::exists(d.Term(1, "upload/_svl.0")));
        EscribirArchivo(d.Term(1, "download/SERESP.ZLN"), "APROBADA ANTERIOR");
        EscribirArchivo(d.Term(1, "estado.rsp"), "0");
        d.esperador.alEsperar = [&](std::int64_t) {
            for (const char* f : {"upload/_svl.0", "upload/CLICAB.ZLN", "upload/PRAXIS.ZLN"}) fs::remove(d.Term(1, f));
        };
        bool fallada = !fichaFalla;
        archivos::InstalarInterceptor([&](const char* op, const std::string& r) {
            if (!fallada && std::string_view(op) == "EscribirEn" && r.ends_with(".txt") &&
                !fs::exists(d.Term(1, "estado.rsp"))) {
                fallada = true;
                throw plataforma::ErrorSistema(29, "fallo");
            }
        });
        TicSinCliente(d);
        archivos::InstalarInterceptor({});
        EXPECT_TRUE(fallada);
        d.esperador.alEsperar = nullptr;
        for (int i = 0; i < 64 && LeerArchivo(d.Ter(1, "STATUS.ZLN")) != "S"; ++i) TicSinCliente(d);
        ASSERT_EQ(LeerArchivo(d.Ter(1, "STATUS.ZLN")), "S");
        ASSERT_EQ(LeerArchivo(d.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
        fs::remove(d.Ter(1, "SERESP.ZLN"));
        d.Terminal(1).EnviarSolicitud({"F", 336, "ACA", false});
        TicSinCliente(d);
        ASSERT_EQ(sim::PrimeraLinea(LeerArchivo(d.Term(1, "upload/CLICAB.ZLN"))), "F");
        MezclaDeDosApartada(d, "E", "F");
    }

    // G was let go unanswered; H, taken, is left too, and then G's answer comes: it is G's (the client
    // answers in the order it took), so H's is still due. It comes once the next request I is out of
    // upload, with I's answer into the same names at once: nobody's.
    Banco g;
    g.Comportamiento("* sin-respuesta");
    const auto enSubida = [&] {
        const std::string clicab = g.Term(1, "upload/CLICAB.ZLN");
        return fs::exists(clicab) ? sim::PrimeraLinea(LeerArchivo(clicab)) : std::string();
    };
    const auto hastaSubida = [&](const char* id) {
        for (int i = 0; i < 80 && enSubida() != id; ++i) TicSinCliente(g);
        ASSERT_EQ(enSubida(), id);
        for (const char* f : {"upload/_svl.0", "upload/CLICAB.ZLN", "upload/PRAXIS.ZLN"}) fs::remove(g.Term(1, f));
    };
    g.Terminal(1).EnviarSolicitud({"G", 336, "ACA", true});
    hastaSubida("G");
    g.Terminal(1).EnviarSolicitud({"H", 336, "ACA", true});
    hastaSubida("H");
    g.Terminal(1).EnviarSolicitud({"I", 336, "ACA", false});
    EscribirArchivo(g.Term(1, "download/SERESP.ZLN"), "APROBADA G");
    EscribirArchivo(g.Term(1, "download/PRAXIS.ZLN"), "PRAXIS G");
    EscribirArchivo(g.Term(1, "estado.rsp"), "0");
    for (int i = 0; i < 80 && enSubida().empty(); ++i) TicSinCliente(g);
    ASSERT_EQ(enSubida(), "I");
    MezclaDeDosApartada(g, "H", "I");
}

// The Korvane root retyped in other letter case while a terminal's return waits: the same folder, so
// one turn for it, and one answer.
TEST(Intercambio, ARootRetypedInOtherLetterCaseIsTheSameFolder) {
    Banco b;
    b.Terminal(1).EnviarSolicitud({"R", 336, "ACA", true});
    b.Tick();
    b.esperador.ahora += 1000;
    b.simulador.Paso(b.esperador.ahora);
    ASSERT_TRUE(fs::exists(b.Term(1, "estado.rsp")));
    ASSERT_TRUE(b.planificador->Sondear(b.lista));
    ASSERT_EQ(b.planificador->TurnosEnCurso(), 1u);
    const std::string status = b.Ter(1, "STATUS.ZLN");
    std::string& korvane = b.configuracion.DirectorioKorvane;
    korvane.back() = static_cast<char>(std::tolower(static_cast<unsigned char>(korvane.back())));
    ASSERT_TRUE(b.planificador->Sondear(b.lista));
    EXPECT_EQ(b.planificador->TurnosEnCurso(), 1u);
    b.TerminarTurnos();
    EXPECT_EQ(LeerArchivo(status), "S");
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
    EXPECT_TRUE(b.ui.mensajes.empty()) << b.ui.mensajes.front().texto;
}

// A till that gives up on a request and writes a new one while the old one's answer is being
// returned keeps its new request: the old answer is not copied over it, nor "S" written on it. The
// old answer, which the client may have charged, is kept aside and said; the new request goes on.
TEST(Intercambio, TillThatLeavesARequestKeepsItsNewOne) {
    for (const int despuesDe : {1, 3}) {  // waits of the return before the till writes
        SCOPED_TRACE(despuesDe);
        Banco b;
        b.Terminal(1).EnviarSolicitud({"VIEJA", 336, "ACA", true});
        b.Tick();
        b.esperador.alEsperar = [&](std::int64_t) {
            if (b.esperador.EsperasDe(1000) == static_cast<std::size_t>(despuesDe))
                b.Terminal(1).EnviarSolicitud({"NUEVA", 336, "KOS", true});
        };
        b.Tick();
        b.esperador.alEsperar = nullptr;
        EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
        EXPECT_EQ(LeerArchivo(b.Term(1, "upload/PRAXIS.ZLN")), "PRAXIS NUEVA\r\n");
        EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9013301");
        const sim::PedidoTomado vieja = b.simulador.Pedidos().at(0);
        const auto apartadas = Apartadas(b);
        ASSERT_EQ(apartadas.size(), 1u);
        EXPECT_EQ(apartadas.begin()->second,
                  (std::map<std::string, std::string>{{"SERESP.ZLN", sim::RespuestaSeresp(vieja)},
                                                      {"PRAXIS.ZLN", sim::RespuestaPraxis(vieja)},
                                                      {"TIQUET.PRN", sim::RespuestaTiquet(vieja)},
                                                      {"estado.rsp", "0"}}));
        ASSERT_EQ(b.ui.mensajes.size(), 1u);
        EXPECT_EQ(b.ui.mensajes[0].titulo, "Respuesta no entregada");

        ASSERT_TRUE(b.TickHastaRespuesta(1));
        const sim::PedidoTomado& nueva = b.simulador.Pedidos().at(1);
        EXPECT_EQ(sim::PrimeraLinea(nueva.clicab), "NUEVA");
        EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(nueva));
        EXPECT_EQ(b.Terminal(1).LeerRespuesta().praxis, sim::RespuestaPraxis(nueva));
    }

    // The old answer's files are in place but its "S" fails, and the till leaves the request before
    // the next tick: none of those files may reach the new request's answer (here one without a
    // ticket), and the old answer is kept aside whole.
    Banco b;
    b.Terminal(1).EnviarSolicitud({"VIEJA", 336, "ACA", true});
    b.Tick();
    bool copiado = false;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) == "Colocar" && ruta.ends_with("TIQUET.PRN")) copiado = true;
        if (copiado && ruta.ends_with("STATUS.ZLN")) {
            copiado = false;
            throw plataforma::ErrorSistema(29, "fallo de prueba");
        }
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    b.Comportamiento("* sin-tiquet\n");
    b.Terminal(1).EnviarSolicitud({"NUEVA", 336, "KOS", true});
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    const sim::PedidoTomado vieja = b.simulador.Pedidos().at(0);
    const sim::PedidoTomado& nueva = b.simulador.Pedidos().at(1);
    EXPECT_EQ(sim::PrimeraLinea(nueva.clicab), "NUEVA");
    const sim::Respuesta r = b.Terminal(1).LeerRespuesta();
    EXPECT_EQ(r.seresp, sim::RespuestaSeresp(nueva));
    EXPECT_EQ(r.praxis, sim::RespuestaPraxis(nueva));
    EXPECT_FALSE(r.hayTiquet);
    const auto apartadas = Apartadas(b);
    ASSERT_EQ(apartadas.size(), 1u);
    EXPECT_EQ(apartadas.begin()->second,
              (std::map<std::string, std::string>{{"SERESP.ZLN", sim::RespuestaSeresp(vieja)},
                                                  {"PRAXIS.ZLN", sim::RespuestaPraxis(vieja)},
                                                  {"TIQUET.PRN", sim::RespuestaTiquet(vieja)},
                                                  {"estado.rsp", "0"}}));
    std::vector<std::string> titulos;
    for (const auto& m : b.ui.mensajes) titulos.push_back(m.titulo);
    EXPECT_EQ(titulos, (std::vector<std::string>{"Transacción punto control: 29", "Respuesta no entregada"}));

    // A till that leaves a request as its answer comes (the client's, or our format-error record with
    // the client's PRAXIS.ZLN): its next one, without files, is marked "C" just after our "S", with
    // that answer's files still in its folder. None of them is the next request's, and the next
    // answer, our error record here, goes alone: no ticket of the earlier one beside it.
    for (const char* primera : {"* normal\n", "* sin-seresp\n"}) {
        SCOPED_TRACE(primera);
        Banco d;
        d.Comportamiento(primera);
        d.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
        d.Tick();
        ASSERT_EQ(LeerArchivo(d.Ter(1, "STATUS.ZLN")), "P");
        sim::Solicitud sinArchivos{"B", 336, "ACA", true};
        sinArchivos.sinArchivos = true;
        d.Terminal(1).EscribirArchivos(sinArchivos);
        ASSERT_TRUE(d.TickHastaRespuesta(1));
        ASSERT_TRUE(d.Terminal(1).LeerRespuesta().hayPraxis);
        ASSERT_TRUE(d.Terminal(1).LeerRespuesta().hayTiquet);
        d.Comportamiento("* falla E12\n");
        d.Terminal(1).MarcarPedido();
        ASSERT_TRUE(d.TickHastaRespuesta(1));
        ASSERT_EQ(d.simulador.Pedidos().size(), 2u);
        EXPECT_FALSE(d.simulador.Pedidos()[1].conPraxis);
        const sim::Respuesta sola = d.Terminal(1).LeerRespuesta();
        EXPECT_EQ(sola.seresp, RespuestaErrorComunicacion("E12"));
        EXPECT_FALSE(sola.hayPraxis);
        EXPECT_FALSE(sola.hayTiquet);
    }

    // The hand-off fails after "P", before anything reached upload, and the till leaves the request:
    // it writes its next one, files first, "C" a moment later. Meanwhile none of those files goes to
    // the client as the old request's, nor is removed; after "C" the new request goes once, whole.
    Banco e;
    EntregaCortadaEn(e, "CLICAB.ZLN");
    e.Terminal(1).EscribirArchivos({"NUEVA", 336, "KOS", true});
    e.Tick();
    EXPECT_EQ(sim::PrimeraLinea(LeerArchivo(e.Ter(1, "CLICAB.ZLN"))), "NUEVA");
    EXPECT_EQ(LeerArchivo(e.Ter(1, "PRAXIS.ZLN")), "PRAXIS NUEVA\r\n");
    EXPECT_FALSE(fs::exists(e.Term(1, "upload/CLICAB.ZLN")));
    e.Terminal(1).MarcarPedido();
    ASSERT_TRUE(e.TickHastaRespuesta(1));
    ASSERT_EQ(e.simulador.Pedidos().size(), 1u);
    const sim::PedidoTomado& unaVez = e.simulador.Pedidos()[0];
    EXPECT_EQ(sim::PrimeraLinea(unaVez.clicab), "NUEVA");
    EXPECT_EQ(unaVez.praxis, "PRAXIS NUEVA\r\n");
    EXPECT_EQ(LeerArchivo(e.Ter(1, "SERESP.ZLN")), sim::RespuestaSeresp(unaVez));

    // The same, with the request's CLICAB.ZLN in upload when its PRAXIS.ZLN fails to follow, and a
    // next request without files, which takes the old PRAXIS.ZLN away: the old request never reaches
    // the client without it.
    Banco h;
    EntregaCortadaEn(h, "PRAXIS.ZLN");
    ASSERT_TRUE(fs::exists(h.Term(1, "upload/CLICAB.ZLN")));
    sim::Solicitud vacia{"VACIA", 336, "ACA", true};
    vacia.sinArchivos = true;
    h.Terminal(1).EscribirArchivos(vacia);
    h.Tick();
    EXPECT_FALSE(fs::exists(h.Term(1, "upload/_svl.0")));
    h.Terminal(1).MarcarPedido();
    h.Correr(62000);
    ASSERT_TRUE(h.TickHastaRespuesta(1));
    ASSERT_EQ(h.simulador.Pedidos().size(), 1u);
    EXPECT_TRUE(h.simulador.Pedidos()[0].id.starts_with("#"));

    // A till seen idle at "S" leaves its request in the client's hands by writing "S" again: the
    // looks must see a request left, not the idle till they saw before it. Its answer is awaited for
    // a minute, then the record is done with.
    Banco c;
    c.Comportamiento("* sin-respuesta");
    const std::string ter = archivos::Unir(c.configuracion.DirectorioKorvane, "TER01");
    const auto etapa = [&] { return FichasIntercambio(c.CarpetaEstado()).De(ter, archivos::kEsperar).etapa; };
    EscribirArchivo(c.Ter(1, "STATUS.ZLN"), "S");
    c.Tick();
    c.Tick();
    c.Terminal(1).EnviarSolicitud({"DEJADA", 336, "ACA", true});
    c.Tick();
    ASSERT_EQ(LeerArchivo(c.Ter(1, "STATUS.ZLN")), "P");
    ASSERT_STREQ(NombreEtapa(etapa()), "entregada");
    EscribirArchivo(c.Ter(1, "STATUS.ZLN"), "S");
    c.Correr(61000);
    EXPECT_STREQ(NombreEtapa(etapa()), "ninguna");
}

// The till gives up at the last moment and writes its new PRAXIS.ZLN just before the answer's would
// be put in the same folder: ours never replaces it. The old answer is kept aside, and the new
// request reaches the client with its own PRAXIS.ZLN.
TEST(Intercambio, TheAnswersPraxisNeverReplacesTheTillsNewOne) {
    Banco b;
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Tick();
    bool escrita = false;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (!escrita && std::string_view(operacion) == "Colocar" && ruta.ends_with("TER01\\PRAXIS.ZLN")) {
            escrita = true;
            b.Terminal(1).EnviarSolicitud({"B", 336, "ACA", true});
        }
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    ASSERT_TRUE(escrita);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    ASSERT_EQ(b.simulador.Pedidos().size(), 2u);
    EXPECT_EQ(b.simulador.Pedidos()[1].praxis, "PRAXIS B\r\n");
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos()[1]));
    EXPECT_EQ(Apartadas(b).size(), 1u);
}

// Every stage of a terminal's record against every request letter: what one tick does, and where
// things stand a minute later (the client never answers here).
TEST(Intercambio, EveryStageAgainstEveryLetter) {
    using E = FichaIntercambio::Etapa;
    struct Caso {
        E etapa;
        char letra;
        E tras1;
        char letra1;
        bool entregada;  // the request was handed to the client
        E tras60;
        char letra60;
    };
    const E N = E::Ninguna, D = E::Decidida, Su = E::Subiendo, En = E::Entregando, Ea = E::Entregada, Du = E::EnDuda,
            V = E::Vencida, Rg = E::Respondiendo, R = E::Respondida;
    const Caso casos[] = {
        // Nothing of ours: a "C" is handed off, anything else is left alone.
        {N, 'C', Ea, 'P', true, Ea, 'P'},
        {N, 'P', N, 'P', false, N, 'P'},
        {N, 'S', N, 'S', false, N, 'S'},
        {N, 'X', N, 'X', false, N, 'X'},
        // A decision serves only its own request in "P".
        {D, 'C', Ea, 'P', true, Ea, 'P'},
        {D, 'P', Ea, 'P', true, Ea, 'P'},
        {D, 'S', N, 'S', false, N, 'S'},
        {D, 'X', N, 'X', false, N, 'X'},
        // An upload cut short by a stop: nobody can tell whether the client has it, so it is not
        // sent again; our communication error a minute later. A letter other than "P": the till left
        // it, and its answer is awaited for a minute before a new request goes.
        {Su, 'C', Su, 'C', false, Ea, 'P'},
        {Su, 'P', Du, 'P', false, V, 'S'},
        {Su, 'S', Su, 'S', false, N, 'S'},
        {Su, 'X', Su, 'X', false, N, 'X'},
        // _svl.0 and the request files gone from upload: the client took them.
        {En, 'C', En, 'C', false, Ea, 'P'},
        {En, 'P', Ea, 'P', false, Ea, 'P'},
        {En, 'S', En, 'S', false, N, 'S'},
        {En, 'X', En, 'X', false, N, 'X'},
        {Ea, 'C', Ea, 'C', false, Ea, 'P'},
        {Ea, 'P', Ea, 'P', false, Ea, 'P'},
        {Ea, 'S', Ea, 'S', false, N, 'S'},
        {Ea, 'X', Ea, 'X', false, N, 'X'},
        {Du, 'C', Du, 'C', false, Ea, 'P'},
        {Du, 'P', Du, 'P', false, V, 'S'},
        {Du, 'S', Du, 'S', false, N, 'S'},
        {Du, 'X', Du, 'X', false, N, 'X'},
        // After our own error answer a late answer is watched for, until the next request.
        {V, 'C', Ea, 'P', true, Ea, 'P'},
        {V, 'P', V, 'P', false, V, 'P'},
        {V, 'S', V, 'S', false, V, 'S'},
        {V, 'X', V, 'X', false, V, 'X'},
        // Answer files on their way without "S": "P" tries again, "S" was written just before a stop,
        // and another letter is a till that left the request (its answer awaited as for a doubt).
        {Rg, 'C', Rg, 'C', false, Ea, 'P'},
        {Rg, 'P', Rg, 'P', false, Rg, 'P'},
        {Rg, 'S', N, 'S', false, N, 'S'},
        {Rg, 'X', Rg, 'X', false, N, 'X'},
        // The answer delivered: the cleanup is finished, then the letter decides.
        {R, 'C', Ea, 'P', true, Ea, 'P'},
        {R, 'P', R, 'P', false, R, 'P'},
        {R, 'S', N, 'S', false, N, 'S'},
        {R, 'X', N, 'X', false, N, 'X'},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(std::string(NombreEtapa(c.etapa)) + " " + c.letra);
        Banco b;
        b.Comportamiento("* sin-respuesta");
        const std::string ter = archivos::Unir(b.configuracion.DirectorioKorvane, "TER01");
        FichaIntercambio e;
        transicion::Leida(e, c.etapa);
        e.conClicab = e.conPraxis = true;
        e.proveedor = "V9013101";
        FichasIntercambio(b.CarpetaEstado()).Grabar(ter, e, archivos::kEsperar);
        b.Reiniciar();
        b.Terminal(1).EnviarSolicitud({"R", 336, "ACA", true});
        EscribirArchivo(b.Ter(1, "STATUS.ZLN"), std::string(1, c.letra));
        const auto etapa = [&] { return FichasIntercambio(b.CarpetaEstado()).De(ter, archivos::kEsperar).etapa; };

        b.Tick();
        EXPECT_EQ(NombreEtapa(etapa()), std::string(NombreEtapa(c.tras1)));
        EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), std::string(1, c.letra1));
        EXPECT_EQ(fs::exists(b.Term(1, "upload/_svl.0")), c.entregada);
        b.Correr(61000);
        EXPECT_EQ(NombreEtapa(etapa()), std::string(NombreEtapa(c.tras60)));
        EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), std::string(1, c.letra60));
        // Never twice, and an answer of ours only for a request in doubt.
        EXPECT_EQ(b.simulador.Pedidos().size(), (c.entregada || (c.letra == 'C' && c.tras60 == Ea)) ? 1u : 0u);
        if (c.letra60 == 'S' && c.letra != 'S') {
            EXPECT_EQ(LeerArchivo(b.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
        }
    }
}

// Every change of stage by name, from a record with a kept answer and a result of our own: the stage
// it leaves and every field it changes, and no other. Each stage's name in the record file reads back.
TEST(Intercambio, EachTransitionChangesItsStageAndOnlyItsFields) {
    using E = FichaIntercambio::Etapa;
    using C = ClaseRespuesta;
    FichaIntercambio base;
    transicion::Leida(base, E::Entregada);
    base.duplicado = true;
    base.conClicab = true;
    base.proveedor = "V9013101";
    base.resultado = C::SinRespuesta;
    base.respuestaGuardada = true;
    base.esperaDesde = 5000;
    const auto con = [&](E etapa, auto&& cambiar) {
        FichaIntercambio f = base;
        transicion::Leida(f, etapa);
        cambiar(f);
        return f;
    };
    const auto nada = [](FichaIntercambio&) {};
    const struct Fila {
        const char* que;
        std::function<void(FichaIntercambio&)> transicion;
        FichaIntercambio esperada;
    } filas[] = {
        {"Decidir, a new request", [](auto& f) { transicion::Decidir(f, false, false, true, "V1"); },
         con(E::Decidida,
             [](auto& f) {
                 f.duplicado = f.conClicab = f.respuestaGuardada = false;
                 f.conPraxis = true;
                 f.proveedor = "V1";
                 f.esperaDesde.reset();
             })},
        {"Decidir, a repeat", [](auto& f) { transicion::Decidir(f, true, true, false, ""); },
         con(E::Decidida,
             [](auto& f) {
                 f.proveedor.clear();
                 f.esperaDesde.reset();
             })},
        {"Subir", transicion::Subir, con(E::Subiendo, nada)},
        {"Entregar", transicion::Entregar, con(E::Entregando, nada)},
        {"Entregada", transicion::Entregada, con(E::Entregada, nada)},
        {"Retroceder", [](auto& f) { transicion::Retroceder(f, E::Decidida); }, con(E::Decidida, nada)},
        {"Dudar, a hand-off cut short", [](auto& f) { transicion::Dudar(f, 7000, true); },
         con(E::EnDuda, [](auto& f) { f.esperaDesde = 7000; })},
        {"Dudar, nothing to withdraw", [](auto& f) { transicion::Dudar(f, 7000, false); },
         con(E::EnDuda,
             [](auto& f) {
                 f.esperaDesde = 7000;
                 f.retirada = true;
             })},
        {"Retirada", transicion::Retirada, con(E::Entregada, [](auto& f) { f.retirada = true; })},
        {"DudarTomada", [](auto& f) { transicion::DudarTomada(f, 7000); },
         con(E::EnDuda,
             [](auto& f) {
                 f.esperaDesde = 7000;
                 f.tomadaPorCliente = f.retirada = true;
             })},
        {"EmpezarEspera", [](auto& f) { transicion::EmpezarEspera(f, 7000); },
         con(E::Entregada, [](auto& f) { f.esperaDesde = 7000; })},
        {"Responder", [](auto& f) { transicion::Responder(f, C::ErrorFormato); },
         con(E::Respondiendo,
             [](auto& f) {
                 f.resultado = C::ErrorFormato;
                 f.respuestaGuardada = false;
                 f.esperaDesde.reset();
             })},
        {"Respondida", transicion::Respondida, con(E::Respondida, nada)},
        {"Limpiada after our own answer", transicion::Limpiada, con(E::Vencida, nada)},
        {"Limpiada after the client's", [](auto& f) { f.resultado = C::Cliente, transicion::Limpiada(f); },
         con(E::Ninguna, [](auto& f) { f.resultado = C::Cliente; })},
        {"Soltar", [](auto& f) { transicion::Soltar(f); },
         con(E::Ninguna,
             [](auto& f) {
                 f.respuestaGuardada = false;
                 f.esperaDesde.reset();
             })},
        {"Soltar, the left request's answer kept",
         [](auto& f) { f.respuestaGuardada = false, transicion::Soltar(f, true); },
         con(E::Ninguna, [](auto& f) { f.esperaDesde.reset(); })},
        {"SoltarSinRespuesta", [](auto& f) { transicion::SoltarSinRespuesta(f); },
         con(E::Ninguna,
             [](auto& f) {
                 f.respuestaGuardada = false;
                 f.esperaDesde.reset();
                 f.anteriorPendiente = true;
             })},
        {"SoltarSinRespuesta, perhaps", [](auto& f) { transicion::SoltarSinRespuesta(f, true); },
         con(E::Ninguna,
             [](auto& f) {
                 f.respuestaGuardada = false;
                 f.esperaDesde.reset();
                 f.anteriorPendiente = f.anteriorIncierta = true;
             })},
        {"DudarTomada, perhaps", [](auto& f) { transicion::DudarTomada(f, 7000, true); },
         con(E::EnDuda,
             [](auto& f) {
                 f.esperaDesde = 7000;
                 f.tomadaPorCliente = f.tomadaIncierta = f.retirada = true;
             })},
        {"AnteriorPorApartar", transicion::AnteriorPorApartar,
         con(E::Entregada, [](auto& f) { f.anteriorPendiente = true; })},
        {"AnteriorPorApartar, an unsure one still due",
         [](auto& f) { f.anteriorPendiente = f.anteriorIncierta = true, transicion::AnteriorPorApartar(f); },
         con(E::Entregada, [](auto& f) { f.anteriorPendiente = f.anteriorIncierta = true; })},
        {"AnteriorRespondida",
         [](auto& f) { f.anteriorPendiente = f.anteriorIncierta = true, transicion::AnteriorRespondida(f); },
         con(E::Entregada, nada)},
        {"Decidir keeps what the client may still answer, not what it took",
         [](auto& f) {
             f.anteriorPendiente = f.tomadaPorCliente = f.tomadaIncierta = f.retirada = true;
             transicion::Decidir(f, false, true, false, "V1");
         },
         con(E::Decidida,
             [](auto& f) {
                 f.duplicado = f.conPraxis = f.respuestaGuardada = false;
                 f.proveedor = "V1";
                 f.esperaDesde.reset();
                 f.anteriorPendiente = true;
             })},
        {"Olvidar", transicion::Olvidar, con(E::Ninguna, [](auto& f) { f.esperaDesde.reset(); })},
        {"Leida", [](auto& f) { transicion::Leida(f, E::Vencida); }, con(E::Vencida, nada)},
    };
    for (const Fila& fila : filas) {
        FichaIntercambio f = base;
        fila.transicion(f);
        EXPECT_EQ(TextoFicha(f), TextoFicha(fila.esperada)) << fila.que;
        EXPECT_EQ(FichaDeTexto(TextoFicha(f)), f) << fila.que;  // every field survives the record file
    }
    // Every field at its longest fits a slot; the build before wrote the pending answer so.
    FichaIntercambio larga = base;
    transicion::Leida(larga, E::Respondiendo);
    larga.proveedor = "V9013101";
    larga.esperaDesde = INT64_MIN;
    larga.anteriorPendiente = larga.anteriorIncierta = larga.tomadaPorCliente = larga.tomadaIncierta = true;
    larga.retirada = true;
    EXPECT_NO_THROW(RanuraFicha(std::uint64_t{1} << 62, larga));
    EXPECT_TRUE(FichaDeTexto("etapa=ninguna\nanteriorPendiente=1\n").anteriorPendiente);
    for (const E etapa : {E::Ninguna, E::Decidida, E::Subiendo, E::Entregando, E::Entregada, E::EnDuda, E::Vencida,
                          E::Respondiendo, E::Respondida})
        EXPECT_EQ(EtapaDeNombre(NombreEtapa(etapa)), etapa) << NombreEtapa(etapa);
    EXPECT_FALSE(EtapaDeNombre("otra"));
}

// A client took the request's CLICAB.ZLN before its PRAXIS.ZLN could follow: a doubt, not sent again.
// When recording the doubt fails once, the next attempt, which knows nothing of the files the doubt
// removed from upload itself, is still a doubt; a minute later the till gets our error answer, even
// when its "S" fails once.
TEST(Intercambio, ADoubtThatCannotBeRecordedStaysADoubt) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    EntregaCortadaEn(b, "PRAXIS.ZLN", "R");
    ASSERT_TRUE(fs::exists(b.Term(1, "upload/CLICAB.ZLN")));
    fs::remove(b.Term(1, "upload/CLICAB.ZLN"));  // taken by a client that does not wait for _svl.0
    auto llamadas = FallarUnaVez("EscribirEn", ".txt");
    b.Tick();
    archivos::InstalarInterceptor({});
    EXPECT_GE(*llamadas, 1);
    EXPECT_TRUE(fs::is_empty(b.Term(1, "upload")));
    // Its "S" cannot be written the first time: it is written at the next tick all the same.
    bool fallado = false;
    archivos::InstalarInterceptor([&](const char* op, const std::string& r) {
        if (!fallado && std::string_view(op) == "Abrir" && r.ends_with("STATUS.ZLN") &&
            fs::exists(b.Ter(1, "SERESP.ZLN"))) {
            fallado = true;
            throw plataforma::ErrorSistema(29, "fallo");
        }
    });
    b.Correr(62000);
    archivos::InstalarInterceptor({});
    EXPECT_TRUE(fallado);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_EQ(LeerArchivo(b.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
    EXPECT_FALSE(fs::exists(b.Ter(1, "PRAXIS.ZLN")));
    EXPECT_TRUE(b.simulador.Pedidos().empty());

    // A stop between recording the hand-off of _svl.0 and writing it leaves the files in upload
    // without it: a doubt, as a client may have taken _svl.0 alone. When recording it fails once, the
    // files it withdrew from upload must not look taken by the client at the next attempt.
    Banco c;
    c.Comportamiento("* sin-respuesta");
    const std::string ter = archivos::Unir(c.configuracion.DirectorioKorvane, "TER01");
    FichaIntercambio e;
    transicion::Leida(e, FichaIntercambio::Etapa::Entregando);
    e.conClicab = e.conPraxis = true;
    e.proveedor = "V9013101";
    FichasIntercambio(c.CarpetaEstado()).Grabar(ter, e, archivos::kEsperar);
    c.Reiniciar();
    fs::create_directories(c.Term(1, "upload"));
    EscribirArchivo(c.Term(1, "upload/CLICAB.ZLN"), "R\r\n");
    EscribirArchivo(c.Term(1, "upload/PRAXIS.ZLN"), "PRAXIS R\r\n");
    EscribirArchivo(c.Ter(1, "STATUS.ZLN"), "P");
    llamadas = FallarUnaVez("EscribirEn", ".txt");
    c.Tick();
    archivos::InstalarInterceptor({});
    EXPECT_GE(*llamadas, 1);
    c.Tick();
    EXPECT_TRUE(fs::is_empty(c.Term(1, "upload")));
    EXPECT_STREQ(NombreEtapa(FichasIntercambio(c.CarpetaEstado()).De(ter, archivos::kEsperar).etapa), "enduda");
    // The doubt's minute counts across stops: a program stopped every 20 s still answers it.
    for (int parada = 0; parada < 2; ++parada) {
        c.Correr(20000);
        EXPECT_EQ(LeerArchivo(c.Ter(1, "STATUS.ZLN")), "P") << parada;
        c.Reiniciar();
    }
    c.Correr(22000);
    EXPECT_EQ(LeerArchivo(c.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_EQ(LeerArchivo(c.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));

    // A doubt recorded before the machine last started (its clock now behind the wait's start):
    // the minute begins again, never ends at once.
    Banco d;
    d.Comportamiento("* sin-respuesta");
    transicion::Dudar(e, d.esperador.ahora + 3600000, true);
    FichasIntercambio(d.CarpetaEstado())
        .Grabar(archivos::Unir(d.configuracion.DirectorioKorvane, "TER01"), e, archivos::kEsperar);
    d.Reiniciar();
    EscribirArchivo(d.Ter(1, "STATUS.ZLN"), "P");
    d.Correr(50000);
    EXPECT_EQ(LeerArchivo(d.Ter(1, "STATUS.ZLN")), "P");
    d.Correr(12000);
    EXPECT_EQ(LeerArchivo(d.Ter(1, "STATUS.ZLN")), "S");
}

// A terminal's record file: each write goes into the slot not in force, numbered one past it. A write
// cut short leaves the record before it; the file of an older version is read, and kept until its
// slot is written over.
TEST(Intercambio, ARecordCutShortLeavesTheOneBefore) {
    prueba::CarpetaTemporal carpeta;
    const std::string ter = archivos::Unir(carpeta.Ruta(), "TER01");
    const std::string registros = carpeta / "estado";
    using E = FichaIntercambio::Etapa;
    const auto grabar = [&](FichasIntercambio& r, E etapa) {
        FichaIntercambio e;
        transicion::Leida(e, etapa);
        e.conClicab = true;
        e.proveedor = "V9013101";
        r.Grabar(ter, e, archivos::kEsperar);
    };
    const auto leido = [&] { return FichasIntercambio(registros).De(ter, archivos::kEsperar); };
    FichasIntercambio primero(registros);
    grabar(primero, E::Entregada);
    ASSERT_EQ(std::distance(fs::directory_iterator(registros), fs::directory_iterator{}), 1);
    const fs::path archivo = fs::directory_iterator(registros)->path();
    const std::string texto =
        "etapa=entregada\nduplicado=0\nconClicab=1\nconPraxis=0\nproveedor=V9013101\n"
        "resultado=cliente\nrespuestaGuardada=0\n";
    const std::string ranura1 = LeerArchivo(archivo.string()).substr(256);
    EXPECT_EQ(LeerArchivo(archivo.string()).substr(0, 256), std::string(256, '\0'));
    EXPECT_EQ(ranura1.substr(0, 23), "tramiza-registro 1 109 ");
    EXPECT_EQ(ranura1.substr(32, texto.size()), texto);
    EXPECT_EQ(ranura1.substr(32 + texto.size()), std::string(256 - 32 - texto.size(), '\0'));

    // A record of an older version, its text alone.
    EscribirArchivo(archivo.string(), "etapa=enduda\nconPraxis=1\nproveedor=V9010000\n");
    EXPECT_EQ(leido().etapa, E::EnDuda);
    EXPECT_EQ(leido().proveedor, "V9010000");
    FichasIntercambio segundo(registros);
    grabar(segundo, E::Respondiendo);
    EXPECT_EQ(LeerArchivo(archivo.string()).substr(0, 14), "etapa=enduda\nc");
    EXPECT_EQ(leido().etapa, E::Respondiendo);
    grabar(segundo, E::Respondida);
    EXPECT_EQ(LeerArchivo(archivo.string()).substr(0, 19), "tramiza-registro 2 ");
    EXPECT_EQ(LeerArchivo(archivo.string()).substr(256, 19), "tramiza-registro 1 ");
    EXPECT_EQ(leido().etapa, E::Respondida);

    // Slot 0 cut short: one byte of its text never written. Slot 1 holds, and the next write goes
    // into slot 0 again.
    std::string contenido = LeerArchivo(archivo.string());
    contenido[40] ^= 1;
    EscribirArchivo(archivo.string(), contenido);
    EXPECT_EQ(leido().etapa, E::Respondiendo);
    FichasIntercambio tercero(registros);
    grabar(tercero, E::Ninguna);
    EXPECT_EQ(LeerArchivo(archivo.string()).substr(0, 19), "tramiza-registro 2 ");
    EXPECT_EQ(leido().etapa, E::Ninguna);
    EXPECT_EQ(leido().conClicab, true);
    grabar(tercero, E::Decidida);
    EXPECT_EQ(LeerArchivo(archivo.string()).substr(256, 19), "tramiza-registro 3 ");
    EXPECT_EQ(leido().etapa, E::Decidida);

    // Neither slot whole, nor an older record: no record.
    EscribirArchivo(archivo.string(), "tramiza-registro 9 3 00000000\nabc");
    EXPECT_EQ(leido(), FichaIntercambio{});
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
    Banco b(2);
    b.Comportamiento("* sin-respuesta");
    b.configuracion.ActivarTX = 0;
    b.Terminal(1).EnviarSolicitud({"X", 336, "ACA", true});
    b.Tick();
    EXPECT_FALSE(fs::exists(b.Z("tx/term01")));

    b.configuracion.ActivarTX = 1;
    b.Terminal(2).EnviarSolicitud({"X", 336, "ACA", true});
    b.Tick();
    EXPECT_TRUE(fs::exists(b.Z("tx/term02")));
    EXPECT_EQ(fs::file_size(b.Z("tx/term02")), 0u);
}

// A TX marker that could not be written comes at the next attempt: the record says the request is
// in the client's hands only once its marker is there.
TEST(Intercambio, ATxMarkerThatFailedIsWrittenAtTheNextAttempt) {
    Banco b;
    b.Comportamiento("* sin-respuesta");
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    archivos::InstalarInterceptor([](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) == "EscribirAlInicio" && ruta.find("term01") != std::string::npos &&
            ruta.find("upload") == std::string::npos && ruta.find("tx") != std::string::npos)
            throw plataforma::ErrorSistema(5, "acceso denegado");
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Transacción punto control: 15");
    EXPECT_FALSE(fs::exists(b.Z("tx/term01")));
    b.Tick();
    EXPECT_TRUE(fs::exists(b.Z("tx/term01")));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
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
    EXPECT_EQ(r.praxis, sim::RespuestaPraxis(b.simulador.Pedidos().at(0)));
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
    EXPECT_TRUE(Contenido(b.Term(1, "upload")).empty());
    EXPECT_FALSE(fs::exists(b.Z("tx/term01")));
    EXPECT_TRUE(b.esperador.esperas.empty());
    // Answered in the tick that saw its "C".
    EXPECT_EQ(b.planificador->Filas(b.lista).at(0),
              (FilaTerminal{"TER01", "S", "en reposo", "14:05:33", "duplicado: respuesta anterior", "0,0 s", "", "",
                            ""}));
    EXPECT_EQ(LeerArchivo((fs::path(b.configuracion.DirectorioKorvane) / "LogTramiza20261206.txt").string()),
              "\"Determino que el archivo de la hora 2026/06/12 14:05:33 era duplicado\"\r\n\"MISMO\"\r\n");

    // The till writes a new request just before the repeat's "S": no "S" goes onto it, and the kept
    // answer does not stay with it; the new request is handed off at the next tick.
    for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(1, f));
    Enviar("MISMO", 0, 55);
    bool escrita = false;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (!escrita && std::string_view(operacion) == "Abrir" && ruta.ends_with("STATUS.ZLN") &&
            fs::exists(b.Ter(1, "SERESP.ZLN"))) {
            escrita = true;
            b.Terminal(1).EnviarSolicitud({"NUEVA", 336, "KOS", true});
        }
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    ASSERT_TRUE(escrita);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "C");
    EXPECT_FALSE(fs::exists(b.Ter(1, "SERESP.ZLN")));
    EXPECT_EQ(LeerArchivo(b.Ter(1, "PRAXIS.ZLN")), "PRAXIS NUEVA\r\n");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/PRAXIS.ZLN")), "PRAXIS NUEVA\r\n");
}

// The activity log of a day with a success, a client failure, a format error, a duplicate and a
// failure message: one exact line each, stamped by the log's own clock. A log folder that cannot be
// written then changes nothing in the exchanges.
TEST_F(Duplicados, ActivityLogHasOneLinePerEventAndNeverDisturbsAnExchange) {
    prueba::CarpetaTemporal registro;
    actividad::Iniciar(registro.Ruta(), [] { return reloj::FechaHoraMs{{2026, 12, 7, 9, 30, 5}, 42}; });
    b.lista = std::make_shared<std::vector<clsItemTerXX>>(std::vector<clsItemTerXX>{{"TER01", "01", 1}});
    b.Comportamiento("* normal\n");
    Enviar("MISMO", 0, 10);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    Enviar("MISMO", 0, 50);
    b.Tick();
    for (const char* regla : {"* falla E12\n", "* sin-seresp\n"}) {
        b.Comportamiento(regla);
        b.Terminal(1).EnviarSolicitud({regla, 336, "ACA", true});
        ASSERT_TRUE(b.TickHastaRespuesta(1));
    }
    b.Comportamiento("* normal\n");
    b.Terminal(1).EnviarSolicitud({"SIN-SUBIDA", 336, "ACA", true});
    fs::remove_all(b.Term(1, "upload"));
    b.Tick();
    actividad::Terminar();

    const std::string s = "2026-12-07 09:30:05.042 ";
    const std::string k = b.Ter(1, "CLICAB.ZLN");
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    const std::string& caja = b.ui.mensajes[0].texto;
    const std::string motivo = caja.substr(caja.find("\r\n") + 2, caja.rfind("\r\n") - caja.find("\r\n") - 2);
    EXPECT_EQ(
        LeerArchivo(registro / "2026-12-07.log"),
        s + "TER01: solicitud entregada, 336 bytes, proveedor V9013101\r\n" + s +
            "TER01: respuesta devuelta, estado.rsp \"0\", archivos SERESP.ZLN PRAXIS.ZLN TIQUET.PRN, 5000 ms\r\n" + s +
            "TER01: duplicado respondido con la respuesta anterior\r\n" + s +
            "TER01: solicitud entregada, 336 bytes, proveedor V9013101\r\n" + s +
            "TER01: respuesta de error de comunicación escrita en SERESP.ZLN\r\n" + s +
            "TER01: respuesta devuelta, estado.rsp \"E12\", archivos SERESP.ZLN, 2000 ms\r\n" + s +
            "TER01: solicitud entregada, 336 bytes, proveedor V9013101\r\n" + s +
            "TER01: respuesta de error de formato escrita en SERESP.ZLN\r\n" + s +
            "TER01: respuesta devuelta, estado.rsp \"0\", archivos SERESP.ZLN PRAXIS.ZLN TIQUET.PRN, 5000 ms\r\n" + s +
            "TER01: carpeta inaccesible " + b.configuracion.DirectorioZELNO + "\\term01\\upload: " + motivo + "\r\n");

    // The log's folder is a file: nothing can be written, and the exchange goes on exactly.
    const std::string bloqueada = registro / "archivo";
    EscribirArchivo(bloqueada, "x");
    actividad::Iniciar(bloqueada + "/Registro");
    fs::create_directory(b.Term(1, "upload"));
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    actividad::Terminar();
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().back()));
    EXPECT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(LeerArchivo(bloqueada), "x");
}

// A failure that comes back at every tick for half an hour: a line when it starts, one every ten
// minutes with the count, one when it ends; the box comes back at every tick as before.
TEST(Intercambio, AFaultThatLastsIsLoggedWhenItStartsNowAndThenAndWhenItEnds) {
    Banco b;
    prueba::CarpetaTemporal registro;
    actividad::Iniciar(registro.Ruta(), [] { return reloj::FechaHoraMs{{2026, 12, 7, 9, 30, 5}, 42}; });
    fs::create_directory(b.Term(1, "upload/CLICAB.ZLN"));
    b.Terminal(1).EnviarSolicitud({"R1", 336, "ACA", true});
    b.Correr(30 * 60 * 1000);
    const std::size_t cajas = b.ui.mensajes.size();
    fs::remove(b.Term(1, "upload/CLICAB.ZLN"));
    EXPECT_TRUE(b.TickHastaRespuesta(1));
    actividad::Terminar();

    EXPECT_GE(cajas, 1790u);
    std::vector<std::string> lineas;
    std::istringstream log(LeerArchivo(registro / "2026-12-07.log"));
    for (std::string l; std::getline(log, l);)
        if (l.find("punto control 5") != std::string::npos) lineas.push_back(l.substr(24, l.size() - 25));
    ASSERT_EQ(lineas.size(), 4u) << LeerArchivo(registro / "2026-12-07.log");
    // The line names the terminal, the checkpoint, the file and the system's number and text.
    const std::string fallo = lineas[0].substr(7);
    EXPECT_TRUE(fallo.starts_with("fallo en punto control 5: ")) << fallo;
    EXPECT_TRUE(fallo.ends_with("upload\\CLICAB.ZLN: " + b.ui.mensajes.at(0).texto)) << fallo;
    EXPECT_EQ(lineas[1], "TER01: sigue desde hace 10 min 0 s (600 veces más en 10 min 0 s): " + fallo);
    EXPECT_EQ(lineas[2], "TER01: sigue desde hace 20 min 0 s (600 veces más en 10 min 0 s): " + fallo);
    EXPECT_TRUE(lineas[3].starts_with("TER01: terminó tras 30 min ")) << lineas[3];
    EXPECT_TRUE(lineas[3].ends_with(" veces): " + fallo)) << lineas[3];
}

TEST_F(Duplicados, RepeatAcrossAMinuteBoundaryGoesToTheClient) {
    Enviar("MISMO", 0, 50);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    Enviar("MISMO", 1, 10);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.simulador.Pedidos().size(), 2u);
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
        EXPECT_EQ(b.simulador.Pedidos().size(), c.desdeLoGuardado ? 1u : 2u);
        EXPECT_EQ(r.seresp, sim::RespuestaSeresp(b.simulador.Pedidos().back()));
        EXPECT_EQ(r.praxis, sim::RespuestaPraxis(b.simulador.Pedidos().back()));
        EXPECT_TRUE(b.ui.mensajes.empty());
    }
}

// A decision belongs to its request: a repeat decided while "P" could not be written, then replaced by
// the till with a different sale, must not answer that sale from the kept answer (a false approval),
// nor send it with the old request's provider code.
TEST_F(Duplicados, ADecisionDoesNotOutliveItsRequest) {
    Enviar("MISMO", 0, 10);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    Enviar("MISMO", 0, 50);
    archivos::InstalarInterceptor([](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) == "Abrir" && ruta.ends_with("STATUS.ZLN"))
            throw plataforma::ErrorSistema(5, "sin acceso");
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Transacción punto control: 2");
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "C");

    b.Terminal(1).EnviarSolicitud({"OTRA", 336, "KOS", true});
    prueba::FijarFechaModificacion(b.Ter(1, "CLICAB.ZLN"), 2026, 3, 10, 10, 0, 55);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    ASSERT_EQ(b.simulador.Pedidos().size(), 2u);
    const sim::PedidoTomado& otra = b.simulador.Pedidos()[1];
    EXPECT_EQ(sim::PrimeraLinea(otra.clicab), "OTRA");
    EXPECT_EQ(otra.proveedor, "V9013301");
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(otra));
}

// Another program's brief hold on a file (a virus scan) is waited out the same way in every step, and
// the retry second counts for each hold on its own: a repeat stays a repeat, and holds that come and
// go all through the exchanges never give a box. One hold that lasts shows the step's own message.
TEST_F(Duplicados, ShortLocksAreWaitedOutInEveryStep) {
#ifdef _WIN32
    constexpr long kBloqueo = 32;
#else
    constexpr long kBloqueo = 16;  // EBUSY
#endif
    Enviar("MISMO", 0, 10);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    // The copy of the previous request, held twice when the repeat is compared.
    Enviar("MISMO", 0, 50);
    int retenidas = 2;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) == "LeerTramo" && ruta.ends_with("CLICABAnterior.ZLN") && retenidas-- > 0)
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    EXPECT_LT(retenidas, 0);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
    EXPECT_TRUE(b.ui.mensajes.empty());

    // The same hold for good: the comparison's own message, and the request stays "C" until it ends.
    Enviar("MISMO", 0, 55);
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) == "LeerTramo" && ruta.ends_with("CLICABAnterior.ZLN"))
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].texto, "Se produjo un error al comparar archivos Korvane");
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Error");
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "C");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);

    // STATUS.ZLN held for 0.44 s of every 1.1 s through five whole exchanges.
    b.ui.mensajes.clear();
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) != "Existe" && ruta.ends_with("STATUS.ZLN") && b.esperador.ahora % 1100 < 440)
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
    });
    for (int i = 0; i < 5; ++i) {
        b.Terminal(1).EnviarSolicitud({"CADA-" + std::to_string(i), 336, "ACA", true});
        for (int tick = 0; tick < 20 && !b.Terminal(1).RespuestaLista(); ++tick) b.Correr(1000);
        ASSERT_TRUE(b.Terminal(1).RespuestaLista()) << i;
        EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().back())) << i;
    }
    archivos::InstalarInterceptor({});
    EXPECT_EQ(b.simulador.Pedidos().size(), 6u);
    EXPECT_TRUE(b.ui.mensajes.empty()) << b.ui.mensajes.front().titulo;
}

// The till writes the same request again (same bytes, same minute) while the client still holds the
// first: the same sale, never sent a second time; the first's answer is the repeat's. A repeat whose
// kept answer has gone gets our communication-error answer, never a "P" for good. A kept copy held by
// another program for good never holds an approved answer from its till: one box, the answer with
// "S", and nothing kept, so that a repeat goes to the client.
TEST_F(Duplicados, TheSameSaleIsNeverChargedTwiceNorLeftWaiting) {
    b.Comportamiento("* normal 5000");
    Enviar("MISMO", 0, 10);
    b.Tick();
    b.Tick();
    ASSERT_EQ(b.simulador.Pedidos().size(), 1u);
    Enviar("MISMO", 0, 20);
    for (int i = 0; i < 20 && !b.Terminal(1).RespuestaLista(); ++i) b.Tick();
    ASSERT_TRUE(b.Terminal(1).RespuestaLista());
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().at(0)));
    EXPECT_TRUE(b.ui.mensajes.empty()) << b.ui.mensajes.front().texto;
    EXPECT_TRUE(Apartadas(b).empty());

    // The kept answer goes between the repeat test and its copy back.
    b.Comportamiento("* normal");
    Enviar("MISMO", 0, 40);
    bool quitada = false;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (!quitada && std::string_view(operacion) == "Abrir" && ruta.ends_with("STATUS.ZLN")) {
            quitada = true;
            fs::remove(b.Term(1, "download/SERESPAnterior.ZLN"));
        }
    });
    b.Tick();
    archivos::InstalarInterceptor({});
    ASSERT_TRUE(quitada);
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    EXPECT_EQ(LeerArchivo(b.Ter(1, "SERESP.ZLN")), RespuestaErrorComunicacion(""));
    EXPECT_FALSE(fs::exists(b.Ter(1, "CLICAB.ZLN")));
    EXPECT_FALSE(fs::exists(b.Ter(1, "PRAXIS.ZLN")));
    EXPECT_EQ(b.simulador.Pedidos().size(), 1u);
    EXPECT_TRUE(b.ui.mensajes.empty());
    // With nothing kept, the till's retry is a new sale.
    Enviar("MISMO", 0, 45);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.simulador.Pedidos().size(), 2u);

    // SERESPAnterior.ZLN held for good when the client's answer comes.
#ifdef _WIN32
    constexpr long kBloqueo = 32;
#else
    constexpr long kBloqueo = 16;  // EBUSY
#endif
    Enviar("OTRA", 1, 10);
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) != "Existe" && ruta.ends_with("SERESPAnterior.ZLN"))
            throw plataforma::ErrorSistema(kBloqueo, "bloqueo de prueba");
    });
    const bool respondida = b.TickHastaRespuesta(1);
    archivos::InstalarInterceptor({});
    ASSERT_TRUE(respondida);
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().at(2)));
    // Its PRAXIS.ZLN is known for ours at the next hand-off all the same.
    EXPECT_EQ(LeerArchivo(b.Term(1, "download/PRAXISAnterior.ZLN")), b.Terminal(1).LeerRespuesta().praxis);
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].texto, "Se produjo un error al hacer copia de archivos Zelno");
    Enviar("OTRA", 1, 20);
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.simulador.Pedidos().size(), 4u);

    // A request without PRAXIS.ZLN, repeated while the client holds it, the repeat's files written a
    // few seconds before its "C": the same sale all the same, never sent again.
    for (const char* f : {"SERESP.ZLN", "PRAXIS.ZLN", "TIQUET.PRN"}) fs::remove(b.Ter(1, f));
    b.Comportamiento("* normal 5000");
    const sim::Solicitud sinPraxis{"SINPRAXIS", 336, "ACA", false};
    b.Terminal(1).EnviarSolicitud(sinPraxis);
    prueba::FijarFechaModificacion(b.Ter(1, "CLICAB.ZLN"), 2026, 3, 10, 10, 2, 10);
    b.Tick();
    b.Tick();
    ASSERT_EQ(b.simulador.Pedidos().size(), 5u);
    b.Terminal(1).EscribirArchivos(sinPraxis);
    prueba::FijarFechaModificacion(b.Ter(1, "CLICAB.ZLN"), 2026, 3, 10, 10, 2, 25);
    for (int i = 0; i < 8; ++i) b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    b.Terminal(1).MarcarPedido();
    ASSERT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.simulador.Pedidos().size(), 5u);
    EXPECT_EQ(b.Terminal(1).LeerRespuesta().seresp, sim::RespuestaSeresp(b.simulador.Pedidos().back()));
    EXPECT_EQ(b.ui.mensajes.size(), 1u);
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
    void Mostrar(const std::string& texto, const std::string& titulo, Icono icono) override {
        GrabadorInterfaz::Mostrar(texto, titulo, icono);
        if (ciclo && lista) anidados.push_back(ciclo->Sondear(*lista));
    }
    Planificador* ciclo = nullptr;
    const ListaTerminales* lista = nullptr;
    std::vector<bool> anidados;
};

TEST_F(ClienteNoDisponible, TickDuringAMessageBoxIsSkipped) {
    InterfazReentrante ui;
    prueba::ClienteSimulado cliente;
    cliente.enEjecucion = false;
    cliente.resultadoInicio = 0;
    Planificador ciclo(
        b.configuracion, ui, b.esperador, cliente, [] { return archivos::FechaHora{}; }, b.CarpetaEstado());
    ui.ciclo = &ciclo;
    ui.lista = &b.lista;
    EXPECT_TRUE(ciclo.Sondear(b.lista));
    EXPECT_EQ(ui.anidados, (std::vector<bool>{false, false}));
    EXPECT_EQ(ui.mensajes.size(), 2u);
    // The next free tick polls as usual.
    ui.ciclo = nullptr;
    EXPECT_TRUE(ciclo.Sondear(b.lista));
    EXPECT_EQ(ui.mensajes.size(), 4u);
}

TEST(Intercambio, FailureShowsTheCheckpointAndEndsOnlyThatTerminalsTurn) {
    Banco b(3);
    b.Comportamiento("* sin-respuesta");
    b.lista = std::make_shared<std::vector<clsItemTerXX>>(
        std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}, {"TER03", "03", 3}});
    for (int n = 1; n <= 3; ++n)
        b.Terminal(n).EnviarSolicitud({std::string("R") + std::to_string(n), 336, "ACA", true});
    // A folder in terminal 2's upload folder under the request's name: copying the request fails.
    fs::create_directory(b.Term(2, "upload/CLICAB.ZLN"));
    b.Tick();
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Transacción punto control: 5");
    EXPECT_EQ(b.ui.mensajes[0].icono, Icono::Critico);
    const std::string& texto = b.ui.mensajes[0].texto;
    EXPECT_NE(texto.find(": "), std::string::npos);
    EXPECT_GT(std::stol(texto.substr(0, texto.find(": "))), 0);
    // The terminals on either side are served in the same tick.
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(LeerArchivo(b.Term(3, "upload/_svl.0")), "V9013101");
    // "P" stays and the request file is still there (its copy failed): the next tick finishes the
    // hand-off once the folder is back, and the client gets the request once.
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "P");
    EXPECT_TRUE(fs::exists(b.Ter(2, "CLICAB.ZLN")));

    b.ui.mensajes.clear();
    fs::remove(b.Term(2, "upload/CLICAB.ZLN"));
    b.Tick();
    EXPECT_TRUE(b.ui.mensajes.empty());
    EXPECT_FALSE(fs::exists(b.Ter(2, "CLICAB.ZLN")));
    EXPECT_EQ(LeerArchivo(b.Term(2, "upload/_svl.0")), "V9013101");
}

// A folder that cannot be reached is one outage: one message naming it, whatever the ticks meanwhile;
// its terminal waits without a call, the others are served, and it is served again once it is back.
TEST(Intercambio, AFolderOutOfReachIsOneMessageAndServedAgainOnceBack) {
    Banco b(2);
    b.lista =
        std::make_shared<std::vector<clsItemTerXX>>(std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}});
    fs::remove_all(b.Term(1, "upload"));
    b.Terminal(1).EnviarSolicitud({"R1", 336, "ACA", true});
    for (int i = 0; i < 5; ++i) b.Tick();
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Carpeta inaccesible");
    const std::string subida = b.configuracion.DirectorioZELNO + "\\term01\\upload";
    EXPECT_EQ(b.ui.mensajes[0].texto.substr(0, 33 + subida.size() + 2),
              "No se puede acceder a la carpeta " + subida + "\r\n");
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    b.Terminal(2).EnviarSolicitud({"R2", 336, "ACA", true});
    EXPECT_TRUE(b.TickHastaRespuesta(2));

    // The whole Korvane root away: one more message, for it; back, and the request goes.
    const std::string korvane = b.configuracion.DirectorioKorvane;
    fs::rename(korvane, korvane + ".fuera");
    for (int i = 0; i < 3; ++i) b.Tick();
    ASSERT_EQ(b.ui.mensajes.size(), 2u);
    EXPECT_EQ(b.ui.mensajes[1].texto.substr(0, 33 + korvane.size() + 2),
              "No se puede acceder a la carpeta " + korvane + "\r\n");
    fs::rename(korvane + ".fuera", korvane);
    fs::create_directory(b.Term(1, "upload"));
    EXPECT_TRUE(b.TickHastaRespuesta(1));
    EXPECT_EQ(b.planificador->Recargas(), 1u);
    EXPECT_EQ(b.ui.mensajes.size(), 2u);
    EXPECT_EQ(b.simulador.Pedidos().size(), 2u);
}

// The rows of the "Terminales" window through three exchanges side by side: the client's answer, the
// client's error and a hand-off that fails until its folder comes back.
TEST(Intercambio, TerminalsBoardFollowsEachExchange) {
    Banco b(3);
    b.Comportamiento("term02 falla E12\\r\\n\n* normal\n");
    b.lista = std::make_shared<std::vector<clsItemTerXX>>(
        std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}, {"TER03", "03", 3}});
    const auto fila = [&](int n) { return b.planificador->Filas(b.lista).at(static_cast<std::size_t>(n - 1)); };
    ASSERT_EQ(b.planificador->Filas(b.lista).size(), 3u);
    EXPECT_EQ(fila(1), (FilaTerminal{"TER01", "sin leer", "sin sondear", "", "", "", "", "", ""}));
    b.Tick();
    EXPECT_EQ(fila(1), (FilaTerminal{"TER01", "sin STATUS.ZLN", "en reposo", "", "", "", "", "", ""}));

    for (int n = 1; n <= 3; ++n)
        b.Terminal(n).EnviarSolicitud({std::string("R") + std::to_string(n), 336, "ACA", true});
    // A folder under the request's name in terminal 3's upload folder: its copy fails.
    fs::create_directory(b.Term(3, "upload/CLICAB.ZLN"));
    b.Tick();  // "C" seen at 2000 ms
    EXPECT_EQ(fila(1), (FilaTerminal{"TER01", "P", "esperando al cliente", "", "", "", "", "", ""}));
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    const std::string textoFallo = b.ui.mensajes[0].texto;
    EXPECT_EQ(fila(3), (FilaTerminal{"TER03", "P", "entregando la solicitud", "", "", "", "punto control 5, 14:05:33",
                                     textoFallo, ""}));

    // The returns wait for the client's files; terminal 3 fails again.
    b.hora = {2026, 12, 6, 14, 5, 34};
    b.esperador.ahora += 1000;
    b.simulador.Paso(b.esperador.ahora);
    b.planificador->Sondear(b.lista);
    EXPECT_EQ(fila(1).situacion, "devolviendo la respuesta, punto control 17");
    EXPECT_EQ(fila(2).situacion, "devolviendo la respuesta, punto control 17");
    EXPECT_EQ(fila(3).fallo, "punto control 5, desde 14:05:33 (2 veces)");
    b.hora = {2026, 12, 6, 14, 5, 40};
    b.TerminarTurnos();
    // "C" at 2000 ms, "S" after the waits of 1 + 2 + 1 s from 3000 ms; the client's error after 1 s.
    EXPECT_EQ(fila(1),
              (FilaTerminal{"TER01", "S", "en reposo", "14:05:40", "respuesta del cliente", "5,0 s", "", "", ""}));
    EXPECT_EQ(fila(2),
              (FilaTerminal{"TER02", "S", "en reposo", "14:05:40", "error del cliente E12", "2,0 s", "", "", ""}));

    // The way is clear: the hand-off goes through and the failure is over; the answer's time counts
    // from the first "C".
    fs::remove(b.Term(3, "upload/CLICAB.ZLN"));
    b.hora = {2026, 12, 6, 14, 5, 50};
    b.Tick();
    EXPECT_EQ(fila(3), (FilaTerminal{"TER03", "P", "esperando al cliente", "", "", "",
                                     "punto control 5, desde 14:05:33 (2 veces); resuelto 14:05:50", textoFallo, ""}));
    ASSERT_TRUE(b.TickHastaRespuesta(3));
    EXPECT_EQ(fila(3).duracion, "11,0 s");
    // The next day, times carry their date.
    b.hora = {2026, 12, 7, 9, 0, 0};
    EXPECT_EQ(fila(1).hora, "06/12/2026 14:05:40");
    EXPECT_EQ(fila(3).fallo, "punto control 5, desde 06/12/2026 14:05:33 (2 veces); resuelto 06/12/2026 14:05:50");
}

// A change seen by a watch: the request is handed off the moment its "C" appears, and the client's
// estado.rsp starts the return at once, with its waits as they are. Without a notice, the next tick
// does it; changes to other files change nothing.
TEST(Intercambio, AChangeIsServedAtOnceAndTheTickWithoutOne) {
    Banco b(2);
    b.lista =
        std::make_shared<std::vector<clsItemTerXX>>(std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}});
    b.Tick();
    const std::int64_t t0 = b.esperador.ahora;
    b.Terminal(1).EnviarSolicitud({"R1", 336, "ACA", true});
    b.planificador->Cambio(b.Ter(1, "CLICAB.ZLN"));
    b.planificador->Cambio(b.Z("_zelno.emp"));
    EXPECT_FALSE(b.planificador->ProximoPaso());
    b.planificador->Cambio(b.Ter(1, "STATUS.ZLN"));
    EXPECT_EQ(b.planificador->ProximoPaso(), t0);
    b.planificador->EjecutarPasosVencidos();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(LeerArchivo(b.Term(1, "upload/_svl.0")), "V9013101");

    b.esperador.ahora += 300;
    b.simulador.Paso(b.esperador.ahora);
    ASSERT_TRUE(fs::exists(b.Term(1, "estado.rsp")));
    b.planificador->Cambio(b.Term(1, "estado.rsp"));
    b.TerminarTurnos();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "S");
    // estado.rsp at t0 + 300 ms, then the return's waits of 1 + 2 + 1 s.
    EXPECT_EQ(b.esperador.ahora, t0 + 300 + 4000);

    b.Terminal(2).EnviarSolicitud({"R2", 336, "ACA", true});
    b.planificador->EjecutarPasosVencidos();
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "C");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "P");
}

TEST(Intercambio, TurnInProgressKeepsItsFoldersWhenTheSettingsChange) {
    Banco b(2);
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Terminal(2).EnviarSolicitud({"B", 336, "ACA", true});
    b.Tick();
    // The returns start and wait for the client; meanwhile the settings dialog reloads the list and
    // the folders. The turns end where they began; the new list applies from the next tick.
    b.esperador.ahora += 1000;
    b.simulador.Paso(b.esperador.ahora);
    b.planificador->Sondear(b.lista);
    ASSERT_EQ(b.planificador->TurnosEnCurso(), 2u);
    const clsConfiguracion antes = b.configuracion;
    b.configuracion.DirectorioKorvane = b.raiz / "otra";
    b.configuracion.DirectorioZELNO = b.raiz / "otra";
    b.lista = std::make_shared<std::vector<clsItemTerXX>>();
    b.TerminarTurnos();
    b.configuracion = antes;
    for (int n = 1; n <= 2; ++n) {
        EXPECT_EQ(LeerArchivo(b.Ter(n, "STATUS.ZLN")).substr(0, 1), "S");
        EXPECT_EQ(b.Terminal(n).LeerRespuesta().seresp,
                  sim::RespuestaSeresp(b.simulador.Pedidos().at(static_cast<std::size_t>(n - 1))));
    }
    EXPECT_FALSE(fs::exists(b.raiz / "otra"));
    EXPECT_TRUE(b.ui.mensajes.empty());
}

// Each file operation of a terminal, with its time since that terminal's first one; the terminal's
// number in the path is replaced by "nn", so that the exchanges of different terminals compare.
using Huella = std::vector<std::pair<std::string, std::int64_t>>;

// `bloqueado`: a terminal whose STATUS.ZLN cannot be read or written all along. The bridge's own
// records are left out: their names differ from one terminal to another.
std::map<int, Huella> Huellas(Banco& b, int terminales, int bloqueado, const std::function<void()>& correr) {
    std::map<int, Huella> huellas;
    std::map<int, std::int64_t> inicio;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        const bool status = ruta.size() >= 10 && ruta.compare(ruta.size() - 10, 10, "STATUS.ZLN") == 0;
        if (bloqueado != 0 && status && ruta.find("TER0" + std::to_string(bloqueado)) != std::string::npos &&
            std::string_view(operacion) != "Existe")
            throw plataforma::ErrorSistema(5, "sin acceso");
        if (ruta.find(b.CarpetaEstado()) != std::string::npos) return;
        for (int n = 1; n <= terminales; ++n) {
            char ter[16], term[16];
            std::snprintf(ter, sizeof ter, "TER%02d", n);
            std::snprintf(term, sizeof term, "term%02d", n);
            std::string r = ruta;
            const auto a = r.find(ter), z = r.find(term);
            if (a == std::string::npos && z == std::string::npos) continue;
            if (a != std::string::npos) r[a + 3] = r[a + 4] = 'n';
            if (z != std::string::npos) r[z + 4] = r[z + 5] = 'n';
            inicio.emplace(n, b.esperador.ahora);
            huellas[n].emplace_back(std::string(operacion) + " " + r.substr(r.find_last_of("/\\", r.size()) + 1),
                                    b.esperador.ahora - inicio[n]);
        }
    });
    correr();
    archivos::InstalarInterceptor({});
    return huellas;
}

// Terminals that pay in the same second each see the timing of a lone exchange: the client gets
// the same waits at every point, and no terminal waits for another, nor for one that fails.
TEST(Intercambio, BusyTerminalsEachKeepTheTimingOfALoneExchange) {
    const auto soloUna = [] {
        Banco b(1);
        b.Terminal(1).EnviarSolicitud({"SOLA", 336, "ACA", true});
        return Huellas(b, 1, 0, [&] { b.Correr(8000); }).at(1);
    }();
    // Hand-off at the first tick, the return from the second: "S" after 1 + 2 + 1 s of waits.
    EXPECT_NE(std::find(soloUna.begin(), soloUna.end(),
                        std::pair<std::string, std::int64_t>{"EscribirAlInicio STATUS.ZLN", 5000}),
              soloUna.end());

    for (int terminales : {1, 10, 50}) {
        SCOPED_TRACE(terminales);
        Banco b(terminales);
        std::map<int, std::string> ids;
        for (int n = 1; n <= terminales; ++n) {
            ids[n] = std::to_string(n);
            ids[n].insert(ids[n].begin(), 'R');
            b.Terminal(n).EnviarSolicitud({ids[n], 336, "ACA", true});
        }
        // With ten, terminal 1's STATUS.ZLN stays locked: its failure at each tick is its own.
        const int primera = terminales == 10 ? 2 : 1;
        const auto huellas = Huellas(b, terminales, primera == 2 ? 1 : 0, [&] { b.Correr(8000); });
        std::map<std::string, std::string> respuestas;
        for (const auto& r : b.simulador.Pedidos())
            EXPECT_TRUE(respuestas.emplace(sim::PrimeraLinea(r.clicab), sim::RespuestaSeresp(r)).second);
        EXPECT_EQ(respuestas.size(), static_cast<std::size_t>(terminales - primera + 1));
        for (int n = primera; n <= terminales; ++n) {
            EXPECT_EQ(huellas.at(n), soloUna) << "terminal " << n;
            EXPECT_EQ(b.Terminal(n).LeerRespuesta().seresp, respuestas[ids.at(n)]) << "terminal " << n;
        }
        if (primera == 2) {
            EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "C");
            EXPECT_EQ(b.ui.mensajes.size(), 8u);  // one a tick
            EXPECT_EQ(b.ui.mensajes.at(0).titulo, "Transacción punto control: 1");
        } else {
            EXPECT_TRUE(b.ui.mensajes.empty());
        }
    }
}

}  // namespace

namespace {

// Requests and answers no terminal or client should send, each given the answer the bridge defines.
TEST(EntradaDefectuosa, EmptyBinaryAndHugeRequestFiles) {
    Banco b(2);
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
    EscribirArchivo(b.Ter(2, "CLICAB.ZLN"), grande);
    EscribirArchivo(b.Ter(2, "STATUS.ZLN"), "C");
    // A company table of any size costs a bounded read; no outside file is ever read whole.
    EscribirArchivo(b.Z("_zelno.emp"), std::string(5 << 20, 'E'));
    archivos::InstalarInterceptor(
        [](const char* operacion, const std::string&) { EXPECT_STRNE(operacion, "LeerCompleto"); });
    b.Tick();
    archivos::InstalarInterceptor({});
    EXPECT_EQ(LeerArchivo(b.Term(2, "upload/CLICAB.ZLN")), grande);
    // "ACA\r\n\0" trimmed of blanks only is not "ACA": the default provider.
    EXPECT_EQ(LeerArchivo(b.Term(2, "upload/_svl.0")), "V9011101");
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
    EXPECT_EQ(seresp, RespuestaErrorComunicacion(basura));
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
TEST(EntradaDefectuosa, LockedStatusFileFailsOnlyItsTerminal) {
    Banco b(2);
    b.lista =
        std::make_shared<std::vector<clsItemTerXX>>(std::vector<clsItemTerXX>{{"TER01", "01", 1}, {"TER02", "02", 2}});
    b.Terminal(1).EnviarSolicitud({"A", 336, "ACA", true});
    b.Terminal(2).EnviarSolicitud({"B", 336, "ACA", true});
    // Another program holds TER01's STATUS.ZLN open without sharing it, longer than the turn tries.
    HANDLE h = CreateFileA(b.Ter(1, "STATUS.ZLN").c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    b.Tick();
    CloseHandle(h);
    ASSERT_EQ(b.ui.mensajes.size(), 1u);
    EXPECT_EQ(b.ui.mensajes[0].titulo, "Transacción punto control: 1");
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "P");
    b.Tick();
    EXPECT_EQ(LeerArchivo(b.Ter(1, "STATUS.ZLN")), "P");
    EXPECT_EQ(LeerArchivo(b.Ter(2, "STATUS.ZLN")), "S");
}
#endif

}  // namespace
