#pragma once
// The daily log of duplicate requests: LogTramiza<yyyymmdd>.txt in the Korvane root.

#include <string>

#include "platform/archivos.h"
#include "platform/reloj.h"

// "LogTramiza20261206.txt" for 6 December 2026.
std::string NombreArchivoLog(const archivos::FechaHora& fecha);

// Adds one entry for a duplicate found in laRutaKorvane: the quoted sentence with the time
// ("yyyy/dd/mm hh:nn:ss") and the quoted first line of its CLICAB.ZLN, each ended by CR LF.
// Every failure is ignored, step by step: logging never disturbs the polling. Only the first
// kInicioPrimeraLinea bytes of CLICAB.ZLN are read.
void GrabarLog(const std::string& directorioKorvane, const std::string& laRutaKorvane, const RelojLocal& reloj,
               archivos::AnteBloqueo modo = archivos::kEsperar);
inline constexpr std::size_t kInicioPrimeraLinea = 4096;
