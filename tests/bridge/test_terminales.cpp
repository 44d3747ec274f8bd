#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

#include "bridge/cerrojo_korvane.h"
#include "bridge/resumen_servicio.h"
#include "bridge/terminales.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "support/soporte.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

namespace fs = std::filesystem;

class CargarTerminalesTest : public ::testing::Test {
protected:
    CargarTerminalesTest() : configuracion("TramizaPrueba") {
        prueba::CrearCarpetas(raiz / "K");
        prueba::CrearCarpetas(raiz / "Z");
        configuracion.DirectorioKorvane = raiz / "K";
        configuracion.DirectorioZELNO = raiz / "Z";
        configuracion.ActivarTX = 1;
    }

    std::string K(const std::string& nombre) const {
        return (fs::path(configuracion.DirectorioKorvane) / nombre).string();
    }
    std::string Z(const std::string& nombre) const {
        return (fs::path(configuracion.DirectorioZELNO) / nombre).string();
    }

    // Items sorted by name: the listing's order is the file system's.
    std::vector<clsItemTerXX> Ordenados(const ListaTerminales& lista) const {
        std::vector<clsItemTerXX> items(lista->begin(), lista->end());
        std::sort(items.begin(), items.end(), [](auto& a, auto& b) { return a.TerXX < b.TerXX; });
        return items;
    }

    prueba::CarpetaTemporal raiz;
    clsConfiguracion configuracion;
    prueba::GrabadorInterfaz ui;
};

TEST_F(CargarTerminalesTest, FoldersBecomeTerminalsWithTheirClientFolders) {
    prueba::CrearCarpetas(K("TER01"));
    prueba::CrearCarpetas(K("TER02"));
    prueba::CrearCarpetas(K("TER"));
    prueba::CrearCarpetas(K("TER05.OLD"));
    prueba::EscribirArchivo(K("TER03.TXT"), "no soy carpeta");
    for (const char* no : {"TERMINALES", "Term9", "TERM01", "XTER1"}) prueba::CrearCarpetas(K(no));

    const ListaTerminales lista = CargarTerminales(configuracion, ui);
    EXPECT_TRUE(ui.mensajes.empty());
    const auto items = Ordenados(lista);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].TerXX, "TER");
    EXPECT_EQ(items[0].CodigoTerminal, "");
    EXPECT_EQ(items[1].TerXX, "TER01");
    EXPECT_EQ(items[1].CodigoTerminal, "01");
    EXPECT_EQ(items[2].CodigoTerminal, "02");
    EXPECT_EQ(items[3].CodigoTerminal, "05.OLD");
    // Numbers follow the listing order, from 1.
    for (std::size_t i = 0; i < lista->size(); ++i) EXPECT_EQ((*lista)[i].NumeroTerminal, static_cast<int>(i + 1));

    for (const char* carpeta : {"term", "term01", "term02", "term05.OLD"}) {
        EXPECT_TRUE(fs::is_directory(Z(carpeta) + "/upload")) << carpeta;
        EXPECT_TRUE(fs::is_directory(Z(carpeta) + "/download")) << carpeta;
    }
    EXPECT_TRUE(fs::is_directory(Z("tx")));
    EXPECT_FALSE(fs::exists(Z("term03.TXT")));
    EXPECT_FALSE(fs::exists(Z("termMINALES")));
}

