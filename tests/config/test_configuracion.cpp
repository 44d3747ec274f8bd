#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "config/configuracion.h"
#include "config/textos_mensajes.h"
#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "support/almacen_aislado.h"
#include "support/soporte.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cstdlib>
#include <optional>
#endif

namespace {

using ajustes::GrabarAjuste;
using ajustes::LeerAjuste;

// The seven sections in the order Load reads them and Save writes them.
const std::vector<std::string> kSecciones = {"Intervalo",         "ActivarTX",       "IniciarActivo", "IniciarZelnoExe",
                                             "DirectorioKorvane", "DirectorioZELNO", "ZelnoExe"};

class Configuracion : public prueba::AlmacenAislado {
protected:
    void Grabar(const std::string& seccion, const std::string& valor) { GrabarAjuste(app_, seccion, "Tramiza", valor); }

    // Values no load would produce, to see which fields a failed load has touched.
    static void PonerCentinelas(clsConfiguracion& c) {
        c.Intervalo = 111;
        c.ActivarTX = 222;
        c.IniciarActivo = 333;
        c.IniciarZelnoExe = 444;
        c.DirectorioKorvane = "centinela K";
        c.DirectorioZELNO = "centinela Z";
        c.ZelnoExe = "centinela E";
    }
};

TEST_F(Configuracion, NewObjectIsEmptyAndEmptyStoreLoadsTheDefaults) {
    clsConfiguracion c(app_);
    EXPECT_EQ(c.Aplicacion(), app_);
    EXPECT_EQ(c.Intervalo, 0);
    EXPECT_EQ(c.ActivarTX, 0);
    EXPECT_EQ(c.IniciarActivo, 0);
    EXPECT_EQ(c.IniciarZelnoExe, 0);
    EXPECT_EQ(c.DirectorioKorvane, "");
    EXPECT_EQ(c.DirectorioZELNO, "");
    EXPECT_EQ(c.ZelnoExe, "");

    PonerCentinelas(c);
    c.Load();
    EXPECT_EQ(c.Intervalo, 1);
    EXPECT_EQ(c.ActivarTX, 1);
    EXPECT_EQ(c.IniciarActivo, 1);
    EXPECT_EQ(c.IniciarZelnoExe, 1);
    EXPECT_EQ(c.DirectorioKorvane, "C:\\");
    EXPECT_EQ(c.DirectorioZELNO, "C:\\Estandar");
    EXPECT_EQ(c.ZelnoExe, "");
    // Loading writes nothing.
    EXPECT_EQ(LeerAjuste(app_, "Intervalo", "Tramiza", "<ausente>"), "<ausente>");
}

TEST_F(Configuracion, SaveThenLoadGivesEveryValueBack) {
    struct Caso {
        std::int16_t intervalo, activarTX, iniciarActivo, iniciarZelnoExe;
        std::string korvane, zelno, exe;
    };
    const std::vector<Caso> casos = {
        {-1, -32768, 32767, 0, " C:\\Korvane con blancos\\ ", "D:\\Zelno\\", "\"C:\\Archivos\\Zelno32.exe\" /x"},
        {32, 1, 0, 2, "\\\\servidor\\recurso",
         "C:\\Espa\xF1"
         "a",
         ""},
        {0, 0, 0, 0, "", "", " "},
    };
    for (const Caso& caso : casos) {
        clsConfiguracion guardada(app_);
        guardada.Intervalo = caso.intervalo;
        guardada.ActivarTX = caso.activarTX;
        guardada.IniciarActivo = caso.iniciarActivo;
        guardada.IniciarZelnoExe = caso.iniciarZelnoExe;
        guardada.DirectorioKorvane = caso.korvane;
        guardada.DirectorioZELNO = caso.zelno;
        guardada.ZelnoExe = caso.exe;
        guardada.Save();

        clsConfiguracion leida(app_);
        PonerCentinelas(leida);
        leida.Load();
        EXPECT_EQ(leida.Intervalo, caso.intervalo);
        EXPECT_EQ(leida.ActivarTX, caso.activarTX);
        EXPECT_EQ(leida.IniciarActivo, caso.iniciarActivo);
        EXPECT_EQ(leida.IniciarZelnoExe, caso.iniciarZelnoExe);
        EXPECT_EQ(leida.DirectorioKorvane, caso.korvane);
        EXPECT_EQ(leida.DirectorioZELNO, caso.zelno);
        EXPECT_EQ(leida.ZelnoExe, caso.exe);
    }
}

TEST_F(Configuracion, SaveStoresOneTramizaValuePerSectionAsDecimalText) {
    clsConfiguracion c(app_);
    c.Intervalo = -3;
    c.ActivarTX = 1;
    c.IniciarActivo = 0;
    c.IniciarZelnoExe = -32768;
    c.DirectorioKorvane = "C:\\Korvane\\";
    c.DirectorioZELNO = "C:\\Estandar";
    c.ZelnoExe = "C:\\Zelno\\Zelno32.exe";
    c.Save();
    const std::vector<std::string> esperados = {
        "-3", "1", "0", "-32768", "C:\\Korvane\\", "C:\\Estandar", "C:\\Zelno\\Zelno32.exe"};
    for (std::size_t i = 0; i < kSecciones.size(); ++i)
        EXPECT_EQ(LeerAjuste(app_, kSecciones[i], "Tramiza", "<ausente>"), esperados[i]) << kSecciones[i];

#ifdef _WIN32
    const std::string raiz = "Software\\VB and VBA Program Settings\\" + app_;
    HKEY aplicacion = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, raiz.c_str(), 0, KEY_READ, &aplicacion), ERROR_SUCCESS);
    DWORD subclaves = 0;
    EXPECT_EQ(RegQueryInfoKeyA(aplicacion, nullptr, nullptr, nullptr, &subclaves, nullptr, nullptr, nullptr, nullptr,
                               nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subclaves, 7u);
    RegCloseKey(aplicacion);

    for (std::size_t i = 0; i < kSecciones.size(); ++i) {
        SCOPED_TRACE(kSecciones[i]);
        HKEY h = nullptr;
        ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, (raiz + "\\" + kSecciones[i]).c_str(), 0, KEY_READ, &h),
                  ERROR_SUCCESS);
        DWORD valores = 0;
        EXPECT_EQ(RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &valores, nullptr, nullptr,
                                   nullptr, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(valores, 1u);
        char nombre[64] = {};
        DWORD largoNombre = sizeof nombre;
        DWORD tipo = 0;
        char datos[128] = {};
        DWORD largoDatos = sizeof datos;
        EXPECT_EQ(RegEnumValueA(h, 0, nombre, &largoNombre, nullptr, &tipo, reinterpret_cast<BYTE*>(datos),
                                &largoDatos),
                  ERROR_SUCCESS);
        EXPECT_EQ(std::string(nombre, largoNombre), "Tramiza");
        EXPECT_EQ(tipo, static_cast<DWORD>(REG_SZ));
        EXPECT_EQ(std::string(datos, largoDatos), esperados[i] + '\0');
        RegCloseKey(h);
    }
