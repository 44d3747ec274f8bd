#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "support/almacen_aislado.h"
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

// Every test works on applications of its own, so the user's own settings are never touched.
using AlmacenAjustes = prueba::AlmacenAislado;

TEST_F(AlmacenAjustes, ValuesComeBackByteForByte) {
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
    for (std::size_t i = 0; i < valores.size(); ++i) GrabarAjuste(app_, "Valores", clave(i), valores[i]);
    for (std::size_t i = 0; i < valores.size(); ++i)
        EXPECT_EQ(LeerAjuste(app_, "Valores", clave(i), kAusente), valores[i]) << "valor " << i;
}

TEST_F(AlmacenAjustes, SectionAndKeyNamesWithReservedCharacters) {
    const std::string seccion = "Secci\xF3n [1] = 100%";
    const std::string clave = "cl=ave [a] %41\r\n";
    GrabarAjuste(app_, seccion, clave, "uno");
    GrabarAjuste(app_, "Secci\xF3n", "cl", "dos");
    EXPECT_EQ(LeerAjuste(app_, seccion, clave, kAusente), "uno");
    EXPECT_EQ(LeerAjuste(app_, "Secci\xF3n", "cl", kAusente), "dos");
    // The escapes must not make another name read the same value.
    EXPECT_EQ(LeerAjuste(app_, seccion, "cl=ave [a] A\r\n", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app_, "Secci\xF3n [1] = 100%25", clave, kAusente), kAusente);
}

TEST_F(AlmacenAjustes, AbsentApplicationSectionOrKeyGivesTheDefault) {
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", "C:\\Estandar"), "C:\\Estandar");
    GrabarAjuste(app_, "Intervalo", "Tramiza", "5");
    EXPECT_EQ(LeerAjuste(app_, "ActivarTX", "Tramiza", "1"), "1");
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Otra", ""), "");
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", "1"), "5");
}

TEST_F(AlmacenAjustes, EmptyStoredValueIsNotAbsent) {
    GrabarAjuste(app_, "ZelnoExe", "Tramiza", "");
    EXPECT_EQ(LeerAjuste(app_, "ZelnoExe", "Tramiza", "por defecto"), "");
}

TEST_F(AlmacenAjustes, LetterCaseOfSectionAndKeyIsIgnored) {
    GrabarAjuste(app_, "Intervalo", "Tramiza", "5");
    EXPECT_EQ(LeerAjuste(app_, "INTERVALO", "tramiza", kAusente), "5");
    GrabarAjuste(app_, "intervalo", "TRAMIZA", "6");
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", kAusente), "6");
    BorrarAjuste(app_, "iNTERVALO", "tRAMIZA");
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", kAusente), kAusente);
}

TEST_F(AlmacenAjustes, OverwriteReplacesTheValue) {
    GrabarAjuste(app_, "S", "k", "un valor largo que ocupa m\xE1s");
    GrabarAjuste(app_, "S", "k", "corto");
    EXPECT_EQ(LeerAjuste(app_, "S", "k", kAusente), "corto");
    BorrarAjuste(app_, "S", "k");
    // A second copy of the key left behind by the overwrite would show up here.
    EXPECT_EQ(LeerAjuste(app_, "S", "k", kAusente), kAusente);
}

TEST_F(AlmacenAjustes, DeleteRemovesOnlyThatKey) {
    GrabarAjuste(app_, "LastDirKorvane", "1", "C:\\uno");
    GrabarAjuste(app_, "LastDirKorvane", "2", "C:\\dos");
    GrabarAjuste(app_, "LastDirKorvane", "3", "C:\\tres");
    GrabarAjuste(app_, "LastDirZelno", "2", "C:\\otra");
    BorrarAjuste(app_, "LastDirKorvane", "2");
    EXPECT_EQ(LeerAjuste(app_, "LastDirKorvane", "1", kAusente), "C:\\uno");
    EXPECT_EQ(LeerAjuste(app_, "LastDirKorvane", "2", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app_, "LastDirKorvane", "3", kAusente), "C:\\tres");
    EXPECT_EQ(LeerAjuste(app_, "LastDirZelno", "2", kAusente), "C:\\otra");
    // The key can be stored again after its deletion.
    GrabarAjuste(app_, "LastDirKorvane", "2", "C:\\nueva");
    EXPECT_EQ(LeerAjuste(app_, "LastDirKorvane", "2", kAusente), "C:\\nueva");
}

