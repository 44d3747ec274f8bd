#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "support/soporte.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstdlib>
#include <optional>
#endif

namespace {

using ajustes::BorrarAjuste;
using ajustes::GrabarAjuste;
using ajustes::LeerAjuste;

const std::string kAusente = "<ausente>";

// Every test works on applications of its own: under Windows fresh registry trees removed at the
// end, elsewhere a scratch XDG_CONFIG_HOME, so the user's own settings are never touched.
class AlmacenAjustes : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef _WIN32
        if (const char* previo = std::getenv("XDG_CONFIG_HOME")) xdgPrevio_ = previo;
        ASSERT_EQ(setenv("XDG_CONFIG_HOME", carpeta_.Ruta().c_str(), 1), 0);
#endif
    }

    void TearDown() override {
#ifdef _WIN32
        for (const std::string& app : aplicaciones_)
            RegDeleteTreeA(HKEY_CURRENT_USER, ("Software\\VB and VBA Program Settings\\" + app).c_str());
#else
        if (xdgPrevio_)
            setenv("XDG_CONFIG_HOME", xdgPrevio_->c_str(), 1);
        else
            unsetenv("XDG_CONFIG_HOME");
#endif
    }

    std::string NuevaAplicacion() {
        static std::mt19937 azar{std::random_device{}()};
        aplicaciones_.push_back("TramizaPrueba" + std::to_string(azar() % 1000000000u));
        return aplicaciones_.back();
    }

    std::vector<std::string> aplicaciones_;
#ifndef _WIN32
    prueba::CarpetaTemporal carpeta_;
    std::optional<std::string> xdgPrevio_;
#endif
};

TEST_F(AlmacenAjustes, ValuesComeBackByteForByte) {
    const std::string app = NuevaAplicacion();
    const std::vector<std::string> valores = {
        "C:\\Estandar\\",
        "  blancos delante y detr\xE1s  ",
        "\tTab\t",
        "a=b=c",
        "100% y %25 y %%",
        "[x]",
        "[Intervalo]",
        "l\xEDnea 1\r\nl\xEDnea 2\nl\xEDnea 3\r",
        "\xF1\xD1\x80\xFF\x01",
        ";no es comentario",
        std::string(5000, 'x') + "fin",
    };
    const auto clave = [](std::size_t i) { return std::string("k").append(std::to_string(i)); };
    for (std::size_t i = 0; i < valores.size(); ++i) GrabarAjuste(app, "Valores", clave(i), valores[i]);
    for (std::size_t i = 0; i < valores.size(); ++i)
        EXPECT_EQ(LeerAjuste(app, "Valores", clave(i), kAusente), valores[i]) << "valor " << i;
}

TEST_F(AlmacenAjustes, SectionAndKeyNamesWithReservedCharacters) {
    const std::string app = NuevaAplicacion();
    const std::string seccion = "Secci\xF3n [1] = 100%";
    const std::string clave = "cl=ave [a] %41\r\n";
    GrabarAjuste(app, seccion, clave, "uno");
    GrabarAjuste(app, "Secci\xF3n", "cl", "dos");
    EXPECT_EQ(LeerAjuste(app, seccion, clave, kAusente), "uno");
    EXPECT_EQ(LeerAjuste(app, "Secci\xF3n", "cl", kAusente), "dos");
    // The escapes must not make another name read the same value.
    EXPECT_EQ(LeerAjuste(app, seccion, "cl=ave [a] A\r\n", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app, "Secci\xF3n [1] = 100%25", clave, kAusente), kAusente);
}

TEST_F(AlmacenAjustes, AbsentApplicationSectionOrKeyGivesTheDefault) {
    const std::string app = NuevaAplicacion();
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Tramiza", "C:\\Estandar"), "C:\\Estandar");
    GrabarAjuste(app, "Intervalo", "Tramiza", "5");
    EXPECT_EQ(LeerAjuste(app, "ActivarTX", "Tramiza", "1"), "1");
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Otra", ""), "");
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Tramiza", "1"), "5");
}

TEST_F(AlmacenAjustes, EmptyStoredValueIsNotAbsent) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "ZelnoExe", "Tramiza", "");
    EXPECT_EQ(LeerAjuste(app, "ZelnoExe", "Tramiza", "por defecto"), "");
}

TEST_F(AlmacenAjustes, LetterCaseOfSectionAndKeyIsIgnored) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "Intervalo", "Tramiza", "5");
    EXPECT_EQ(LeerAjuste(app, "INTERVALO", "tramiza", kAusente), "5");
    GrabarAjuste(app, "intervalo", "TRAMIZA", "6");
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Tramiza", kAusente), "6");
    BorrarAjuste(app, "iNTERVALO", "tRAMIZA");
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Tramiza", kAusente), kAusente);
}