#else
    EXPECT_EQ(prueba::LeerArchivo(carpeta_ / (app_ + ".ini")),
              "[Intervalo]\nTramiza=-3\n"
              "[ActivarTX]\nTramiza=1\n"
              "[IniciarActivo]\nTramiza=0\n"
              "[IniciarZelnoExe]\nTramiza=-32768\n"
              "[DirectorioKorvane]\nTramiza=C:\\Korvane\\\n"
              "[DirectorioZELNO]\nTramiza=C:\\Estandar\n"
              "[ZelnoExe]\nTramiza=C:\\Zelno\\Zelno32.exe\n");
#endif
}

TEST_F(Configuracion, LoadStopsAtTheFirstNumberThatDoesNotConvert) {
    Grabar("Intervalo", "5");
    Grabar("ActivarTX", "abc");
    Grabar("IniciarActivo", "0");
    Grabar("IniciarZelnoExe", "0");
    Grabar("DirectorioKorvane", "K");
    Grabar("DirectorioZELNO", "Z");
    Grabar("ZelnoExe", "E");
    clsConfiguracion c(app_);
    PonerCentinelas(c);
    try {
        c.Load();
        ADD_FAILURE() << "no exception";
    } catch (const plataforma::ErrorSistema& e) {
        EXPECT_EQ(e.Numero(), 13);
        EXPECT_EQ(e.Descripcion(), "No coinciden los tipos");
    }
    EXPECT_EQ(c.Intervalo, 5);
    EXPECT_EQ(c.ActivarTX, 222);
    EXPECT_EQ(c.IniciarActivo, 333);
    EXPECT_EQ(c.IniciarZelnoExe, 444);
    EXPECT_EQ(c.DirectorioKorvane, "centinela K");
    EXPECT_EQ(c.DirectorioZELNO, "centinela Z");
    EXPECT_EQ(c.ZelnoExe, "centinela E");

    // The last number out of range: the three before it are loaded, the texts are not.
    Grabar("ActivarTX", "0");
    Grabar("IniciarZelnoExe", "40000");
    PonerCentinelas(c);
    try {
        c.Load();
        ADD_FAILURE() << "no exception";
    } catch (const plataforma::ErrorSistema& e) {
        EXPECT_EQ(e.Numero(), 6);
        EXPECT_EQ(e.Descripcion(), "Desbordamiento");
    }
    EXPECT_EQ(c.Intervalo, 5);
    EXPECT_EQ(c.ActivarTX, 0);
    EXPECT_EQ(c.IniciarActivo, 0);
    EXPECT_EQ(c.IniciarZelnoExe, 444);
    EXPECT_EQ(c.DirectorioKorvane, "centinela K");
}

