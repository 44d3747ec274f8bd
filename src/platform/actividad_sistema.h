#pragma once
// Inside the activity log: the few operating-system calls of its writer, made directly (not through
// archivos::). None throws for a failure of the system; each reports it in its result.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace actividad::sistema {

// Creates the folder and any missing parents; true when it exists as a folder afterwards.
bool CrearCarpeta(const std::string& ruta);

// The names of the files in `carpeta` whose names end in ".log"; empty when it cannot be listed.
std::vector<std::string> ArchivosLog(const std::string& carpeta);

// Appends `datos` to the file, created when missing; true when all of it was written and closed.
bool Anexar(const std::string& ruta, std::string_view datos);

// The file's size in bytes; 0 when it does not exist or cannot be looked at.
std::int64_t Tamanio(const std::string& ruta);

// Deletes the file; a failure leaves it for the next clean-up.
void Borrar(const std::string& ruta);

// `carpeta` and `nombre` joined by the platform's separator.
std::string Unir(const std::string& carpeta, const std::string& nombre);

}  // namespace actividad::sistema
