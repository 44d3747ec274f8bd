#pragma once
// Text in the single-byte Windows code page (1252), the one the exchange files and the ANSI
// Windows calls use. The one case mapping of the program: file, folder, process, setting and
// company names all compare through it.

#include <string>
#include <string_view>

// The text without the blanks (spaces only) at its start and end.
std::string_view SinBlancosExtremos(std::string_view texto);

// Upper case as Windows-1252 has it: ASCII letters and the accented letters (ñ -> Ñ, é -> É).
char MayusculaAnsi(char c);
std::string MayusculasAnsi(std::string_view texto);

// A path as a key: in upper case, every '/' a '\\'. Two spellings of one folder ("C:\\Korvane\\TER01",
// "c:/korvane/ter01") give one key.
std::string ClaveRuta(std::string_view ruta);
// The same into `clave`, reusing its storage.
void ClaveRutaEn(std::string& clave, std::string_view ruta);

// Equal apart from letter case, by the mapping above.
bool IgualesSinMayusculas(std::string_view a, std::string_view b);

// `texto` ends with `final`, letter case ignored ("C:\x\ZELNO32.EXE" ends with "Zelno32.exe").
bool TerminaSinMayusculas(std::string_view texto, std::string_view final);