TEST_F(Configuracion, AbsurdStoredNumbersThrowWithoutHarm) {
    struct Caso {
        std::string texto;
        long numero;
    };
    const std::vector<Caso> casos = {
        {"", 13},
        {"40000", 6},
        {"-32769", 6},
        {std::string(5000, '9'), 6},
        {std::string(5000, 'x'), 13},
        {"1" + std::string(5000, '0') + "x", 13},
    };
    for (const Caso& caso : casos) {
        Grabar("Intervalo", caso.texto);
        clsConfiguracion c(app_);
        PonerCentinelas(c);
        try {
            c.Load();
            ADD_FAILURE() << "no exception for " << caso.texto.substr(0, 20);
        } catch (const plataforma::ErrorSistema& e) {
            EXPECT_EQ(e.Numero(), caso.numero) << caso.texto.substr(0, 20);
        }
        EXPECT_EQ(c.Intervalo, 111);
        EXPECT_EQ(c.ZelnoExe, "centinela E");
    }
}

TEST_F(Configuracion, StoredEmptyTextsAreNotReplacedByDefaults) {
    Grabar("ZelnoExe", "");
    Grabar("DirectorioKorvane", "");
    Grabar("Intervalo", " 30 ");
    clsConfiguracion c(app_);
    PonerCentinelas(c);
    c.Load();
    EXPECT_EQ(c.ZelnoExe, "");
    EXPECT_EQ(c.DirectorioKorvane, "");
    EXPECT_EQ(c.Intervalo, 30);
    // Absent ones still get theirs.
    EXPECT_EQ(c.DirectorioZELNO, "C:\\Estandar");
    EXPECT_EQ(c.ActivarTX, 1);
}

TEST(ConvertirEntero16, AcceptedTexts) {
    const std::vector<std::pair<std::string, int>> casos = {
        {"0", 0},           {"1", 1},
        {"-1", -1},         {"+7", 7},
        {"007", 7},         {"  12", 12},
        {"12\t ", 12},      {"\t-3 ", -3},
        {"32767", 32767},   {"-32768", -32768},
        {"2.5", 2},         {"3.5", 4},
        {"-2.5", -2},       {"-3.5", -4},
        {"2.50001", 3},     {"2.4999", 2},
        {"0.5", 0},         {"1.5", 2},
        {".5", 0},          {"5.", 5},
        {"-0", 0},          {"-0.4", 0},
        {"32766.5", 32766}, {"-32767.5", -32768},
        {"32767.4", 32767}, {"000000000000000000000000001", 1},
    };
    for (const auto& [texto, esperado] : casos) {
        try {
            EXPECT_EQ(ConvertirEntero16(texto), esperado) << '"' << texto << '"';
        } catch (const plataforma::ErrorSistema& e) {
            ADD_FAILURE() << '"' << texto << "\": " << e.what();
        }
    }
}

TEST(ConvertirEntero16, RejectedTexts) {
    const std::vector<std::pair<std::string, long>> casos = {
        {"", 13},
        {" ", 13},
        {"abc", 13},
        {"1 0", 13},
        {"--1", 13},
        {".", 13},
        {"+", 13},
        {"-", 13},
        {"1.2.3", 13},
        {"1e3", 13},
        {"0x10", 13},
        {"12a", 13},
        {"- 1", 13},
        {"1\n", 13},
        {"1,5", 13},
        {"\xB9", 13},
        {"32768", 6},
        {"-32769", 6},
        {"32767.5", 6},
        {"-32768.6", 6},
        {"99999999999999999999", 6},
        {std::string(5000, '9') + ".5", 6},
        {std::string(5000, '9') + "z", 13},
    };
    for (const auto& [texto, numero] : casos) {
        try {
            const int valor = ConvertirEntero16(texto);
            ADD_FAILURE() << '"' << texto.substr(0, 30) << "\" gave " << valor;
        } catch (const plataforma::ErrorSistema& e) {
            EXPECT_EQ(e.Numero(), numero) << '"' << texto.substr(0, 30) << '"';
            EXPECT_EQ(e.Descripcion(), numero == 13 ? "No coinciden los tipos" : "Desbordamiento");
        }
    }
}

}  // namespace

// The polling interval's rule, as the dialog, the window and the dialog's message see it: the range
// the dialog takes, the clock's period in ms (none for 0 or a negative stored value, every other
// value whole in 32 bits), and the message naming that same range.
TEST(Intervalo, RangeClockPeriodAndMessage) {
    const struct {
        std::int32_t segundos;
        bool admitido;
    } rango[] = {{-1, false}, {0, true}, {1, true}, {32767, true}, {32768, false}};
    for (const auto& c : rango) EXPECT_EQ(IntervaloAdmitido(c.segundos), c.admitido) << c.segundos;
    const struct {
        std::int16_t segundos;
        std::int32_t ms;
    } periodo[] = {{-32768, 0}, {-3, 0}, {0, 0}, {1, 1000}, {30, 30000}, {32767, 32767000}};
    for (const auto& c : periodo) EXPECT_EQ(IntervaloMs(c.segundos), c.ms) << c.segundos;
    EXPECT_EQ(std::string(mensajes::kTextoIntervalo), "El intervalo de búsqueda debe ser un número de segundos entre " +
                                                          std::to_string(kIntervaloMinimo) + " y " +
                                                          std::to_string(kIntervaloMaximo) + ".");
}
