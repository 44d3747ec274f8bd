#pragma once
// The names of the files and folders that the bridge shares with the point-of-sale terminals and the
// exchange client. Both outside programs rely on these exact names.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/archivos.h"

namespace intercambio {

// In each terminal folder of the point-of-sale system.
inline constexpr char kStatus[] = "STATUS.ZLN";
inline constexpr char kClicab[] = "CLICAB.ZLN";
inline constexpr char kPraxis[] = "PRAXIS.ZLN";
inline constexpr char kSeresp[] = "SERESP.ZLN";
inline constexpr char kTiquet[] = "TIQUET.PRN";
// The copies of the previous request, for the duplicate test.
inline constexpr char kClicabAnterior[] = "CLICABAnterior.ZLN";
inline constexpr char kPraxisAnterior[] = "PRAXISAnterior.ZLN";

// The request letter of a STATUS.ZLN text: its first character after blanks, in upper case; '\0'
// when there is none. The turns read only the first kInicioStatus bytes of the file.
inline char LetraSolicitud(std::string_view textoStatus) {
    const auto primero = textoStatus.find_first_not_of(' ');
    if (primero == std::string_view::npos) return '\0';
    const char c = textoStatus[primero];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
inline constexpr std::size_t kInicioStatus = 4096;

// The client's working folder: the company table, the TX markers, one folder per terminal.
inline constexpr char kTablaEmpresas[] = "_zelno.emp";
inline constexpr char kCarpetaTx[] = "tx";
inline constexpr char kPrefijoTerminal[] = "term";
// In a terminal's client folder, and its two subfolders.
inline constexpr char kEstadoRsp[] = "estado.rsp";
inline constexpr char kSubida[] = "upload";
inline constexpr char kDescarga[] = "download";
inline constexpr char kSvl[] = "_svl.0";  // the provider code, in upload
// The kept answer of the previous exchange, in download.
inline constexpr char kSerespAnterior[] = "SERESPAnterior.ZLN";
// PRAXISAnterior.ZLN, the same name as the request's copy, is kept in download too.

// Where a file we put into a folder that a peer reads is written before it is renamed into place: in
// the terminal folder for its answer files, in the terminal's client folder (never in upload, whose
// every file the client may take) for the request files.
inline constexpr char kTemporalTramiza[] = "Tramiza.tmp";

// The cycle's file operations never wait out another program's hold themselves: the turn tries
// again a moment later, while the window and the other terminals go on.
inline constexpr archivos::AnteBloqueo kAvisar = archivos::AnteBloqueo::Avisar;

// A file or folder inside a folder of the bridge's own making (never ending in a backslash).
inline std::string En(const std::string& carpeta, std::string_view nombre) {
    std::string ruta;
    ruta.reserve(carpeta.size() + 1 + nombre.size());
    return ruta.append(carpeta).append(1, '\\').append(nombre);
}

}  // namespace intercambio
