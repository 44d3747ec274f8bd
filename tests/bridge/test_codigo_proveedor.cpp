#include <gtest/gtest.h>

#include "bridge/codigo_proveedor.h"

namespace {

// A CLICAB.ZLN of `largo` bytes with `codigo` at the 1-based position `en`.
std::string Clicab(std::size_t largo, std::size_t en, const std::string& codigo) {
    std::string c(largo, '.');
    if (en > 0) c.replace(en - 1, codigo.size(), codigo);
    return c;
}

// A company-table line: provider parts at characters 9-10 and 41-42, name from character 11.
std::string Linea(const std::string& p1, const std::string& nombre, const std::string& p2) {
    std::string l = "XXXXXXXX" + p1 + nombre;
    l.resize(40, ' ');
    return l + p2 + "  resto";
}

TEST(CodigoEmpresaDeClicab, PlaceDependsOnLength) {
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(225, 183, "PASTEU")), "OSDE");
    EXPECT_EQ(CodigoEmpresaDeClicab(""), "OSDE");
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(226, 183, "PASTEU")), "PASTEU");
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(335, 183, "SIMECO")), "SIMECO");
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(336, 193, "KOS   ")), "KOS   ");
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(5'000'000, 193, "HOPE  ")), "HOPE  ");
    // From 336 bytes on, a code at the shorter header's place is not read.
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(336, 183, "PASTEU")), "......");
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(336, 188, "PASTEU")), "U.....");
    EXPECT_EQ(CodigoEmpresaDeClicab(Clicab(336, 196, "PASTEU")), "...PAS");
}

TEST(NormalizarCodigoEmpresa, TrimsBlanksOnlyAndUpperCases) {
    EXPECT_EQ(NormalizarCodigoEmpresa("aca   "), "ACA");
    EXPECT_EQ(NormalizarCodigoEmpresa("      "), "");
    EXPECT_EQ(NormalizarCodigoEmpresa(" \tx "), "\tX");
    EXPECT_EQ(NormalizarCodigoEmpresa("pe\xF1"
                                      "a"),
              "PE\xD1"
              "A");
}

TEST(CodigoProveedorFijo, KnownCompaniesAndTheRest) {
    EXPECT_EQ(CodigoProveedorFijo("PASTEU"), "V9012901");
    EXPECT_EQ(CodigoProveedorFijo("SIMECO"), "V9012801");
    EXPECT_EQ(CodigoProveedorFijo("OSAPM"), "V9012701");
    EXPECT_EQ(CodigoProveedorFijo("ACA"), "V9013101");
    EXPECT_EQ(CodigoProveedorFijo("KOS"), "V9013301");
    EXPECT_EQ(CodigoProveedorFijo("ALTA"), "V9013401");
    EXPECT_EQ(CodigoProveedorFijo("HOPE"), "V9013501");
    EXPECT_EQ(CodigoProveedorFijo("OSDE"), "V9011101");
    EXPECT_EQ(CodigoProveedorFijo("000096"), "V9011101");
    EXPECT_EQ(CodigoProveedorFijo(""), "V9011101");
    EXPECT_EQ(CodigoProveedorFijo("ACAX"), "V9011101");
}

TEST(BuscarEnTablaEmpresas, FirstPrefixMatchWins) {
    const std::string tabla = Linea("77", "OTRA", "11") + "\r\n" + Linea("45", "PASTEU", "02") + "\r\n" +
                              Linea("46", "PASTEUR", "03") + "\r\n";
    EXPECT_EQ(BuscarEnTablaEmpresas(tabla, "PASTEU"), "V9014502");
    // The name is compared in upper case, over as many characters as the code has.
    EXPECT_EQ(BuscarEnTablaEmpresas(Linea("12", "aca salud", "34"), "ACA"), "V9011234");
    EXPECT_EQ(BuscarEnTablaEmpresas(tabla, "PAST"), "V9014502");
    EXPECT_FALSE(BuscarEnTablaEmpresas(tabla, "SIMECO").has_value());
    // An empty code matches the first line, whatever it holds.
    EXPECT_EQ(BuscarEnTablaEmpresas(tabla, ""), "V9017711");
}

TEST(BuscarEnTablaEmpresas, LineEndsShortLinesAndOddBytes) {
    // Lone LF and lone CR end lines too; a last line without a line end counts.
    const std::string mezcla =
        Linea("01", "UNO", "01") + "\n" + Linea("02", "DOS", "02") + "\r" + Linea("03", "TRES", "03");
    EXPECT_EQ(BuscarEnTablaEmpresas(mezcla, "DOS"), "V9010202");
    EXPECT_EQ(BuscarEnTablaEmpresas(mezcla, "TRES"), "V9010303");
    // A line that ends before character 41 gives a shorter code; before character 11 it cannot match
    // a non-empty code.
    EXPECT_EQ(BuscarEnTablaEmpresas("XXXXXXXX99KOS\r\n", "KOS"), "V90199");
    EXPECT_FALSE(BuscarEnTablaEmpresas("short\r\n\r\nXXXXXXXX99K", "KOS").has_value());
    EXPECT_FALSE(BuscarEnTablaEmpresas("", "ACA").has_value());
    EXPECT_FALSE(BuscarEnTablaEmpresas(std::string("\0\xFF\x01\r\n", 5), "ACA").has_value());
    // Empty lines: an empty code matches the first one.
    EXPECT_EQ(BuscarEnTablaEmpresas("\r\n" + Linea("45", "X", "02"), ""), "V901");
}

}  // namespace
