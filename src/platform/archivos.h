#pragma once
// Exchange-file operations. Paths use '\' or '/' as separators; exchange files are raw bytes,
// never converted. Every failure throws plataforma::ErrorSistema with the platform's number and
// description. On Linux a path component that is missing under its exact name is looked up again
// without regard to letter case, as the Windows file system does.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace archivos {

// Local wall-clock time, to the second.
struct FechaHora {
    int anio = 0, mes = 0, dia = 0, hora = 0, minuto = 0, segundo = 0;
    friend bool operator==(const FechaHora&, const FechaHora&) = default;
};

struct Entrada {
    std::string nombre;  // as the listing returns it
    bool esCarpeta = false;
    bool oculto = false;
    bool sistema = false;
    bool soloLectura = false;
};

// What an operation does when another program holds its file for a moment (a sharing or lock
// violation, see plataforma::EsBloqueoPasajero).
enum class AnteBloqueo {
    Esperar,  // tries again for about a second, then fails
    Avisar,   // throws plataforma::BloqueoPasajero at once, for a caller that tries again later
              // without holding up its thread meanwhile
};
inline constexpr AnteBloqueo kEsperar = AnteBloqueo::Esperar;

// True when an ordinary file of that exact name exists: not a folder, not hidden, not system.
// A path with wild cards, an empty path or a missing folder gives false. When the system cannot
// tell (a network path gone, access denied, a device not ready) it throws: "cannot tell" is never
// taken for "no".
bool Existe(const std::string& ruta);

// True when anything of that name exists, file or folder, whatever its attributes. Throws when the
// system cannot tell, as Existe.
bool ExisteEntrada(const std::string& ruta);

// Attributes of an existing entry (its name is the last component of `ruta`).
Entrada Atributos(const std::string& ruta, AnteBloqueo modo = kEsperar);

// The whole file, from the first byte.
std::string LeerCompleto(const std::string& ruta, AnteBloqueo modo = kEsperar);

// The first `maximo` bytes of the file, or all of it when it is shorter: what a decision needs of
// a file that may be of any size.
std::string LeerInicio(const std::string& ruta, std::size_t maximo, AnteBloqueo modo = kEsperar);

// At most `maximo` bytes of the file from byte `desde` (0-based); fewer at its end.
std::string LeerTramo(const std::string& ruta, std::int64_t desde, std::size_t maximo, AnteBloqueo modo = kEsperar);

// Writes `datos` from the first byte, creating the file when it is missing. The file is not
// shortened: bytes beyond `datos` keep their old values. Empty `datos` only creates the file.
void EscribirAlInicio(const std::string& ruta, std::string_view datos, AnteBloqueo modo = kEsperar);

// A file opened for reading and writing of raw bytes (created when missing), for the steps that
// tell the opening and the writing apart. Closed when the object goes.
class ArchivoBinario {
public:
    explicit ArchivoBinario(const std::string& ruta, AnteBloqueo modo = kEsperar);
    ~ArchivoBinario();
    ArchivoBinario(const ArchivoBinario&) = delete;
    ArchivoBinario& operator=(const ArchivoBinario&) = delete;

    // The first `maximo` bytes, read through this same handle.
    std::string LeerInicio(std::size_t maximo);
    // Writes `datos` from the first byte without shortening the file.
    void EscribirAlInicio(std::string_view datos);
    // Writes `datos` from byte `desde` (0-based), growing the file when it is shorter.
    void EscribirEn(std::int64_t desde, std::string_view datos);
    // Writes what was written through to the disk.
    void Sincronizar();

private:
    std::string ruta_;
    AnteBloqueo modo_;
    std::intptr_t manejador_ = -1;  // HANDLE on Windows, file descriptor elsewhere
};

// Replaces the whole content of the file with `datos` (created when missing).
void EscribirCompleto(const std::string& ruta, std::string_view datos, AnteBloqueo modo = kEsperar);

// Replaces the whole content of the file with `datos` and writes it through to the disk, holding the
// file to itself meanwhile: another program can neither read it half written nor remove it while
// it is open (a removal then would take the new content with it). For a file that hands something
// over to another program.
void EscribirEntrega(const std::string& ruta, std::string_view datos, AnteBloqueo modo = kEsperar);

