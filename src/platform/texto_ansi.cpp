#include "platform/texto_ansi.h"

char MayusculaAnsi(char c) {
    const auto u = static_cast<unsigned char>(c);
    if (u >= 'a' && u <= 'z') return static_cast<char>(u - 0x20);
    // à..þ map to À..Þ (÷ has no capital); š œ ž ÿ have their capitals elsewhere in the page.
    if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 0x20);
    switch (u) {
        case 0x9A: return static_cast<char>(0x8A);
        case 0x9C: return static_cast<char>(0x8C);
        case 0x9E: return static_cast<char>(0x8E);
        case 0xFF: return static_cast<char>(0x9F);
        default: return c;
    }
}

std::string MayusculasAnsi(std::string_view texto) {
    std::string resultado(texto);
    for (char& c : resultado) c = MayusculaAnsi(c);
    return resultado;
}

bool IgualesSinMayusculas(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && MayusculaAnsi(a[i]) != MayusculaAnsi(b[i])) return false;
    return true;
}

bool TerminaSinMayusculas(std::string_view texto, std::string_view final) {
    return texto.size() >= final.size() && IgualesSinMayusculas(texto.substr(texto.size() - final.size()), final);
}

std::string_view SinBlancosExtremos(std::string_view texto) {
    const auto inicio = texto.find_first_not_of(' ');
    if (inicio == std::string_view::npos) return {};
    return texto.substr(inicio, texto.find_last_not_of(' ') - inicio + 1);
}

void ClaveRutaEn(std::string& clave, std::string_view ruta) {
    clave.assign(ruta);
    for (char& c : clave) c = c == '/' ? '\\' : MayusculaAnsi(c);
}

std::string ClaveRuta(std::string_view ruta) {
    std::string clave;
    ClaveRutaEn(clave, ruta);
    return clave;
}
