#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>

#include "bridge/duplicados.h"
#include "bridge/log_duplicados.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "support/soporte.h"

namespace {

namespace fs = std::filesystem;

archivos::FechaHora Hora(int anio, int mes, int dia, int h, int m, int s) { return {anio, mes, dia, h, m, s}; }

class DuplicadosTest : public ::testing::Test {
protected:
    DuplicadosTest() {
        prueba::CrearCarpetas(raiz / "TER01");
        prueba::CrearCarpetas(raiz / "term01/download");
        rutaKorvane = raiz / "TER01";
        rutaZelno = raiz / "term01";
    }

    std::string Ter(const std::string& n) const { return (fs::path(rutaKorvane) / n).string(); }
    std::string Descarga(const std::string& n) const { return (fs::path(rutaZelno) / "download" / n).string(); }
    std::string Log(const archivos::FechaHora& f) const {
        return (fs::path(raiz.Ruta()) / NombreArchivoLog(f)).string();
    }

    // The previous request at `antes`, the new one at `ahora` (minutes and seconds of 10 March 2026, 10h).
    void Solicitudes(const std::string& clicabAnterior, const std::string& clicab, int minAntes, int segAntes,
                     int minAhora, int segAhora) {
        prueba::EscribirArchivo(Ter("CLICABAnterior.ZLN"), clicabAnterior);
        prueba::EscribirArchivo(Ter("CLICAB.ZLN"), clicab);
        prueba::FijarFechaModificacion(Ter("CLICABAnterior.ZLN"), 2026, 3, 10, 10, minAntes, segAntes);
        prueba::FijarFechaModificacion(Ter("CLICAB.ZLN"), 2026, 3, 10, 10, minAhora, segAhora);
    }

    bool Duplicado() { return EsDuplicado(rutaKorvane, raiz.Ruta(), reloj, ui); }

