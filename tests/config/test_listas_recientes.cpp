#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "config/listas_recientes.h"
#include "platform/almacen_ajustes.h"
#include "support/almacen_aislado.h"

namespace {

using Lista = std::vector<std::string>;

class ListasRecientes : public prueba::AlmacenAislado {
protected:
    // Stores the given entries under keys "1", "2", ...; an entry "-" is left out (a gap).
    void Guardar(const Lista& entradas) {
        for (std::size_t i = 0; i < entradas.size(); ++i)
            if (entradas[i] != "-") ajustes::GrabarAjuste(app_, "LastDirKorvane", std::to_string(i + 1), entradas[i]);
    }
    // Every key from "1" to "9", absent ones as "-", trailing absent ones dropped.
    Lista Almacenado() {
        Lista r;
        for (int n = 1; n <= 9; ++n) r.push_back(ajustes::LeerAjuste(app_, "LastDirKorvane", std::to_string(n), "-"));
        while (!r.empty() && r.back() == "-") r.pop_back();
        return r;
    }
    Lista Leer() {
        Lista l;
        LeerListaReciente(app_, kLastDirKorvane, l, ui);
        return l;
    }
    void Grabar(const std::string& nuevo) { GrabarListaReciente(app_, kLastDirKorvane, nuevo, Leer(), ui); }

    prueba::GrabadorInterfaz ui;
};

TEST_F(ListasRecientes, ReadingStopsAtTheFirstGapAndKeepsBlanks) {
    EXPECT_TRUE(Leer().empty());
    Guardar({"C:\\K1", "  ", "c:\\k3 ", "-", "C:\\K5"});
    EXPECT_EQ(Leer(), (Lista{"C:\\K1", "  ", "c:\\k3 "}));
    // Appends to what the list already holds.
    Lista l{"ya"};
    LeerListaReciente(app_, kLastDirKorvane, l, ui);
    EXPECT_EQ(l, (Lista{"ya", "C:\\K1", "  ", "c:\\k3 "}));
    EXPECT_TRUE(ui.mensajes.empty());
}

TEST_F(ListasRecientes, NewValueGoesFirstAndTheSixthEntryGoes) {
    Guardar({"A", "B", "C", "D", "E", "F"});
    Grabar("G");
    EXPECT_EQ(Almacenado(), (Lista{"G", "A", "B", "C", "D", "E"}));
}

TEST_F(ListasRecientes, EqualToTheSecondInOtherCase) {
    Guardar({"C:\\Uno", "C:\\Dos"});
    Grabar("c:\\DOS");
    EXPECT_EQ(Almacenado(), (Lista{"c:\\DOS", "C:\\Uno"}));
}

TEST_F(ListasRecientes, EqualToTheSecondOfSixDoesNotMoveTheSixthUp) {
    Guardar({"A", "B", "C", "D", "E", "F"});
    Grabar("B");
    EXPECT_EQ(Almacenado(), (Lista{"B", "A", "C", "D", "E"}));
}

TEST_F(ListasRecientes, SameValueAsTheFirstRewritesTheSameList) {
    Guardar({"A", "B"});
    Grabar("A");
    EXPECT_EQ(Almacenado(), (Lista{"A", "B"}));
}

TEST_F(ListasRecientes, EmptyValueLeavesTheStoreAlone) {
    Guardar({"A", "B"});
    Grabar("");
    EXPECT_EQ(Almacenado(), (Lista{"A", "B"}));
}

TEST_F(ListasRecientes, GapAtKeyFour) {
    Guardar({"A", "B", "-", "D"});
    EXPECT_EQ(Leer(), (Lista{"A", "B"}));
    Grabar("N");
    // Keys 1 and 2 are rewritten, key 4 stays and shows again as the fourth entry.
    EXPECT_EQ(Almacenado(), (Lista{"N", "A", "B", "D"}));
    EXPECT_EQ(Leer(), (Lista{"N", "A", "B", "D"}));
}

TEST_F(ListasRecientes, BlankEntriesAreShownButDroppedAtTheNextWrite) {
    Guardar({"A", "   ", "B"});
    EXPECT_EQ(Leer(), (Lista{"A", "   ", "B"}));
    Grabar("N");
    EXPECT_EQ(Almacenado(), (Lista{"N", "A", "B"}));
}

TEST_F(ListasRecientes, TrailingBlankOfTheNewValueIsKeptAndEarlierEntriesAreTrimmed) {
    Guardar({" C:\\K  ", "D"});
    Grabar("C:\\K ");
    // The comparison trims the earlier entry but not the new value: both stay.
    EXPECT_EQ(Almacenado(), (Lista{"C:\\K ", "C:\\K", "D"}));
}

TEST_F(ListasRecientes, EachListHasItsOwnSection) {
    Lista vacia;
    GrabarListaReciente(app_, kLastDirExeZelno, "C:\\Zelno\\Zelno32.exe", vacia, ui);
    GrabarListaReciente(app_, kLastDirZelno, "C:\\Estandar", vacia, ui);
    EXPECT_EQ(ajustes::LeerAjuste(app_, "LastDirExeZelno", "1", ""), "C:\\Zelno\\Zelno32.exe");
    EXPECT_EQ(ajustes::LeerAjuste(app_, "LastDirZelno", "1", ""), "C:\\Estandar");
    EXPECT_TRUE(Almacenado().empty());
}

TEST(NumeroDelIntervalo, NumberAtTheStartRoundedHalfToEven) {
    EXPECT_EQ(NumeroDelIntervalo("abc"), 0);
    EXPECT_EQ(NumeroDelIntervalo(""), 0);
    EXPECT_EQ(NumeroDelIntervalo("5"), 5);
    EXPECT_EQ(NumeroDelIntervalo("2.5"), 2);
    EXPECT_EQ(NumeroDelIntervalo("3.5"), 4);
    EXPECT_EQ(NumeroDelIntervalo("1 0"), 10);
    EXPECT_EQ(NumeroDelIntervalo("  7 seg"), 7);
    EXPECT_EQ(NumeroDelIntervalo("12abc3"), 12);
    EXPECT_EQ(NumeroDelIntervalo("-2.5"), -2);
    EXPECT_EQ(NumeroDelIntervalo("+4"), 4);
    EXPECT_EQ(NumeroDelIntervalo("0.4"), 0);
    EXPECT_EQ(NumeroDelIntervalo(".6"), 1);
    EXPECT_EQ(NumeroDelIntervalo("1.2.3"), 1);
    EXPECT_EQ(NumeroDelIntervalo("32767"), 32767);
    EXPECT_EQ(NumeroDelIntervalo("-32768"), -32768);
}

TEST(NumeroDelIntervalo, OutOfRangeIsRefused) {
    EXPECT_EQ(NumeroDelIntervalo("32768"), std::nullopt);
    EXPECT_EQ(NumeroDelIntervalo("32767.5"), std::nullopt);
    EXPECT_EQ(NumeroDelIntervalo("-32769"), std::nullopt);
    EXPECT_EQ(NumeroDelIntervalo(std::string(400, '9')), std::nullopt);
}

}  // namespace
