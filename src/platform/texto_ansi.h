#pragma once
// Text in the single-byte Windows code page (1252), the one the exchange files and the ANSI
// Windows calls use.

#include <string>
#include <string_view>

// The text without the blanks (spaces only) at its start and end.
std::string_view SinBlancosExtremos(std::string_view texto);

// Upper case as Windows-1252 has it: ASCII letters and the accented letters (ñ -> Ñ, é -> É).
std::string MayusculasAnsi(std::string_view texto);