    prueba::CarpetaTemporal raiz;
    std::string rutaKorvane, rutaZelno;
    prueba::GrabadorInterfaz ui;
    archivos::FechaHora ahora = Hora(2026, 12, 6, 14, 5, 33);
    RelojLocal reloj = [this] { return ahora; };
};

TEST_F(DuplicadosTest, SameFilesInTheSameMinuteAreADuplicateAndLogged) {
    Solicitudes("ID 1\r\nresto", "ID 1\r\nresto", 0, 10, 0, 50);
    prueba::EscribirArchivo(Ter("PRAXIS.ZLN"), "P");
    prueba::EscribirArchivo(Ter("PRAXISAnterior.ZLN"), "P");
    EXPECT_TRUE(Duplicado());
    EXPECT_EQ(prueba::LeerArchivo(Log(ahora)),
              "\"Determino que el archivo de la hora 2026/06/12 14:05:33 era duplicado\"\r\n\"ID 1\"\r\n");
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(DuplicadosTest, WhatIsNotADuplicate) {
    // Twenty seconds apart but across a minute boundary.
    Solicitudes("X", "X", 0, 50, 1, 10);
    prueba::EscribirArchivo(Ter("PRAXIS.ZLN"), "P");
    prueba::EscribirArchivo(Ter("PRAXISAnterior.ZLN"), "P");
    EXPECT_FALSE(Duplicado());

    // Same minute, equal length, last byte differs.
    Solicitudes("ABCD", "ABCE", 0, 10, 0, 20);
    EXPECT_FALSE(Duplicado());

    // Same request but PRAXISAnterior.ZLN missing, then neither PRAXIS file.
    Solicitudes("X", "X", 0, 10, 0, 20);
    fs::remove(Ter("PRAXISAnterior.ZLN"));
    EXPECT_FALSE(Duplicado());
    fs::remove(Ter("PRAXIS.ZLN"));
    EXPECT_FALSE(Duplicado());

    // PRAXIS files that differ.
    prueba::EscribirArchivo(Ter("PRAXIS.ZLN"), "P1");
    prueba::EscribirArchivo(Ter("PRAXISAnterior.ZLN"), "P2");
    EXPECT_FALSE(Duplicado());

    // The first request of a terminal.
    fs::remove(Ter("CLICABAnterior.ZLN"));
    EXPECT_FALSE(Duplicado());

    EXPECT_FALSE(fs::exists(Log(ahora)));
    EXPECT_TRUE(ui.mensajes.empty());
}

// The minute of a repeat is taken in UTC: a clock set back, or the hour that the change to winter
// time repeats, never makes two requests half an hour apart one.
TEST_F(DuplicadosTest, RepeatMinuteInUtcWhateverTheClockDoes) {
#ifndef _WIN32
    // Local time with a change to winter time: 03:00 summer time of 25 October 2026 becomes 02:00.
    const char* antes = std::getenv("TZ");
    const std::string zonaAnterior = antes ? antes : "";
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
#endif
    const auto fijar = [&](const char* nombre, std::int64_t utc) {
        fs::last_write_time(Ter(nombre), std::chrono::file_clock::from_sys(
                                             std::chrono::system_clock::from_time_t(static_cast<std::time_t>(utc))));
    };
    constexpr std::int64_t k0045Utc = 1792889100;  // 2026-10-25 00:45 UTC, 02:45 summer time
    struct Caso {
        const char* que;
        std::int64_t copia, nueva;
        bool repetida;
    } casos[] = {
        {"the same minute", k0045Utc + 10, k0045Utc + 50, true},
        {"the copy's clock a few seconds ahead", k0045Utc + 61, k0045Utc + 55, true},
        {"a clock set back two minutes", k0045Utc + 180, k0045Utc + 60, false},
        {"half an hour later, 02:15 winter time", k0045Utc + 10, k0045Utc + 1810, false},
        {"a clock set back an hour", k0045Utc + 3610, k0045Utc + 10, false},
    };
    for (const Caso& c : casos) {
        SCOPED_TRACE(c.que);
        for (const char* n : {"CLICAB.ZLN", "CLICABAnterior.ZLN", "PRAXIS.ZLN", "PRAXISAnterior.ZLN"})
            prueba::EscribirArchivo(Ter(n), "");  // two empty files compare equal
        fijar("CLICABAnterior.ZLN", c.copia);
        fijar("CLICAB.ZLN", c.nueva);
        EXPECT_EQ(Duplicado(), c.repetida);
    }
#ifndef _WIN32
    if (antes)
        setenv("TZ", zonaAnterior.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
#endif
}

TEST_F(DuplicadosTest, ReadOnlyRequestFilesStillCompare) {
    Solicitudes("SAME", "SAME", 0, 1, 0, 2);
    prueba::EscribirArchivo(Ter("PRAXIS.ZLN"), "P");
    prueba::EscribirArchivo(Ter("PRAXISAnterior.ZLN"), "P");
    for (const char* n : {"CLICAB.ZLN", "CLICABAnterior.ZLN", "PRAXIS.ZLN", "PRAXISAnterior.ZLN"})
        fs::permissions(Ter(n), fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                        fs::perm_options::remove);
    EXPECT_TRUE(Duplicado());
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(DuplicadosTest, AFailureShowsItsMessageAndCountsAsNoRepeat) {
    // The same request, but PRAXISAnterior.ZLN cannot be read after CLICAB.ZLN compared equal.
    Solicitudes("X", "X", 0, 10, 0, 20);
    prueba::EscribirArchivo(Ter("PRAXIS.ZLN"), "P");
    prueba::EscribirArchivo(Ter("PRAXISAnterior.ZLN"), "P");
    archivos::InstalarInterceptor([](const char* operacion, const std::string& ruta) {
        if (std::string_view(operacion) == "LeerTramo" && ruta.ends_with("PRAXISAnterior.ZLN"))
            throw plataforma::ErrorSistema(29, "fallo de prueba");
    });
    EXPECT_FALSE(Duplicado());
    archivos::InstalarInterceptor({});
    ASSERT_EQ(ui.mensajes.size(), 1u);
    ui.mensajes.clear();
    fs::remove(Ter("PRAXIS.ZLN"));
    fs::remove(Ter("PRAXISAnterior.ZLN"));
    fs::remove(Ter("CLICAB.ZLN"));

    // CLICAB.ZLN missing: the time of the new file cannot be read (steps before the comparison).
    prueba::EscribirArchivo(Ter("CLICABAnterior.ZLN"), "X");
    EXPECT_FALSE(Duplicado());
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].texto, "Se produjo un error al comparar archivos Korvane");
    EXPECT_EQ(ui.mensajes[0].titulo, "Error");
    EXPECT_EQ(ui.mensajes[0].icono, Icono::Informacion);
    EXPECT_FALSE(fs::exists(Log(ahora)));
}

// The kept answer is exactly the set of files the terminal got, and is restored as that set.
TEST_F(DuplicadosTest, KeepingAndRestoringTheAnswerAsASet) {
    prueba::EscribirArchivo(Descarga("SERESP.ZLN"), "R2");
    prueba::EscribirArchivo(Descarga("PRAXIS.ZLN"), "PX2");
    EXPECT_TRUE(GuardarRespuestasAnteriores(rutaZelno, true, ui));
    EXPECT_EQ(prueba::LeerArchivo(Descarga("SERESPAnterior.ZLN")), "R2");
    EXPECT_EQ(prueba::LeerArchivo(Descarga("PRAXISAnterior.ZLN")), "PX2");
    RecuperarRespuestasAnteriores(rutaZelno, rutaKorvane, ui);
    EXPECT_EQ(prueba::LeerArchivo(Ter("SERESP.ZLN")), "R2");
    EXPECT_EQ(prueba::LeerArchivo(Ter("PRAXIS.ZLN")), "PX2");

    // An answer without PRAXIS.ZLN: the older kept PRAXIS must not travel with this SERESP.
    prueba::EscribirArchivo(Descarga("SERESP.ZLN"), "R3");
    EXPECT_TRUE(GuardarRespuestasAnteriores(rutaZelno, false, ui));
    EXPECT_EQ(prueba::LeerArchivo(Descarga("SERESPAnterior.ZLN")), "R3");
    EXPECT_FALSE(fs::exists(Descarga("PRAXISAnterior.ZLN")));
    EXPECT_TRUE(RecuperarRespuestasAnteriores(rutaZelno, rutaKorvane, ui));
    EXPECT_EQ(prueba::LeerArchivo(Ter("SERESP.ZLN")), "R3");
    EXPECT_FALSE(fs::exists(Ter("PRAXIS.ZLN")));
    // The kept answer stays for further repeats.
    EXPECT_TRUE(fs::exists(Descarga("SERESPAnterior.ZLN")));
    EXPECT_TRUE(ui.mensajes.empty());

    // Nothing kept to restore is a failure, not an "S" without SERESP.ZLN.
    fs::remove(Descarga("SERESPAnterior.ZLN"));
    fs::remove(Ter("SERESP.ZLN"));
    EXPECT_FALSE(RecuperarRespuestasAnteriores(rutaZelno, rutaKorvane, ui));
    EXPECT_FALSE(fs::exists(Ter("SERESP.ZLN")));
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].texto, "Se produjo un error al buscar archivos Zelno");
}

