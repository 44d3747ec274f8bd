// The client's company table and the provider code. The input's first byte gives the length of the
// company code (its low three bits: "6PASTEU..." is the code "PASTEU"), the code follows, and the
// rest is the table.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "bridge/codigo_proveedor.h"
#include "comun_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* datos, std::size_t largo) {
    if (largo == 0) return 0;
    const std::string_view entrada(reinterpret_cast<const char*>(datos), largo);
    const std::size_t largoCodigo = std::min<std::size_t>(datos[0] & 7, largo - 1);
    const std::string_view crudo = entrada.substr(1, largoCodigo);
    const std::string_view tabla = entrada.substr(1 + largoCodigo);

    // Normalised: no spaces around it, and normalising again changes nothing.
    const std::string codigo = NormalizarCodigoEmpresa(crudo);
    COMPROBAR(codigo.size() <= crudo.size());
    COMPROBAR(codigo.empty() || (codigo.front() != ' ' && codigo.back() != ' '));
    COMPROBAR(NormalizarCodigoEmpresa(codigo) == codigo);

    // "V901" and at most two characters from each of the line's two places.
    const std::optional<std::string> deTabla = BuscarEnTablaEmpresas(tabla, codigo);
    if (deTabla) COMPROBAR(deTabla->size() <= 8 && deTabla->starts_with("V901"));

    const std::string fijo = CodigoProveedorFijo(codigo);
    COMPROBAR(fijo.size() == 8 && fijo.starts_with("V901"));

    // A line written for the code is found, alone with exactly its provider parts, and after the
    // fuzzed table at least (an earlier line may match first).
    if (codigo.find_first_of("\r\n") == std::string::npos) {
        std::string linea = "XXXXXXXX45" + codigo;
        linea.resize(40, ' ');
        linea += "02  resto";
        COMPROBAR(BuscarEnTablaEmpresas(linea, codigo) == "V9014502");
        COMPROBAR(BuscarEnTablaEmpresas(std::string(tabla) + "\r\n" + linea, codigo).has_value());
    }
    return 0;
}