TEST_F(AlmacenAjustes, DeletingAnAbsentKeyThrows) {
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
    esperaAusente([&] { BorrarAjuste(app_, "LastDirKorvane", "1"); }, "absent application");
    GrabarAjuste(app_, "LastDirKorvane", "1", "C:\\uno");
    esperaAusente([&] { BorrarAjuste(app_, "LastDirZelno", "1"); }, "absent section");
    esperaAusente([&] { BorrarAjuste(app_, "LastDirKorvane", "2"); }, "absent key");
    BorrarAjuste(app_, "LastDirKorvane", "1");
    esperaAusente([&] { BorrarAjuste(app_, "LastDirKorvane", "1"); }, "key deleted before");
}

TEST_F(AlmacenAjustes, ApplicationsAreSeparate) {
    const std::string& a = app_;
    const std::string b = OtraAplicacion();
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
    const std::string valor = "C:\\Archivos de programa\\Zelno\\Zelno32.exe /a \xF1";
    GrabarAjuste(app_, "ZelnoExe", "Tramiza", valor);

    ClaveLeida clave(RutaSeccion(app_, "ZelnoExe"));
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
    GrabarAjuste(app_, "S", "marca", "x");
    ClaveLeida clave(RutaSeccion(app_, "S"));
    ASSERT_EQ(clave.resultado, ERROR_SUCCESS);

    const DWORD numero = 7;
    RegSetValueExA(clave.h, "numero", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&numero), sizeof numero);
    RegSetValueExA(clave.h, "binario", 0, REG_BINARY, reinterpret_cast<const BYTE*>("abc"), 3);
    // Written without its terminating NUL.
    RegSetValueExA(clave.h, "sinNul", 0, REG_SZ, reinterpret_cast<const BYTE*>("abc"), 3);
    const std::string largo = std::string(100000, 'z') + "fin";
    RegSetValueExA(clave.h, "largo", 0, REG_SZ, reinterpret_cast<const BYTE*>(largo.c_str()),
                   static_cast<DWORD>(largo.size() + 1));

    EXPECT_EQ(LeerAjuste(app_, "S", "numero", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app_, "S", "binario", kAusente), kAusente);
    EXPECT_EQ(LeerAjuste(app_, "S", "sinNul", kAusente), "abc");
    EXPECT_EQ(LeerAjuste(app_, "S", "largo", kAusente), largo);
}

#else

std::string ArchivoDe(const prueba::CarpetaTemporal& carpeta, const std::string& app) {
    return carpeta / (app + ".ini");
}

TEST_F(AlmacenAjustes, IniFileHasTheExpectedText) {
    GrabarAjuste(app_, "Intervalo", "Tramiza", "1");
    GrabarAjuste(app_, "ZelnoExe", "Tramiza", " C:\\Zelno\\Zelno32.exe ");
    GrabarAjuste(app_, "Sec=[x]", "k%", "v\r\n%=[y]");
    GrabarAjuste(app_, "INTERVALO", "TRAMIZA", "-3");
    EXPECT_EQ(prueba::LeerArchivo(ArchivoDe(carpeta_, app_)),
              "[Intervalo]\n"
              "Tramiza=-3\n"
              "[ZelnoExe]\n"
              "Tramiza= C:\\Zelno\\Zelno32.exe \n"
              "[Sec%3D%5Bx%5D]\n"
              "k%25=v%0D%0A%25=[y]\n");
    BorrarAjuste(app_, "zelnoexe", "tramiza");
    EXPECT_EQ(prueba::LeerArchivo(ArchivoDe(carpeta_, app_)),
              "[Intervalo]\n"
              "Tramiza=-3\n"
              "[ZelnoExe]\n"
              "[Sec%3D%5Bx%5D]\n"
              "k%25=v%0D%0A%25=[y]\n");
}