TEST_F(AlmacenAjustes, OverwriteReplacesTheValue) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "S", "k", "un valor largo que ocupa m\xE1s");
    GrabarAjuste(app, "S", "k", "corto");
    EXPECT_EQ(LeerAjuste(app, "S", "k", kAusente), "corto");
    BorrarAjuste(app, "S", "k");
    // A second copy of the key left behind by the overwrite would show up here.
    EXPECT_EQ(LeerAjuste(app, "S", "k", kAusente), kAusente);
}

TEST_F(AlmacenAjustes, DeleteRemovesOnlyThatKey) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "LastDirKorvane", "1", "C:\\uno");
    GrabarAjuste(app, "LastDirKorvane", "2", "C:\\dos");
    GrabarAjuste(app, "LastDirKorvane", "3", "C:\\tres");
    GrabarAjuste(app, "LastDirZelno", "2", "C:\\otra");
    BorrarAjuste(app, "LastDirKorvane", "2");
    EXPECT_EQ(LeerAjuste(app, "LastDirKorvane", "1", kAusente), "C:\\uno");
    EXPECT_EQ(LeerAjuste(app, "LastDirKorvane", "2", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app, "LastDirKorvane", "3", kAusente), "C:\\tres");
    EXPECT_EQ(LeerAjuste(app, "LastDirZelno", "2", kAusente), "C:\\otra");
    // The key can be stored again after its deletion.
    GrabarAjuste(app, "LastDirKorvane", "2", "C:\\nueva");
    EXPECT_EQ(LeerAjuste(app, "LastDirKorvane", "2", kAusente), "C:\\nueva");
}

TEST_F(AlmacenAjustes, DeletingAnAbsentKeyThrows) {
    const std::string app = NuevaAplicacion();
    // ERROR_FILE_NOT_FOUND and ENOENT are both 2.
    const auto esperaAusente = [](auto&& accion, const char* caso) {
        try {
            accion();
            ADD_FAILURE() << caso << ": no exception";
        } catch (const plataforma::ErrorSistema& e) {
            EXPECT_EQ(e.Numero(), 2) << caso;
            EXPECT_FALSE(e.Descripcion().empty()) << caso;
        }
    };
    esperaAusente([&] { BorrarAjuste(app, "LastDirKorvane", "1"); }, "absent application");
    GrabarAjuste(app, "LastDirKorvane", "1", "C:\\uno");
    esperaAusente([&] { BorrarAjuste(app, "LastDirZelno", "1"); }, "absent section");
    esperaAusente([&] { BorrarAjuste(app, "LastDirKorvane", "2"); }, "absent key");
    BorrarAjuste(app, "LastDirKorvane", "1");
    esperaAusente([&] { BorrarAjuste(app, "LastDirKorvane", "1"); }, "key deleted before");
}

TEST_F(AlmacenAjustes, ApplicationsAreSeparate) {
    const std::string a = NuevaAplicacion();
    const std::string b = NuevaAplicacion();
    GrabarAjuste(a, "Intervalo", "Tramiza", "7");
    EXPECT_EQ(LeerAjuste(b, "Intervalo", "Tramiza", "1"), "1");
    GrabarAjuste(b, "Intervalo", "Tramiza", "9");
    EXPECT_EQ(LeerAjuste(a, "Intervalo", "Tramiza", "1"), "7");
    BorrarAjuste(a, "Intervalo", "Tramiza");
    EXPECT_EQ(LeerAjuste(b, "Intervalo", "Tramiza", "1"), "9");
}

TEST(NombreAplicacion, IsTheExecutableNameWithoutFolderOrExtension) {
    EXPECT_EQ(ajustes::NombreAplicacion(), "platform_tests");
}

#ifdef _WIN32

class ClaveLeida {
public:
    explicit ClaveLeida(const std::string& ruta) {
        resultado = RegOpenKeyExA(HKEY_CURRENT_USER, ruta.c_str(), 0, KEY_READ | KEY_SET_VALUE, &h);
    }
    ~ClaveLeida() {
        if (resultado == ERROR_SUCCESS) RegCloseKey(h);
    }
    ClaveLeida(const ClaveLeida&) = delete;
    ClaveLeida& operator=(const ClaveLeida&) = delete;
    HKEY h = nullptr;
    LONG resultado;
};

std::string RutaSeccion(const std::string& app, const std::string& seccion) {
    return "Software\\VB and VBA Program Settings\\" + app + "\\" + seccion;
}

