#pragma once
// Windows-style wild-card matching of a file name, used where the platform has none of its own.

#include <string_view>

namespace archivos {

// '*' takes any run of characters, '?' any one; letters match regardless of case; a pattern that
// ends in ".*" also matches a name without a dot ("TER*.*" takes "TER01").
bool CoincideComodin(std::string_view patron, std::string_view nombre);

}  // namespace archivos
