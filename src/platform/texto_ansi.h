#pragma once
// Text in the single-byte Windows code page (1252), the one the exchange files and the ANSI
// Windows calls use.

#include <string>
#include <string_view>

// Upper case as Windows-1252 has it: ASCII letters and the accented letters (ñ -> Ñ, é -> É).
std::string MayusculasAnsi(std::string_view texto);