TEST_F(AlmacenAjustes, ConfigFolderComesFromXdgConfigHomeAndIsCreated) {
    const std::string carpeta = carpeta_ / "nueva/config";
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", carpeta.c_str(), 1), 0);
    GrabarAjuste(app_, "Intervalo", "Tramiza", "3");
    EXPECT_EQ(prueba::LeerArchivo(carpeta + "/" + app_ + ".ini"), "[Intervalo]\nTramiza=3\n");
    // Nothing else is left in the folder: the temporary file went by rename.
    int entradas = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(carpeta)) ++entradas;
    EXPECT_EQ(entradas, 1);

    // Another folder is another store.
    ASSERT_EQ(setenv("XDG_CONFIG_HOME", carpeta_.Ruta().c_str(), 1), 0);
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", "1"), "1");
}

TEST_F(AlmacenAjustes, WithoutXdgConfigHomeTheFileGoesToHomeDotConfig) {
    const char* homePrevio = std::getenv("HOME");
    const std::optional<std::string> home = homePrevio ? std::optional<std::string>(homePrevio) : std::nullopt;
    ASSERT_EQ(setenv("HOME", carpeta_.Ruta().c_str(), 1), 0);
    unsetenv("XDG_CONFIG_HOME");
    GrabarAjuste(app_, "Intervalo", "Tramiza", "4");
    const std::string leido = LeerAjuste(app_, "Intervalo", "Tramiza", kAusente);
    if (home)
        setenv("HOME", home->c_str(), 1);
    else
        unsetenv("HOME");
    EXPECT_EQ(leido, "4");
    EXPECT_EQ(prueba::LeerArchivo(carpeta_ / (".config/" + app_ + ".ini")), "[Intervalo]\nTramiza=4\n");
}

TEST_F(AlmacenAjustes, HandEditedFileIsReadAndItsOtherLinesKept) {
    const std::string ruta = ArchivoDe(carpeta_, app_);
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
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", kAusente), "4");
    // One CR is taken off before LF: "[ZelnoExe]\r" is no section header.
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "otra", kAusente), "1");
    EXPECT_EQ(LeerAjuste(app_, "DirectorioKorvane", "Tramiza", kAusente), "C:\\100%");
    EXPECT_EQ(LeerAjuste(app_, "", "suelta", kAusente), kAusente);

    GrabarAjuste(app_, "Intervalo", "Tramiza", "8");
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
    EXPECT_EQ(LeerAjuste(app_, "DirectorioKorvane", "Tramiza", kAusente), "C:\\100%");
    EXPECT_EQ(LeerAjuste(app_, "ZelnoExe", "otra", kAusente), kAusente);
}

TEST_F(AlmacenAjustes, BinaryGarbageNeverCrashes) {
    std::string basura;
    std::mt19937 azar(12345);
    for (int i = 0; i < 20000; ++i) basura += static_cast<char>(azar() % 256);
    basura += "\n[S]\nk=v";
    prueba::EscribirArchivo(ArchivoDe(carpeta_, app_), basura);
    EXPECT_EQ(LeerAjuste(app_, "S", "k", kAusente), "v");
    GrabarAjuste(app_, "S", "k2", "w");
    EXPECT_EQ(LeerAjuste(app_, "S", "k", kAusente), "v");
    EXPECT_EQ(LeerAjuste(app_, "S", "k2", kAusente), "w");
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
    GrabarAjuste(app_, "Intervalo", "Tramiza", "2");
    const std::string antes = prueba::LeerArchivo(ArchivoDe(carpeta_, app_));
    {
        LimiteTamanio limite(64);
        try {
            GrabarAjuste(app_, "ZelnoExe", "Tramiza", std::string(1000, 'z'));
            ADD_FAILURE() << "no exception";
        } catch (const plataforma::ErrorSistema& e) {
            EXPECT_EQ(e.Numero(), EFBIG);
        }
    }
    EXPECT_EQ(prueba::LeerArchivo(ArchivoDe(carpeta_, app_)), antes);
    int entradas = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(carpeta_.Ruta())) ++entradas;
    EXPECT_EQ(entradas, 1);
}

#endif

}  // namespace
