#include "bridge/codigo_proveedor.h"

#include "platform/texto_ansi.h"

#include <algorithm>
#include <array>
#include <utility>

namespace {

// A piece of `texto` from the 1-based position `inicio`, at most `largo` characters; empty or
// shorter when the text ends first.
std::string_view Medio(std::string_view texto, std::size_t inicio, std::size_t largo) {
    if (inicio > texto.size()) return {};
    return texto.substr(inicio - 1, largo);
}

}  // namespace

std::string CodigoEmpresaDeClicab(std::string_view inicio, std::int64_t tamanio) {
    if (tamanio <= 225) return "OSDE";
    // `inicio` may be shorter than the file claimed when it shrank in between: what is there counts.
    if (tamanio <= 335) return std::string(inicio.substr(std::min<std::size_t>(182, inicio.size()), 6));
    return std::string(inicio.substr(std::min<std::size_t>(192, inicio.size()), 6));
}

std::string CodigoEmpresaDeClicab(std::string_view clicab) {
    return CodigoEmpresaDeClicab(clicab, static_cast<std::int64_t>(clicab.size()));
}

std::string NormalizarCodigoEmpresa(std::string_view codigo) { return MayusculasAnsi(SinBlancosExtremos(codigo)); }

std::optional<std::string> BuscarEnTablaEmpresas(std::string_view tabla, std::string_view codigo) {
    std::size_t posicion = 0;
    while (posicion < tabla.size()) {
        // A line ends at CR LF, a lone CR or a lone LF.
        std::size_t fin = tabla.find_first_of("\r\n", posicion);
        if (fin == std::string_view::npos) fin = tabla.size();
        const std::string_view linea = tabla.substr(posicion, fin - posicion);
        if (MayusculasAnsi(Medio(linea, 11, codigo.size())) == codigo)
            return "V901" + std::string(Medio(linea, 9, 2)) + std::string(Medio(linea, 41, 2));
        posicion = fin;
        if (posicion < tabla.size() && tabla[posicion] == '\r') ++posicion;
        if (posicion < tabla.size() && tabla[posicion] == '\n') ++posicion;
    }
    return std::nullopt;
}

std::string CodigoProveedorFijo(std::string_view codigo) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 7> kTabla{{
        {"PASTEU", "V9012901"},
        {"SIMECO", "V9012801"},
        {"OSAPM", "V9012701"},
        {"ACA", "V9013101"},
        {"KOS", "V9013301"},
        {"ALTA", "V9013401"},
        {"HOPE", "V9013501"},
    }};
    for (const auto& [empresa, proveedor] : kTabla)
        if (codigo == empresa) return std::string(proveedor);
    return "V9011101";
}
