#include "platform/comodin.h"

#include <cstddef>

#include "platform/texto_ansi.h"

namespace archivos {

namespace {

// Greedy match that, on a mismatch, lets the last '*' take one more character. Each star restarts
// the search from where it stands, so the work stays proportional to pattern times name even for
// names and patterns full of stars.
bool Coincide(std::string_view patron, std::string_view nombre) {
    constexpr std::size_t ninguna = std::string_view::npos;
    std::size_t p = 0, n = 0;
    std::size_t trasEstrella = ninguna, desdeEstrella = 0;
    while (n < nombre.size()) {
        if (p < patron.size() && patron[p] == '*') {
            trasEstrella = ++p;
            desdeEstrella = n;
        } else if (p < patron.size() && (patron[p] == '?' || MayusculaAnsi(patron[p]) == MayusculaAnsi(nombre[n]))) {
            ++p;
            ++n;
        } else if (trasEstrella != ninguna) {
            p = trasEstrella;
            n = ++desdeEstrella;
        } else {
            return false;
        }
    }
    while (p < patron.size() && patron[p] == '*') ++p;
    return p == patron.size();
}

}  // namespace

bool CoincideComodin(std::string_view patron, std::string_view nombre) {
    if (Coincide(patron, nombre)) return true;
    // Windows lets a final ".*" also stand for "no extension at all".
    if (patron.size() >= 2 && patron.substr(patron.size() - 2) == ".*")
        return Coincide(patron.substr(0, patron.size() - 2), nombre);
    return false;
}

}  // namespace archivos