// Replaces the file with `datos` in one step, through a temporary file beside it: a stop or a power
// cut leaves either the old content or the new one whole, never a mixture. For the program's own
// files, never the exchange files.
void EscribirSeguro(const std::string& ruta, std::string_view datos, AnteBloqueo modo = kEsperar);

// Puts a copy of `origen` at `destino` so that a reader of `destino` only ever sees it whole: written
// and flushed under `temporal` (beside `destino`, on the same volume, a name no other program reads),
// then renamed into place. With `reemplazar`, over a file that is there; without it, a file at
// `destino` (in any letter case) is left alone, `temporal` goes, and false comes back.
bool ColocarCopia(const std::string& origen, const std::string& destino, const std::string& temporal, bool reemplazar,
                  AnteBloqueo modo = kEsperar);
// The same for `datos`.
bool ColocarDatos(std::string_view datos, const std::string& destino, const std::string& temporal, bool reemplazar,
                  AnteBloqueo modo = kEsperar);

// EscribirCompleto, then Sincronizar, through the one handle that wrote it. The interceptor sees
// both operations, in that order.
void EscribirCompletoYSincronizar(const std::string& ruta, std::string_view datos, AnteBloqueo modo = kEsperar);

// Writes a file's data through to the disk, so that a power cut after this keeps it. It reopens the
// file by name: where the writer still holds its handle, flush through it (CopiarYSincronizar,
// EscribirCompletoYSincronizar, EscribirEntrega). A file that this thread wrote whole last (Copiar,
// EscribirCompleto; no other write since) and that is gone when it is flushed was taken by the
// program it was written for: that is no failure. Any other missing file is.
void Sincronizar(const std::string& ruta, AnteBloqueo modo = kEsperar);

// Appends `datos` at the end of the file (created when missing).
void Anexar(const std::string& ruta, std::string_view datos, AnteBloqueo modo = kEsperar);

// Copies a whole file, replacing the target when it exists. The copy keeps the source's
// last-modification time, as the Windows file copy does.
void Copiar(const std::string& origen, const std::string& destino, AnteBloqueo modo = kEsperar);
// Copiar, then Sincronizar of the copy, through the one handle that wrote it: one opening of the
// target instead of two. The interceptor sees both operations, in that order.
void CopiarYSincronizar(const std::string& origen, const std::string& destino, AnteBloqueo modo = kEsperar);

void Borrar(const std::string& ruta, AnteBloqueo modo = kEsperar);

std::int64_t Tamanio(const std::string& ruta, AnteBloqueo modo = kEsperar);

FechaHora FechaModificacion(const std::string& ruta, AnteBloqueo modo = kEsperar);

// The same time as seconds since 1970-01-01 UTC: it never repeats when the clocks go back.
std::int64_t SegundosModificacion(const std::string& ruta, AnteBloqueo modo = kEsperar);

// Entries of a folder that match a wild card ("C:\K\TER*.*"), in the file system's order, with
// their attributes; "." and ".." are left out. Matching ignores letter case, '*' and '?' work as on
// Windows, and a pattern ending in ".*" also takes names without an extension. A folder that does
// not exist throws; a folder with no match gives an empty list.
std::vector<Entrada> Listar(const std::string& patron, AnteBloqueo modo = kEsperar);

// Creates one folder level; the parent must exist.
void CrearCarpeta(const std::string& ruta, AnteBloqueo modo = kEsperar);
// Creates the folder and whichever of its parents are missing; one made meanwhile by someone else is
// what was wanted.
void CrearConSusPadres(const std::string& ruta, AnteBloqueo modo = kEsperar);

// Every operation above first passes its name ("Copiar", "Borrar", ...) and path to the interceptor
// when one is installed: tests fail an operation, or stop the program there, with it. A sharing or
// lock violation is then handled as `modo` says.
using Interceptor = std::function<void(const char* operacion, const std::string& ruta)>;
// Installs `interceptor` for every thread; an empty one removes it.
void InstalarInterceptor(Interceptor interceptor);

// Joins a folder and a name with one backslash, none added when the folder already ends in one.
std::string Unir(const std::string& carpeta, std::string_view nombre);
// The same into `ruta`, whose memory is used again: a loop over many names allocates once.
void UnirEn(std::string& ruta, const std::string& carpeta, std::string_view nombre);

}  // namespace archivos