TEST_F(CargarTerminalesTest, SecondLoadGivesTheSameListAndLeavesFoldersAlone) {
    prueba::CrearCarpetas(K("TER01"));
    const auto primera = CargarTerminales(configuracion, ui);
    prueba::EscribirArchivo(Z("term01") + "/upload/PENDIENTE", "x");
    const auto segunda = CargarTerminales(configuracion, ui);
    EXPECT_NE(primera.get(), segunda.get());
    ASSERT_EQ(segunda->size(), 1u);
    EXPECT_EQ((*segunda)[0].TerXX, "TER01");
    EXPECT_EQ(prueba::LeerArchivo(Z("term01") + "/upload/PENDIENTE"), "x");
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(CargarTerminalesTest, EmptyRootAndTheTxFolder) {
    configuracion.ActivarTX = 0;
    EXPECT_TRUE(CargarTerminales(configuracion, ui)->empty());
    EXPECT_FALSE(fs::exists(Z("tx")));

    configuracion.ActivarTX = 1;
    EXPECT_TRUE(CargarTerminales(configuracion, ui)->empty());
    EXPECT_TRUE(fs::is_directory(Z("tx")));

    // Switching TX off later leaves the existing folder alone.
    prueba::EscribirArchivo(Z("tx") + "/term01", "");
    configuracion.ActivarTX = 0;
    CargarTerminales(configuracion, ui);
    EXPECT_TRUE(fs::exists(Z("tx") + "/term01"));
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(CargarTerminalesTest, RootSettingEndingInSeparatorAndSharedRoot) {
    // Both settings naming the same folder: the client-side term folders are not terminals.
    configuracion.DirectorioZELNO = configuracion.DirectorioKorvane;
    prueba::CrearCarpetas(K("TER07"));
    configuracion.DirectorioKorvane += configuracion.DirectorioKorvane.find('\\') != std::string::npos ? "\\" : "/";
    auto lista = CargarTerminales(configuracion, ui);
    ASSERT_EQ(lista->size(), 1u);
    lista = CargarTerminales(configuracion, ui);
    ASSERT_EQ(lista->size(), 1u);
    EXPECT_TRUE(fs::is_directory(K("term07") + "/download"));
}

TEST_F(CargarTerminalesTest, MissingClientRootStopsWithAMessage) {
    prueba::CrearCarpetas(K("TER01"));
    prueba::CrearCarpetas(K("TER02"));
    configuracion.DirectorioZELNO = raiz / "NOEXISTE";
    const auto lista = CargarTerminales(configuracion, ui);
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].titulo, "Carga de terminales");
    EXPECT_EQ(ui.mensajes[0].icono, Icono::Critico);
    EXPECT_FALSE(ui.mensajes[0].texto.empty());
    // The listing finished before the client side failed: both terminals are served.
    EXPECT_EQ(lista->size(), 2u);
}

TEST_F(CargarTerminalesTest, MissingKorvaneRootShowsAMessageAndGivesAnEmptyList) {
    configuracion.DirectorioKorvane = raiz / "NOEXISTE";
    const auto lista = CargarTerminales(configuracion, ui);
    EXPECT_TRUE(lista->empty());
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].titulo, "Carga de terminales");
}