TEST_F(AlmacenAjustes, ValueSitsInTheRegistryAsRegSz) {
    const std::string app = NuevaAplicacion();
    const std::string valor = "C:\\Archivos de programa\\Zelno\\Zelno32.exe /a \xF1";
    GrabarAjuste(app, "ZelnoExe", "Tramiza", valor);

    ClaveLeida clave(RutaSeccion(app, "ZelnoExe"));
    ASSERT_EQ(clave.resultado, ERROR_SUCCESS);
    DWORD tipo = 0;
    char datos[256] = {};
    DWORD tamanio = sizeof datos;
    ASSERT_EQ(RegQueryValueExA(clave.h, "Tramiza", nullptr, &tipo, reinterpret_cast<BYTE*>(datos), &tamanio),
              ERROR_SUCCESS);
    EXPECT_EQ(tipo, static_cast<DWORD>(REG_SZ));
    ASSERT_EQ(tamanio, valor.size() + 1);
    EXPECT_EQ(std::string(datos, tamanio), valor + '\0');
}

TEST_F(AlmacenAjustes, ValuesWrittenByOtherProgramsAreRead) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "S", "marca", "x");
    ClaveLeida clave(RutaSeccion(app, "S"));
    ASSERT_EQ(clave.resultado, ERROR_SUCCESS);

    const DWORD numero = 7;
    RegSetValueExA(clave.h, "numero", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&numero), sizeof numero);
    RegSetValueExA(clave.h, "binario", 0, REG_BINARY, reinterpret_cast<const BYTE*>("abc"), 3);
    // Written without its terminating NUL.
    RegSetValueExA(clave.h, "sinNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    const std::string largo = std::string(100000, 'z') + "fin";
    RegSetValueExA(clave.h, "largo", 0, REG_SZ, reinterpret_cast<const BYTE*>(largo.c_str()),
                   static_cast<DWORD>(largo.size() + 1));

    EXPECT_EQ(LeerAjuste(app, "S", "numero", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app, "S", "binario", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app, "S", "sinNul", kAusente), "abc");
    EXPECT_EQ(LeerAjuste(app, "S", "largo", kAusente), largo);
}

#else

std::string ArchivoDe(const prueba::CarpetaTemporal& carpeta, const std::string& app) {
    return carpeta / (app + ".ini");
}

TEST_F(AlmacenAjustes, IniFileHasTheExpectedText) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "Intervalo", "Tramiza", "1");
    GrabarAjuste(app, "ZelnoExe", "Tramiza", " C:\\Zelno\\Zelno32.exe ");
    GrabarAjuste(app, "Sec=[x]", "k%", "v\r\n%=[y]");
    GrabarAjuste(app, "INTERVALO", "TRAMIZA", "-3");
    EXPECT_EQ(prueba::LeerArchivo(ArchivoDe(carpeta_, app)),
              "[Intervalo]\n"
              "Tramiza=-3\n"
              "[ZelnoExe]\n"
              "Tramiza= C:\\Zelno\\Zelno32.exe \n"
              "[Sec%3D%5Bx%5D]\n"
              "k%25=v%0D%0A%25=[y]\n");
    BorrarAjuste(app, "zelnoexe", "tramiza");
    EXPECT_EQ(prueba::LeerArchivo(ArchivoDe(carpeta_, app)),
              "[Intervalo]\n"
              "Tramiza=-3\n"
              "[ZelnoExe]\n"
              "[Sec%3D%5Bx%5D]\n"
              "k%25=v%0D%0A%25=[y]\n");
}

TEST_F(AlmacenAjustes, ConfigFolderComesFromXdgConfigHomeAndIsCreated) {
    const std::string app = NuevaAplicacion();
    const std::string carpeta = carpeta_ / "nueva/config";
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", carpeta.c_str(), 1), 0);
    GrabarAjuste(app, "Intervalo", "Tramiza", "3");
    EXPECT_EQ(prueba::LeerArchivo(carpeta + "/" + app + ".ini"), "[Intervalo]\nTramiza=3\n");
    // Nothing else is left in the folder: the temporary file went by rename.
    int entradas = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(carpeta)) ++entradas;
    EXPECT_EQ(entradas, 1);

    // Another folder is another store.
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", carpeta_.Ruta().c_str(), 1), 0);
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Tramiza", "1"), "1");
}

TEST_F(AlmacenAjustes, WithoutXdgConfigHomeTheFileGoesToHomeDotConfig) {
    const std::string app = NuevaAplicacion();
    const char* homePrevio = std::getenv("HOME");
    const std::optional<std::string> home = homePrevio ? std::optional<std::string>(homePrevio) : std::nullopt;
    ASSERT_EQ(setenv("HOME", carpeta_.Ruta().c_str(), 1), 0);
    unsetenv("XDG_CONFIG_HOME");
    GrabarAjuste(app, "Intervalo", "Tramiza", "4");
    const std::string leido = LeerAjuste(app, "Intervalo", "Tramiza", kAusente);
    if (home)
        setenv("HOME", home->c_str(), 1);
    else
        unsetenv("HOME");
    EXPECT_EQ(leido, "4");
    EXPECT_EQ(prueba::LeerArchivo(carpeta_ / (".config/" + app + ".ini")), "[Intervalo]\nTramiza=4\n");
}

