#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "bridge/terminales.h"
#include "platform/archivos.h"
#include "support/soporte.h"

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

}  // namespace
