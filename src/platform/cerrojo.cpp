#include "platform/cerrojo.h"

#include <utility>

namespace cerrojo {

namespace {

// The keys stay ASCII: the file may be read on a machine with another code page.
constexpr std::pair<const char*, std::string Titular::*> kCampos[] = {
    {"Equipo", &Titular::equipo},   {"Usuario", &Titular::usuario}, {"Sesion", &Titular::sesion},
    {"Proceso", &Titular::proceso}, {"Desde", &Titular::desde},
};

// A field shown in a message box: a garbage file must not fill the screen.
constexpr std::size_t kMaximoCampo = 128;

std::string_view SinBlancos(std::string_view texto) {
    while (!texto.empty() && (texto.front() == ' ' || texto.front() == '\t')) texto.remove_prefix(1);
    while (!texto.empty() && (texto.back() == ' ' || texto.back() == '\t' || texto.back() == '\r'))
        texto.remove_suffix(1);
    return texto;
}

}  // namespace

std::string TextoTitular(const Titular& titular) {
    std::string texto = "Tramiza atiende esta carpeta\r\n";
    for (const auto& [clave, campo] : kCampos) texto += std::string(clave) + ": " + titular.*campo + "\r\n";
    return texto;
}

Titular LeerTitular(std::string_view texto) {
    Titular titular;
    texto = texto.substr(0, kMaximoTitular);
    while (!texto.empty()) {
        const std::size_t fin = texto.find('\n');
        const std::string_view linea = texto.substr(0, fin);
        texto.remove_prefix(fin == std::string_view::npos ? texto.size() : fin + 1);
        const std::size_t dos = linea.find(':');
        if (dos == std::string_view::npos) continue;
        const std::string_view clave = SinBlancos(linea.substr(0, dos));
        for (const auto& [nombre, campo] : kCampos) {
            if (clave != nombre) continue;
            // Control bytes would garble a message box line; blanks are trimmed once the value is cut.
            std::string valor(linea.substr(dos + 1));
            for (char& c : valor)
                if (static_cast<unsigned char>(c) < 0x20) c = ' ';
            titular.*campo = std::string(SinBlancos(SinBlancos(valor).substr(0, kMaximoCampo)));
        }
    }
    return titular;
}

}  // namespace cerrojo
