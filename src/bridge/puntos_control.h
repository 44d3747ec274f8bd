#pragma once
// The checkpoints of a terminal's turn: the number that the title "Transacción punto control: N"
// gives for the step that failed. This table is the only list of them. A turn names its step with a
// literal that must be in the table, or the code does not compile; the staff guide has a row for each
// (scripts/comprobar-guia.sh compares the two, and the table with the literals the cycle uses).

#include <atomic>

// BEGIN puntos control
inline constexpr const char* kPuntosControl[] = {
    "1",  "2",    "2.5",  "3",  "4",  "5",  "6",  "7",  "8",  "9",  "10", "11", "12", "13", "15",   "16", "17",
    "18", "18.5", "18.7", "19", "20", "21", "22", "23", "24", "25", "26", "27", "28", "29", "29.5", "30",
};
// END puntos control

// A checkpoint of the table, held as the table's own text (fixed, so that another thread may read it).
class PuntoControl {
public:
    consteval PuntoControl(const char* nombre) : texto_(Buscar(nombre)) {}  // NOLINT: a literal names it
    constexpr const char* Texto() const noexcept { return texto_; }

private:
    static consteval bool Iguales(const char* a, const char* b) {
        for (; *a != '\0' && *a == *b; ++a, ++b) {
        }
        return *a == *b;
    }
    static consteval const char* Buscar(const char* nombre) {
        for (const char* p : kPuntosControl)
            if (Iguales(p, nombre)) return p;
        NoEsPuntoDeControl();
        return nullptr;
    }
    // Not constant: reached at compile time, it stops the build at the checkpoint missing from the table.
    static void NoEsPuntoDeControl() {}

    const char* texto_;
};

// The checkpoint of the step running or last run, written by a step and read by the window's thread.
class PuntoEnCurso {
public:
    explicit PuntoEnCurso(PuntoControl punto) : punto_(punto.Texto()) {}
    PuntoEnCurso& operator=(PuntoControl punto) noexcept {
        punto_.store(punto.Texto());
        return *this;
    }
    const char* load() const noexcept { return punto_.load(); }
    operator const char*() const noexcept { return load(); }  // NOLINT: read as the text it holds

private:
    std::atomic<const char*> punto_;
};