TEST_F(DuplicadosTest, KeepFailureShowsItsMessage) {
    prueba::EscribirArchivo(Descarga("SERESP.ZLN"), "R");
    prueba::EscribirArchivo(Descarga("PRAXIS.ZLN"), "P");
    // A folder where the copy should go: the copy fails, after PRAXIS.ZLN's (which the next hand-off
    // needs to know this answer's PRAXIS.ZLN for ours).
    prueba::CrearCarpetas(Descarga("SERESPAnterior.ZLN"));
    EXPECT_FALSE(GuardarRespuestasAnteriores(rutaZelno, true, ui));
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].texto, "Se produjo un error al hacer copia de archivos Zelno");
    EXPECT_EQ(ui.mensajes[0].titulo, "Error");
    EXPECT_EQ(ui.mensajes[0].icono, Icono::Informacion);
    EXPECT_EQ(prueba::LeerArchivo(Descarga("PRAXISAnterior.ZLN")), "P");
}

TEST_F(DuplicadosTest, RestoreIntoAMissingFolderShowsItsMessage) {
    prueba::EscribirArchivo(Descarga("SERESPAnterior.ZLN"), "R");
    fs::remove_all(rutaKorvane);
    RecuperarRespuestasAnteriores(rutaZelno, rutaKorvane, ui);
    ASSERT_EQ(ui.mensajes.size(), 1u);
    EXPECT_EQ(ui.mensajes[0].texto, "Se produjo un error al buscar archivos Zelno");
    EXPECT_EQ(ui.mensajes[0].titulo, "Error");
    EXPECT_EQ(ui.mensajes[0].icono, Icono::Informacion);
}