TEST_F(CargarTerminalesTest, EmptyFolderSettingTouchesNoFileAtAll) {
    prueba::CrearCarpetas(K("TER01"));
    std::vector<std::string> operaciones;
    archivos::InstalarInterceptor([&](const char* operacion, const std::string& ruta) {
        operaciones.push_back(std::string(operacion) + " " + ruta);
    });
    const std::string korvane = configuracion.DirectorioKorvane, zelno = configuracion.DirectorioZELNO;
    configuracion.DirectorioKorvane.clear();
    EXPECT_TRUE(CargarTerminales(configuracion, ui)->empty());
    configuracion.DirectorioKorvane = korvane;
    configuracion.DirectorioZELNO.clear();
    EXPECT_TRUE(CargarTerminales(configuracion, ui)->empty());
    archivos::InstalarInterceptor({});
    EXPECT_TRUE(operaciones.empty()) << operaciones.front();
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(CargarTerminalesTest, FolderNamesWithSpacesAndNonAsciiBytes) {
    const std::string nombre = "TER 1\xE9";
    // Made through the ANSI call the program uses, so the bytes are the code page's.
    archivos::CrearCarpeta(archivos::Unir(configuracion.DirectorioKorvane, nombre));
    const auto lista = CargarTerminales(configuracion, ui);
    ASSERT_EQ(lista->size(), 1u);
    EXPECT_EQ((*lista)[0].CodigoTerminal, " 1\xE9");
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(CargarTerminalesTest, FolderNameOutsideTheCodePageIsReportedOnceAndLeftOut) {
    prueba::CrearCarpetas(K("TER01"));
    const std::string listado = "TER0??";
#ifdef _WIN32
    // Made through the wide-character call; the ANSI listing shows each character outside the code
    // page as '?'.
    ASSERT_TRUE(CreateDirectoryW((fs::path(configuracion.DirectorioKorvane) / L"TER0\u0416\u4E2D").c_str(), nullptr));
#else
    // Linux keeps '?' in a name: the listing gives it as Windows gives such a folder.
    prueba::CrearCarpetas(K(listado));
#endif
    for (int carga = 0; carga < 2; ++carga) {
        const auto lista = CargarTerminales(configuracion, ui);
        ASSERT_EQ(lista->size(), 1u);
        EXPECT_EQ((*lista)[0].TerXX, "TER01");
    }
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].titulo, "Carga de terminales");
    EXPECT_EQ(ui.mensajes[0].icono, Icono::Critico);
    EXPECT_EQ(ui.mensajes[0].texto,
              "La carpeta de terminal " + archivos::Unir(configuracion.DirectorioKorvane, listado) +
                  " tiene en su nombre caracteres que este equipo no puede representar (aquí aparecen como "
                  "\"?\"): esa terminal no se atiende. Cámbiele el nombre por uno con letras y cifras corrientes.");
    EXPECT_TRUE(fs::is_directory(Z("term01")));
    EXPECT_EQ(std::distance(fs::directory_iterator(configuracion.DirectorioZELNO), fs::directory_iterator()), 2);
}

