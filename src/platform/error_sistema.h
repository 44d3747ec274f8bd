#pragma once
// A failure of an operating-system call or of a conversion, carried as an exception with the
// failure's number and description, the way the user sees it in a message box ("53: ...").

#include <stdexcept>
#include <string>

namespace plataforma {

class ErrorSistema : public std::runtime_error {
public:
    ErrorSistema(long numero, std::string descripcion, std::string ruta = {});

    long Numero() const noexcept { return numero_; }
    // The platform's own wording, as the user sees it in a message box.
    const std::string& Descripcion() const noexcept { return descripcion_; }
    // The file or folder that failed, when there is one; what() names it too.
    const std::string& Ruta() const noexcept { return ruta_; }
    // "number: description", the text of the polling cycle's failure message.
    std::string TextoNumeroDescripcion() const;

private:
    long numero_;
    std::string descripcion_;
    std::string ruta_;
};

// A short lock met by a file operation that was told not to wait for it (archivos::AnteBloqueo::Avisar):
// the caller tries again later, without holding anything up meanwhile.
class BloqueoPasajero : public ErrorSistema {
public:
    explicit BloqueoPasajero(const ErrorSistema& e) : ErrorSistema(e) {}
};

// The platform's number of the last failed call (GetLastError on Windows, errno elsewhere).
long UltimoError();
// A failure that another program's brief hold on a file causes, worth trying again for a moment:
// a sharing or lock violation, and, when deleting, the refusal that a file still open meets.
bool EsBloqueoPasajero(long numero, bool alBorrar);
// A file or folder that is not there (a peer took it, or it never was).
bool EsAusente(long numero);
// The platform's description of a failure number (FormatMessageA / strerror), without line ends.
std::string DescripcionError(long numero);

// The failure being handled, as the user sees it: "number: description". Call it only inside a
// catch block. Failures that carry no number of their own get 7 (out of memory) or 0.
std::string TextoFalloEnCurso();
// The same failure's description alone, for the messages that show no number.
std::string DescripcionFalloEnCurso();
// The file or folder of the failure being handled, when it names one.
std::string RutaFalloEnCurso();

// Throws ErrorSistema for `numero` with the platform's description and the path that failed.
[[noreturn]] void LanzarError(long numero, const std::string& ruta = {});
// Same, with the number of the last failed call.
[[noreturn]] void LanzarUltimoError(const std::string& ruta = {});

}  // namespace plataforma
