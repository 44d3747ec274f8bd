#pragma once
// The daily activity log for support: one line per event of the program, "AAAA-MM-DD HH:MM:SS.mmm
// <text>" ended by CR LF on every platform, in one file per local date ("2026-12-07.log"). Files
// dated more than kDiasConservados days before the current date are deleted. Any layer may log: an
// event only joins a queue in memory, and a thread of the log's own writes the queue to the disk, so
// logging never fails and never waits for the disk. The writer calls the operating system directly,
// never through archivos::, so log writes stay out of the exchange's file operations.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/reloj.h"

namespace actividad {

// Local time to the millisecond; the program reads the system clock, tests set it.
using RelojMs = std::function<reloj::FechaHoraMs()>;

// Events waiting for the writer beyond this many drop the oldest; a line then says how many went.
inline constexpr std::size_t kMaximoEnCola = 10000;
// A file dated this many days before the current date is kept; one dated a day earlier is deleted.
inline constexpr int kDiasConservados = 31;
// A day's file stops growing at about this size: one line says so, and the events of the rest of
// that day are not written (a fault that floods the log cannot fill the disk).
inline constexpr std::int64_t kTamanioMaximoDia = 20 * 1024 * 1024;

// Starts the process-wide log in `carpeta`, created with its parents when missing. Until then, and
// after Terminar(), Anotar does nothing. A log already started is ended first. Never throws: when no
// writer can be started the log stays off.
void Iniciar(const std::string& carpeta, RelojMs reloj = reloj::AhoraConMs) noexcept;

// Writes what is queued and ends the writer; called at the program's end. An event queued when its
// file cannot be written is lost here; before Terminar the writer keeps trying.
void Terminar() noexcept;

// Logs one event stamped now. Line breaks inside `texto` (CR LF, CR or LF) each become one space, so
// an event is always exactly one line; other bytes are written as given (the program's texts are
// CP1252).
void Anotar(std::string_view texto) noexcept;

// Inside a catch block: logs the failure in flight, which the caller swallows on purpose, with where
// it happened ("Fallo ignorado (donde): number: description").
void AnotarFalloIgnorado(std::string_view donde) noexcept;
// The same for a failure about one terminal: the line begins with its folder name ("TER01: fallo
// ignorado (donde): path: number: description").
void AnotarFalloIgnorado(std::string_view terminal, std::string_view donde) noexcept;

// %LOCALAPPDATA%\Tramiza\Registro on Windows, ${XDG_STATE_HOME:-~/.local/state}/tramiza elsewhere;
// empty when the platform cannot say.
std::string CarpetaActividad();

// True while the writer holds events taken from the queue, that is, while it is writing them. Tests
// wait for false before changing what the writer will find on the disk.
bool EscritorOcupado() noexcept;

}  // namespace actividad