// Two programs on one Korvane root: the second is refused, told once who serves it, and takes over
// once the first has let go; the lock file never passes for a terminal; a root where no lock can be
// made is served all the same.
TEST_F(CargarTerminalesTest, OneTramizaPerKorvaneRoot) {
    prueba::CarpetaTemporal registro;
    actividad::Iniciar(registro.Ruta(), [] { return reloj::FechaHoraMs{{2026, 12, 7, 9, 30, 5}, 42}; });
    const std::string raiz = configuracion.DirectorioKorvane;
    const std::string otraRaiz = (fs::path(raiz).parent_path() / "K2").string();
    prueba::CrearCarpetas(otraRaiz);
    prueba::CrearCarpetas(K("TER01"));
    const auto aLas = [](int hora) { return [hora] { return archivos::FechaHora{2026, 12, 7, hora, 30, 5}; }; };
    prueba::GrabadorInterfaz uiSegundo, uiTercero;
    auto primero = std::make_unique<CerrojoKorvane>(ui, aLas(9));
    CerrojoKorvane segundo(uiSegundo, aLas(10));

    EXPECT_TRUE(primero->PuedeAtender(raiz));
    EXPECT_TRUE(primero->PuedeAtender(raiz));
    for (int tick = 0; tick < 3; ++tick) EXPECT_FALSE(segundo.PuedeAtender(raiz));
    const cerrojo::Titular yo = cerrojo::TitularPropio();
    const std::string quien = "equipo " + yo.equipo + ", usuario " + yo.usuario + ", sesión " + yo.sesion +
                              ", proceso " + yo.proceso + ", desde 2026-12-07 09:30:05";
    const std::string aviso = "Otro Tramiza ya atiende la carpeta de Korvane " + raiz + " (" + quien +
                              "). Este Tramiza no atiende las terminales mientras el otro siga; lo vuelve a "
                              "intentar en cada ciclo.";
    ASSERT_EQ(uiSegundo.mensajes.size(), 1u);
    EXPECT_EQ(uiSegundo.mensajes[0].titulo, "Carpeta de Korvane atendida por otro Tramiza");
    EXPECT_EQ(uiSegundo.mensajes[0].texto, aviso);
    EXPECT_EQ(uiSegundo.estados, std::vector<std::string>(3, "Otro Tramiza atiende " + raiz));
    const auto lista = CargarTerminales(configuracion, ui);
    ASSERT_EQ(lista->size(), 1u);
    EXPECT_EQ((*lista)[0].TerXX, "TER01");

    // The first moves to another root: its lock goes with it, and the second takes this one.
    EXPECT_TRUE(primero->PuedeAtender(otraRaiz));
    EXPECT_TRUE(segundo.PuedeAtender(raiz));
    EXPECT_EQ(prueba::LeerArchivo(K("Tramiza.lck")),
              cerrojo::TextoTitular({yo.equipo, yo.usuario, yo.sesion, yo.proceso, "2026-12-07 10:30:05"}));
    // The first ends: the root it had is free for a third.
    CerrojoKorvane tercero(uiTercero, aLas(11));
    EXPECT_FALSE(tercero.PuedeAtender(otraRaiz));
    primero.reset();
    EXPECT_TRUE(tercero.PuedeAtender(otraRaiz));

    // A root where the lock file cannot be made: served, and said once in the log.
    CerrojoKorvane cuarto(ui, aLas(12));
    const std::string sinCarpeta = (fs::path(raiz).parent_path() / "NOEXISTE").string();
    EXPECT_TRUE(cuarto.PuedeAtender(sinCarpeta));
    EXPECT_TRUE(cuarto.PuedeAtender(sinCarpeta));
    EXPECT_TRUE(ui.mensajes.empty());
    actividad::Terminar();

#ifdef _WIN32
    const long sinRuta = 3;  // ERROR_PATH_NOT_FOUND
#else
    const long sinRuta = ENOENT;
#endif
    const std::string s = "2026-12-07 09:30:05.042 ";
    const std::string otroAviso = "Otro Tramiza ya atiende la carpeta de Korvane " + otraRaiz + " (" + "equipo " +
                                  yo.equipo + ", usuario " + yo.usuario + ", sesión " + yo.sesion + ", proceso " +
                                  yo.proceso + ", desde 2026-12-07 09:30:05" +
                                  "). Este Tramiza no atiende las terminales mientras el otro siga; lo vuelve a "
                                  "intentar en cada ciclo.";
    EXPECT_EQ(prueba::LeerArchivo(registro / "2026-12-07.log"),
              s + "Tramiza atiende la carpeta de Korvane " + raiz + "\r\n" + s +
                  "Mensaje \"Carpeta de Korvane atendida por otro Tramiza\": " + aviso + "\r\n" + s + "Terminales en " +
                  raiz + ": 1 (TER01)\r\n" + s + "Tramiza deja de atender la carpeta de Korvane " + raiz + "\r\n" + s +
                  "Tramiza atiende la carpeta de Korvane " + otraRaiz + "\r\n" + s +
                  "Tramiza atiende la carpeta de Korvane " + raiz + ": el otro Tramiza la ha dejado\r\n" + s +
                  "Mensaje \"Carpeta de Korvane atendida por otro Tramiza\": " + otroAviso + "\r\n" + s +
                  "Tramiza atiende la carpeta de Korvane " + otraRaiz + ": el otro Tramiza la ha dejado\r\n" + s +
                  "No se pudo crear el cerrojo " + archivos::Unir(sinCarpeta, "Tramiza.lck") + " (" +
                  std::to_string(sinRuta) + ": " + plataforma::DescripcionError(sinRuta) +
                  "); se atiende la carpeta sin él\r\n");
}

