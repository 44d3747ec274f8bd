#pragma once
// File helpers of the simulators. They stand for programs outside the system, so they work with
// the standard library directly and never through the system's own platform layer.

#include <cstdint>
#include <filesystem>
#include <string>

namespace sim {

// `dir`/`nombre`, taking an existing entry whose name differs only in letter case when the exact
// one is missing (the exchange layout ignores case; a Linux file system does not).
std::filesystem::path BuscarSinCaso(const std::filesystem::path& dir, const std::string& nombre);

// Whole-file reading and writing, bytes unchanged. False when the file cannot be read or written.
bool LeerArchivo(const std::filesystem::path& ruta, std::string& contenido);
bool EscribirArchivo(const std::filesystem::path& ruta, const std::string& contenido);
bool AgregarArchivo(const std::filesystem::path& ruta, const std::string& contenido);

bool ExisteArchivo(const std::filesystem::path& ruta);

// Sets the last-write time to `segundosUtc` seconds since 1970-01-01 UTC. False when it cannot.
bool FijarModificacionUtc(const std::filesystem::path& ruta, std::int64_t segundosUtc);

std::string Minusculas(std::string texto);

}  // namespace sim
