#include <gtest/gtest.h>

#include "bridge/respuestas.h"
#include "support/soporte.h"

namespace {

// Columns as the point-of-sale system reads them: 1-based, inclusive.
std::string Columnas(const std::string& registro, std::size_t desde, std::size_t hasta) {
    return registro.substr(desde - 1, hasta - desde + 1);
}

const std::string kComunicacion = "ERROR EN LA COMUNICACION. REINTENTE. ";

TEST(RespuestaErrorComunicacion, FixedColumnsAroundTheClientText) {
    const std::string r = RespuestaErrorComunicacion("E12\r\n");
    ASSERT_EQ(r.size(), 351u);
    EXPECT_EQ(Columnas(r, 1, 10), "9200000001");
    EXPECT_EQ(Columnas(r, 11, 50), kComunicacion + "E12");
    EXPECT_EQ(Columnas(r, 51, 130), kComunicacion + "E12" + std::string(40, ' '));
    EXPECT_EQ(Columnas(r, 131, 147), std::string(17, ' '));
    EXPECT_EQ(Columnas(r, 148, 157), "0100000000");
    EXPECT_EQ(Columnas(r, 158, 350), std::string(193, ' '));
    EXPECT_EQ(r[350], '\r');
    EXPECT_EQ(r.find('\n'), std::string::npos);
}

TEST(RespuestaErrorComunicacion, ShortEmptyLongAndBlankTexts) {
    const std::string uno = RespuestaErrorComunicacion("9");
    EXPECT_EQ(Columnas(uno, 48, 50), "9  ");

    const std::string vacio = RespuestaErrorComunicacion("");
    ASSERT_EQ(vacio.size(), 351u);
    EXPECT_EQ(Columnas(vacio, 48, 50), "   ");
    EXPECT_EQ(Columnas(vacio, 51, 130), kComunicacion + std::string(43, ' '));

    // The long message is cut at 80 characters; the record keeps its length.
    const std::string largo = RespuestaErrorComunicacion(std::string(5000, 'X'));
    ASSERT_EQ(largo.size(), 351u);
    EXPECT_EQ(Columnas(largo, 51, 130), kComunicacion + std::string(43, 'X'));
    EXPECT_EQ(Columnas(largo, 148, 157), "0100000000");

    // Blanks around the text go in the long message but count in the three-character code.
    const std::string blancos = RespuestaErrorComunicacion("  E7 \r\n");
    EXPECT_EQ(Columnas(blancos, 48, 50), "  E");
    EXPECT_EQ(Columnas(blancos, 51, 130), kComunicacion + "E7" + std::string(41, ' '));
}

TEST(RespuestaErrorComunicacion, LineEndsInsideTheTextAreDroppedAndBytesKept) {
    const std::string r = RespuestaErrorComunicacion("A\nB\rC\r\n\xF1\xFF");
    EXPECT_EQ(Columnas(r, 48, 50), "ABC");
    EXPECT_EQ(Columnas(r, 51, 130).substr(0, 42), kComunicacion + "ABC\xF1\xFF");
    // A text of a NUL and binary bytes still gives the fixed layout.
    const std::string binario = RespuestaErrorComunicacion(std::string("\0\x01\x02", 3));
    ASSERT_EQ(binario.size(), 351u);
    EXPECT_EQ(Columnas(binario, 48, 50), std::string("\0\x01\x02", 3));
}

TEST(RespuestaErrorFormato, FixedColumns) {
    const std::string r = RespuestaErrorFormato();
    ASSERT_EQ(r.size(), 339u);
    EXPECT_EQ(Columnas(r, 1, 10), "9200000001");
    EXPECT_EQ(Columnas(r, 11, 49), "ERROR, FORMATO DE TRANSACCION ERRONEO. ");
    EXPECT_EQ(Columnas(r, 50, 129),
              "ERROR, FORMATO DE TRANSACCION ERRONEO. REVISE TICKET.PRN Y REINTENTE." + std::string(11, ' '));
    EXPECT_EQ(Columnas(r, 130, 135), std::string(6, ' '));
    EXPECT_EQ(Columnas(r, 136, 145), "0100000000");
    EXPECT_EQ(Columnas(r, 146, 338), std::string(193, ' '));
    EXPECT_EQ(r[338], '\r');
}

TEST(GrabarErrorFormato, ReplacesTheWholeFile) {
    prueba::CarpetaTemporal k;
    prueba::GrabadorInterfaz ui;

    EXPECT_TRUE(GrabarErrorFormato(k.Ruta(), ui));
    EXPECT_EQ(prueba::LeerArchivo(k / "SERESP.ZLN"), RespuestaErrorFormato());

    // Over a longer 351-byte answer nothing of the old one is left behind the record.
    prueba::EscribirArchivo(k / "SERESP.ZLN", RespuestaErrorComunicacion("E55"));
    EXPECT_TRUE(GrabarErrorFormato(k.Ruta(), ui));
    EXPECT_EQ(prueba::LeerArchivo(k / "SERESP.ZLN"), RespuestaErrorFormato());
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST(GrabarErrorFormato, MissingFolderShowsTheFileAndWritesNothing) {
    prueba::CarpetaTemporal k;
    prueba::GrabadorInterfaz ui;
    const std::string carpeta = k.Ruta() + "\\NOEXISTE";
    EXPECT_FALSE(GrabarErrorFormato(carpeta, ui));
    ASSERT_EQ(ui.mensajes.size(), 1u);
    const std::string prefijo = "Archivo: " + carpeta + "\\SERESP.ZLN Error: ";
    EXPECT_EQ(ui.mensajes[0].texto.substr(0, prefijo.size()), prefijo);
    EXPECT_EQ(ui.mensajes[0].titulo, "Respuesta de Zelno con Error");
    EXPECT_EQ(ui.mensajes[0].icono, Icono::Critico);
}

}  // namespace