// The icon, the status line and the "Terminales" header never say "serving" while no sale can pass,
// and say the first reason why, in words.
TEST(ResumenServicio, NotServingNamesItsFirstReason) {
    DatosServicio d;
    d.directorioKorvane = "C:\\Korvane";
    d.directorioZelno = "C:\\Estandar";
    d.intervalo = 1;
    EXPECT_EQ(EvaluarServicio(d).modo, EstadoServicio::Modo::Detenido);
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)), "");
    EXPECT_EQ(CabeceraTerminales(EvaluarServicio(d), 3, 0),
              "Detenido: «Buscar transacción» está apagado; no pasa ninguna venta.");
    d.buscando = true;
    EXPECT_EQ(EvaluarServicio(d), (EstadoServicio{EstadoServicio::Modo::Atiende, ""}));
    EXPECT_EQ(CabeceraTerminales(EvaluarServicio(d), 1, 0), "Atiende 1 terminal.");
    EXPECT_EQ(CabeceraTerminales(EvaluarServicio(d), 12, 2),
              "Atiende 12 terminales.   Respuestas no entregadas sin revisar: 2 (pulse «Abrir no entregadas»).");

    // Each reason, from the last in order to the first: each one hides those after it.
    d.clienteSinIniciar = true;
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)),
              "No atiende las terminales: no se puede iniciar el programa Zelno32.");
    d.zelnoFuera = true;
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)),
              "No atiende las terminales: no se puede acceder a la carpeta de Zelno C:\\Estandar.");
    d.korvaneFuera = true;
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)),
              "No atiende las terminales: no se puede acceder a la carpeta de Korvane C:\\Korvane.");
    d.otroTramiza = true;
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)),
              "No atiende las terminales: otro Tramiza atiende la carpeta de Korvane C:\\Korvane.");
    d.intervalo = -3;
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)),
              "No atiende las terminales: el intervalo de búsqueda no es válido (-3).");
    d.intervalo = 0;
    EXPECT_EQ(LineaNoAtiende(EvaluarServicio(d)), "No atiende las terminales: el intervalo de búsqueda es 0.");
    EXPECT_EQ(CabeceraTerminales(EvaluarServicio(d), 4, 1),
              "NO ATIENDE: el intervalo de búsqueda es 0; no pasa ninguna venta.   Respuestas no entregadas sin "
              "revisar: 1 (pulse «Abrir no entregadas»).");
    // The toggle off is "Detenido" with its own icon, whatever else holds.
    d.buscando = false;
    EXPECT_EQ(EvaluarServicio(d).modo, EstadoServicio::Modo::Detenido);
}

