#pragma once
// A lock file: one process holds it open so that no other can write or remove it while it lives,
// with a few lines inside that say who holds it. Others can still read those lines. The process's
// end lets it go, however it ends; the file itself stays, and the next holder writes over it.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace cerrojo {

// Who holds a lock, as text: a holder's file may come from another machine, another version, or be
// garbage, and is only ever shown. Empty fields are unknown.
struct Titular {
    std::string equipo;
    std::string usuario;
    std::string sesion;
    std::string proceso;
    std::string desde;  // "AAAA-MM-DD HH:MM:SS", local time of the holder
    friend bool operator==(const Titular&, const Titular&) = default;
};

// This process: computer name, user name, session and process id (no time).
Titular TitularPropio();

// The file's content: "Clave: valor" lines ended by CR LF.
std::string TextoTitular(const Titular& titular);
// Reads it back. Unknown lines and anything beyond the known fields are ignored; fields missing or
// unreadable stay empty. Never throws.
Titular LeerTitular(std::string_view texto);

// The largest content read from a holder's file.
inline constexpr std::size_t kMaximoTitular = 4096;

enum class Estado {
    Libre,    // nobody holds it (the file may be missing, or left by a holder that has ended)
    Tomado,   // this object holds it
    Ocupado,  // another holder has it
    Fallo,    // neither: the file could not be made or opened (folder missing, read-only, no access)
};

// What a look at a lock file, or an attempt to take it, found.
struct Intento {
    Estado estado = Estado::Libre;
    Titular otro;       // Ocupado: what the holder's file says, as far as it could be read
    std::string error;  // Fallo: "number: description"
};

// Looks at `ruta` without taking it: Ocupado with its holder when another holds it, Libre otherwise
// (Fallo only when the file exists and cannot be looked at).
Intento Consultar(const std::string& ruta);

class Cerrojo {
public:
    Cerrojo() = default;
    ~Cerrojo() { Soltar(); }
    Cerrojo(const Cerrojo&) = delete;
    Cerrojo& operator=(const Cerrojo&) = delete;

    // Takes the lock file `ruta` (created when missing) and writes `quien` into it. A lock already
    // held by this object is let go first. Tomado, Ocupado (with who holds it) or Fallo.
    Intento Tomar(const std::string& ruta, const Titular& quien);
    // Lets it go; the file stays.
    void Soltar() noexcept;
    bool Tomado() const noexcept { return manejador_ != -1; }

private:
    std::intptr_t manejador_ = -1;  // HANDLE on Windows, file descriptor elsewhere
};

}  // namespace cerrojo