TEST_F(AlmacenAjustes, HandEditedFileIsReadAndItsOtherLinesKept) {
    const std::string app = NuevaAplicacion();
    const std::string ruta = ArchivoDe(carpeta_, app);
    prueba::EscribirArchivo(ruta,
                            "suelta=antes de toda secci\xF3n\r\n"
                            "; comentario\r\n"
                            "[Intervalo]\r\n"
                            "Tramiza=4\r\n"
                            "l\xEDnea sin igual\n"
                            "\n"
                            "[sin cierre\n"
                            "[ZelnoExe]\r\r\n"
                            "otra=1\n"
                            "[DirectorioKorvane]\n"
                            "Tramiza=C:\\100%\n"
                            "[intervalo]\n"
                            "tramiza=duplicada");
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "Tramiza", kAusente), "4");
    // One CR is taken off before LF: "[ZelnoExe]\r" is no section header.
    EXPECT_EQ(LeerAjuste(app, "Intervalo", "otra", kAusente), "1");
    EXPECT_EQ(LeerAjuste(app, "DirectorioKorvane", "Tramiza", kAusente), "C:\\100%");
    EXPECT_EQ(LeerAjuste(app, "", "suelta", kAusente), kAusente);

    GrabarAjuste(app, "Intervalo", "Tramiza", "8");
    EXPECT_EQ(prueba::LeerArchivo(ruta),
              "suelta=antes de toda secci\xF3n\n"
              "; comentario\n"
              "[Intervalo]\n"
              "Tramiza=8\n"
              "l\xEDnea sin igual\n"
              "\n"
              "[sin cierre\n"
              "[ZelnoExe]\r\r\n"
              "otra=1\n"
              "[DirectorioKorvane]\n"
              "Tramiza=C:\\100%25\n"
              "[intervalo]\n");
    EXPECT_EQ(LeerAjuste(app, "DirectorioKorvane", "Tramiza", kAusente), "C:\\100%");
    EXPECT_EQ(LeerAjuste(app, "ZelnoExe", "otra", kAusente), kAusente);
}

TEST_F(AlmacenAjustes, BinaryGarbageNeverCrashes) {
    const std::string app = NuevaAplicacion();
    std::string basura;
    std::mt19937 azar(12345);
    for (int i = 0; i < 20000; ++i) basura += static_cast<char>(azar() % 256);
    basura += "\n[S]\nk=v";
    prueba::EscribirArchivo(ArchivoDe(carpeta_, app), basura);
    EXPECT_EQ(LeerAjuste(app, "S", "k", kAusente), "v");
    GrabarAjuste(app, "S", "k2", "w");
    EXPECT_EQ(LeerAjuste(app, "S", "k", kAusente), "v");
    EXPECT_EQ(LeerAjuste(app, "S", "k2", kAusente), "w");
}

// A size limit on files makes the write of the new content fail half-way.
class LimiteTamanio {
public:
    explicit LimiteTamanio(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &previo_);
        manejadorPrevio_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit nuevo = previo_;
        nuevo.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &nuevo);
    }
    ~LimiteTamanio() {
        setrlimit(RLIMIT_FSIZE, &previo_);
        std::signal(SIGXFSZ, manejadorPrevio_);
    }
    LimiteTamanio(const LimiteTamanio&) = delete;
    LimiteTamanio& operator=(const LimiteTamanio&) = delete;

private:
    rlimit previo_{};
    void (*manejadorPrevio_)(int) = SIG_DFL;
};

TEST_F(AlmacenAjustes, FailedWriteKeepsWhatWasSaved) {
    const std::string app = NuevaAplicacion();
    GrabarAjuste(app, "Intervalo", "Tramiza", "2");
    const std::string antes = prueba::LeerArchivo(ArchivoDe(carpeta_, app));
    {
        LimiteTamanio limite(64);
        try {
            GrabarAjuste(app, "ZelnoExe", "Tramiza", std::string(1000, 'z'));
            ADD_FAILURE() << "no exception";
        } catch (const plataforma::ErrorSistema& e) {
            EXPECT_EQ(e.Numero(), EFBIG);
        }
    }
    EXPECT_EQ(prueba::LeerArchivo(ArchivoDe(carpeta_, app)), antes);
    int entradas = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(carpeta_.Ruta())) ++entradas;
    EXPECT_EQ(entradas, 1);
}

#endif

}  // namespace