// A sale's wait counts from the first look that saw its "C" (or its "P", for one already handed off
// when the program started) across the hand-off, and starts again at the terminal's next sale.
TEST(ResumenServicio, ASaleInProgressShowsHowLongItHasWaited) {
    SeguimientoEsperas esperas;
    const auto filas = [](const char* uno, const char* dos) {
        return std::vector<FilaTerminal>{{"TER01", uno, "", "", "", "", "", "", ""},
                                         {"TER02", dos, "", "", "", "", "", "", ""}};
    };
    auto f = filas("C", "S");
    esperas.Aplicar(f, 10'000);
    EXPECT_EQ(f[0].espera, "0 s");
    EXPECT_EQ(f[1].espera, "");
    f = filas("P", "P");
    esperas.Aplicar(f, 75'400);
    EXPECT_EQ(f[0].espera, "1 min 5 s");
    EXPECT_EQ(f[1].espera, "0 s");
    f = filas("S", "P");
    esperas.Aplicar(f, 80'000);
    EXPECT_EQ(f[0].espera, "");
    EXPECT_EQ(f[1].espera, "4 s");
    f = filas("C", "ninguna");
    esperas.Aplicar(f, 90'000);
    EXPECT_EQ(f[0].espera, "0 s");
    EXPECT_EQ(f[1].espera, "");
}

// An answer kept aside is counted until someone opens its folder from the "Terminales" window, closed
// boxes and program restarts notwithstanding; a later one counts again.
TEST(ResumenServicio, KeptAsideAnswersCountUntilTheirFolderIsOpened) {
    prueba::CarpetaTemporal raiz;
    const std::string carpeta = raiz / "NoEntregadas";
    {
        RespuestasApartadas apartadas(carpeta);
        EXPECT_TRUE(apartadas.NoVistas().empty());  // no folder yet
        prueba::CrearCarpetas(carpeta + "/TER02-20261206-140533");
        prueba::CrearCarpetas(carpeta + "/TER01-20261206-140600");
        prueba::EscribirArchivo(carpeta + "/suelto.txt", "no es una respuesta");
        EXPECT_EQ(apartadas.NoVistas(), (std::vector<std::string>{"TER01-20261206-140600", "TER02-20261206-140533"}));
    }
    RespuestasApartadas trasReiniciar(carpeta);
    EXPECT_EQ(trasReiniciar.NoVistas().size(), 2u);
    trasReiniciar.MarcarVistas();
    EXPECT_TRUE(trasReiniciar.NoVistas().empty());
    prueba::CrearCarpetas(carpeta + "/TER01-20261206-150000");
    EXPECT_EQ(trasReiniciar.NoVistas(), std::vector<std::string>{"TER01-20261206-150000"});
    EXPECT_EQ(RespuestasApartadas(carpeta).NoVistas(), std::vector<std::string>{"TER01-20261206-150000"});
    EXPECT_EQ(trasReiniciar.Todas().size(), 3u);
}

// What support gets on the clipboard: the version, the settings, the state, the table, the kept
// answers and the log's last lines, in this order.
TEST(ResumenServicio, DiagnosticTextHoldsEveryPart) {
    Diagnostico d;
    d.version = "1.2.3";
    d.ajustes = {"Intervalo: 0"};
    d.estado = "NO ATIENDE: el intervalo de búsqueda es 0; no pasa ninguna venta.";
    d.filas = {{"TER01", "P", "esperando al cliente", "", "", "", "", "", "12 s"}};
    d.apartadas = {"TER01-20261206-140533"};
    // The last lines of the newest day, the day before's filling up what is missing.
    prueba::CarpetaTemporal registro;
    prueba::EscribirArchivo(registro / "2026-12-05.log", "viejo\r\n");
    prueba::EscribirArchivo(registro / "2026-12-06.log", "antes\r\nuno\r\n");
    prueba::EscribirArchivo(registro / "2026-12-07.log", "dos\r\ntres\r\n");
    prueba::EscribirArchivo(registro / "notas.txt", "no es del registro\r\n");
    EXPECT_EQ(UltimasLineasActividad(registro.Ruta(), 3), (std::vector<std::string>{"uno", "dos", "tres"}));
    EXPECT_EQ(UltimasLineasActividad(registro.Ruta(), 9),
              (std::vector<std::string>{"viejo", "antes", "uno", "dos", "tres"}));
    d.actividad = UltimasLineas("uno\r\ndos\r\ntres\r\n", 2);
    EXPECT_EQ(d.actividad, (std::vector<std::string>{"dos", "tres"}));
    EXPECT_EQ(TextoDiagnostico(d),
              "Diagnóstico de Tramiza 1.2.3\r\n"
              "NO ATIENDE: el intervalo de búsqueda es 0; no pasa ninguna venta.\r\n\r\n"
              "== Ajustes\r\nIntervalo: 0\r\n\r\n"
              "== Terminales\r\n"
              "Terminal\tSolicitud\tSituación\tEspera\tÚltima respuesta\tResultado\tDuración\tÚltimo fallo\t"
              "Descripción del fallo\r\n"
              "TER01\tP\tesperando al cliente\t12 s\t\t\t\t\t\r\n\r\n"
              "== Respuestas no entregadas (1)\r\nTER01-20261206-140533\r\n\r\n"
              "== Registro de actividad (últimas 2 líneas)\r\ndos\r\ntres\r\n");
}

}  // namespace