TEST(GrabarLog, DailyFileTwoRecordsPerEntry) {
    prueba::CarpetaTemporal k;
    prueba::CrearCarpetas(k / "TER01");
    prueba::EscribirArchivo(k / "TER01/CLICAB.ZLN", "1234\r\nmas\r\nlineas");
    archivos::FechaHora ahora{2026, 12, 6, 23, 59, 59};
    const RelojLocal reloj = [&] { return ahora; };
    const std::string ter = (std::filesystem::path(k.Ruta()) / "TER01").string();

    GrabarLog(k.Ruta(), ter, reloj);
    GrabarLog(k.Ruta() + (k.Ruta().find('\\') != std::string::npos ? "\\" : "/"), ter, reloj);
    EXPECT_EQ(prueba::LeerArchivo(k / "LogTramiza20261206.txt"),
              "\"Determino que el archivo de la hora 2026/06/12 23:59:59 era duplicado\"\r\n\"1234\"\r\n"
              "\"Determino que el archivo de la hora 2026/06/12 23:59:59 era duplicado\"\r\n\"1234\"\r\n");

    // Just after midnight the entry goes to the new day's file; a request file without a carriage
    // return is its own first line, and a missing one gives an empty record.
    ahora = {2026, 12, 7, 0, 0, 1};
    prueba::EscribirArchivo(k / "TER01/CLICAB.ZLN", "sin \"fin\"");
    GrabarLog(k.Ruta(), ter, reloj);
    std::filesystem::remove(k / "TER01/CLICAB.ZLN");
    GrabarLog(k.Ruta(), ter, reloj);
    EXPECT_EQ(prueba::LeerArchivo(k / "LogTramiza20261207.txt"),
              "\"Determino que el archivo de la hora 2026/07/12 00:00:01 era duplicado\"\r\n\"sin \"fin\"\"\r\n"
              "\"Determino que el archivo de la hora 2026/07/12 00:00:01 era duplicado\"\r\n\"\"\r\n");
}

// Request files of any size are compared, and their first line logged, a bounded piece at a time.
TEST(GrabarLog, HugeRequestFilesAreReadInBoundedPieces) {
    prueba::CarpetaTemporal k;
    prueba::CrearCarpetas(k / "TER01");
    std::string grande(3 << 20, 'x');
    prueba::EscribirArchivo(k / "a", grande);
    prueba::EscribirArchivo(k / "TER01/CLICAB.ZLN", grande);
    grande.back() = 'y';
    prueba::EscribirArchivo(k / "b", grande);
    archivos::InstalarInterceptor(
        [&](const char* operacion, const std::string&) { EXPECT_STRNE(operacion, "LeerCompleto"); });
    EXPECT_FALSE(CompararArchivos(k / "a", k / "b"));
    EXPECT_TRUE(CompararArchivos(k / "b", k / "b"));
    GrabarLog(k.Ruta(), k / "TER01", [] { return archivos::FechaHora{2026, 12, 6, 1, 2, 3}; });
    archivos::InstalarInterceptor({});
    const std::string log = prueba::LeerArchivo(k / "LogTramiza20261206.txt");
    EXPECT_EQ(log.substr(log.find("\r\n\"") + 2), "\"" + std::string(kInicioPrimeraLinea, 'x') + "\"\r\n");
}

TEST(GrabarLog, MissingLogFolderIsIgnored) {
    prueba::CarpetaTemporal k;
    const RelojLocal reloj = [] { return archivos::FechaHora{2026, 1, 2, 3, 4, 5}; };
    GrabarLog(k / "NOEXISTE", k / "TER01", reloj);
    EXPECT_FALSE(std::filesystem::exists(k / "NOEXISTE"));
}

}  // namespace
