#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "platform/actividad.h"
#include "platform/carpetas.h"
#include "platform/reloj.h"
#include "support/soporte.h"

namespace {

using prueba::CarpetaTemporal;
using prueba::EscribirArchivo;
using prueba::LeerArchivo;

#ifdef _WIN32
const std::string kSep = "\\";
#else
const std::string kSep = "/";
#endif

reloj::FechaHoraMs Hora(int anio, int mes, int dia, int hora, int minuto, int segundo, int ms) {
    return {{anio, mes, dia, hora, minuto, segundo}, ms};
}

// The time the log reads; each test moves it.
struct RelojPrueba {
    reloj::FechaHoraMs ahora;
    actividad::RelojMs Funcion() {
        return [this] { return ahora; };
    }
};

std::set<std::string> Nombres(const std::string& carpeta) {
    std::set<std::string> nombres;
    for (const auto& e : std::filesystem::directory_iterator(carpeta)) nombres.insert(e.path().filename().string());
    return nombres;
}

TEST(Actividad, OneLinePerEventStampedToTheMillisecondAddedToTheDaysFile) {
    CarpetaTemporal t;
    const std::string carpeta = t / ("Tramiza" + kSep + "Registro");
    RelojPrueba reloj{Hora(2026, 12, 7, 9, 5, 3, 7)};
    actividad::Anotar("antes de iniciar");
    actividad::Iniciar(carpeta, reloj.Funcion());
    actividad::Anotar("Inicio del programa");
    reloj.ahora = Hora(2026, 12, 7, 14, 30, 59, 250);
    actividad::Anotar("Transacción punto control: 3\r\nNo se encontró\rC:\\K\nfin\n");
    actividad::Terminar();
    actividad::Anotar("después de terminar");
    const std::string esperado =
        "2026-12-07 09:05:03.007 Inicio del programa\r\n"
        "2026-12-07 14:30:59.250 Transacción punto control: 3 No se encontró C:\\K fin \r\n";
    EXPECT_EQ(LeerArchivo(carpeta + kSep + "2026-12-07.log"), esperado);

    reloj.ahora = Hora(2026, 12, 7, 23, 0, 0, 999);
    actividad::Iniciar(carpeta, reloj.Funcion());
    actividad::Anotar("Fin del programa");
    actividad::Terminar();
    EXPECT_EQ(LeerArchivo(carpeta + kSep + "2026-12-07.log"),
              esperado + "2026-12-07 23:00:00.999 Fin del programa\r\n");
    EXPECT_EQ(Nombres(carpeta), std::set<std::string>{"2026-12-07.log"});
}

TEST(Actividad, AnEventGoesToTheFileOfItsOwnLocalDate) {
    CarpetaTemporal t;
    RelojPrueba reloj{Hora(2026, 12, 31, 23, 59, 59, 999)};
    actividad::Iniciar(t.Ruta(), reloj.Funcion());
    actividad::Anotar("último del año");
    reloj.ahora = Hora(2027, 1, 1, 0, 0, 0, 0);
    actividad::Anotar("primero del año");
    actividad::Terminar();
    EXPECT_EQ(Nombres(t.Ruta()), (std::set<std::string>{"2026-12-31.log", "2027-01-01.log"}));
    EXPECT_EQ(LeerArchivo(t / "2026-12-31.log"), "2026-12-31 23:59:59.999 último del año\r\n");
    EXPECT_EQ(LeerArchivo(t / "2027-01-01.log"), "2027-01-01 00:00:00.000 primero del año\r\n");

    // A day's file near its cap: what fits, one line that says so, nothing more that day; the next
    // day starts afresh.
    const std::string relleno(static_cast<std::size_t>(actividad::kTamanioMaximoDia - 300), '.');
    EscribirArchivo(t / "2027-01-02.log", relleno);
    reloj.ahora = Hora(2027, 1, 2, 8, 0, 0, 0);
    actividad::Iniciar(t.Ruta(), reloj.Funcion());
    for (const char* evento : {"cabe", "ya no cabe entero: llega al tope de lo que se anota en un dia", "tampoco"})
        actividad::Anotar(evento);
    reloj.ahora = Hora(2027, 1, 3, 0, 0, 0, 0);
    actividad::Anotar("otro dia");
    actividad::Terminar();
    EXPECT_EQ(LeerArchivo(t / "2027-01-02.log"),
              relleno + "2027-01-02 08:00:00.000 cabe\r\n" +
                  "2027-01-02 08:00:00.000 Registro: el archivo de hoy llegó a 20 MB; los eventos de hoy desde "
                  "aquí no se anotan\r\n");
    EXPECT_EQ(LeerArchivo(t / "2027-01-03.log"), "2027-01-03 00:00:00.000 otro dia\r\n");
}

TEST(Actividad, LogsOlderThan31DaysGoAtTheStartAndWhenTheDateChanges) {
    CarpetaTemporal t;
    for (const char* nombre : {"2025-03-05.log", "2026-02-01.log", "2026-02-02.log", "2026-02-03.log", "2026-03-09.log",
                               "2026-02-30.log", "2026-1-01.log", "actividad.log", "2026-01-01.log.txt", "notas.txt"})
        EscribirArchivo(t / nombre, "x");
    // 5 March 2026: 2 February is 31 days back, 1 February 32.
    RelojPrueba reloj{Hora(2026, 3, 5, 10, 0, 0, 0)};
    actividad::Iniciar(t.Ruta(), reloj.Funcion());
    actividad::Terminar();
    const std::set<std::string> ajenos = {"2026-02-30.log", "2026-1-01.log", "actividad.log", "2026-01-01.log.txt",
                                          "notas.txt"};
    std::set<std::string> esperados = ajenos;
    esperados.insert({"2026-02-02.log", "2026-02-03.log", "2026-03-09.log"});
    EXPECT_EQ(Nombres(t.Ruta()), esperados);

    actividad::Iniciar(t.Ruta(), reloj.Funcion());
    actividad::Anotar("a");
    reloj.ahora = Hora(2026, 3, 6, 0, 0, 0, 1);
    actividad::Anotar("b");
    actividad::Terminar();
    esperados = ajenos;
    esperados.insert({"2026-02-03.log", "2026-03-05.log", "2026-03-06.log", "2026-03-09.log"});
    EXPECT_EQ(Nombres(t.Ruta()), esperados);
    EXPECT_EQ(LeerArchivo(t / "2026-02-03.log"), "x");
}

TEST(Actividad, AFolderThatCannotBeMadeCostsNothingAndTheNewestEventsWaitForIt) {
    CarpetaTemporal t;
    EscribirArchivo(t / "Tramiza", "ocupa el nombre");
    const std::string carpeta = t / ("Tramiza" + kSep + "Registro");
    RelojPrueba reloj{Hora(2026, 12, 7, 8, 0, 0, 0)};

    actividad::Iniciar(carpeta, reloj.Funcion());
    actividad::Anotar("perdido");
    actividad::Terminar();
    EXPECT_EQ(Nombres(t.Ruta()), std::set<std::string>{"Tramiza"});
    EXPECT_EQ(LeerArchivo(t / "Tramiza"), "ocupa el nombre");

    // The folder becomes possible while more events wait than the queue holds.
    actividad::Iniciar(carpeta, reloj.Funcion());
    const std::size_t total = actividad::kMaximoEnCola + 5;
    for (std::size_t i = 0; i < total; ++i) actividad::Anotar("evento " + std::to_string(i));
    while (actividad::EscritorOcupado()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_EQ(std::remove((t / "Tramiza").c_str()), 0);
    actividad::Terminar();
    std::string esperado = "2026-12-07 08:00:00.000 Registro: se descartaron 5 eventos anteriores (cola llena)\r\n";
    for (std::size_t i = 5; i < total; ++i) esperado += "2026-12-07 08:00:00.000 evento " + std::to_string(i) + "\r\n";
    EXPECT_EQ(LeerArchivo(carpeta + kSep + "2026-12-07.log"), esperado);
}

TEST(Actividad, FolderAndClock) {
#ifdef _WIN32
    EXPECT_EQ(actividad::CarpetaActividad(), carpetas::DatosPrograma() + "\\Registro");
#else
    const char* anterior = std::getenv("XDG_STATE_HOME");
    const std::string guardado = anterior ? anterior : "";
    setenv("XDG_STATE_HOME", "/srv/estado", 1);
    EXPECT_EQ(actividad::CarpetaActividad(), "/srv/estado/tramiza");
    if (anterior)
        setenv("XDG_STATE_HOME", guardado.c_str(), 1);
    else
        unsetenv("XDG_STATE_HOME");
#endif

    // The local time of reloj::Ahora with a millisecond that moves.
    const archivos::FechaHora antes = reloj::Ahora();
    const reloj::FechaHoraMs primero = reloj::AhoraConMs();
    const archivos::FechaHora despues = reloj::Ahora();
    EXPECT_TRUE(primero.fecha == antes || primero.fecha == despues);
    bool cambia = false;
    for (int i = 0; i < 100 && !cambia; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(7));
        const int ms = reloj::AhoraConMs().milisegundo;
        ASSERT_TRUE(ms >= 0 && ms <= 999) << ms;
        cambia = ms != primero.milisegundo;
    }
    EXPECT_TRUE(cambia);
}

}  // namespace
