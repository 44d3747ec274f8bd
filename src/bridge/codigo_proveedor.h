#pragma once
// From the request's company code to the 8-character provider code the client expects in _svl.0.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The 6-character company code of a CLICAB.ZLN, whose place depends on the file's length:
// up to 225 bytes there is none ("OSDE"), up to 335 it is bytes 183-188, from 336 on bytes 193-198.
std::string CodigoEmpresaDeClicab(std::string_view clicab);
// The same from the file's first bytes (at least 198 of them when it has them) and its size.
std::string CodigoEmpresaDeClicab(std::string_view inicio, std::int64_t tamanio);

// The company code as the lookups compare it: blanks around it removed, in upper case.
std::string NormalizarCodigoEmpresa(std::string_view codigo);

// Looks `codigo` (normalised) up in the client's company table: the first line whose name, from its
// 11th character on and as long as the code, equals the code in upper case gives
// "V901" + characters 9-10 + characters 41-42 of that line (shorter when the line is short).
std::optional<std::string> BuscarEnTablaEmpresas(std::string_view tabla, std::string_view codigo);

// The fixed provider code for a normalised company code without a table line.
std::string CodigoProveedorFijo(std::string_view codigo);
