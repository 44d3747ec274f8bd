#pragma once
// Inside the file layer: the operating system's file operations (archivos_win32.cpp and
// archivos_posix.cpp) under the names of archivos.h, and the one path every public operation takes
// to them (archivos.cpp): the interceptor that tests install, then retries of short locks.

#include <chrono>
#include <functional>
#include <thread>
#include <type_traits>
#include <utility>

#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

namespace archivos::sistema {

bool Existe(const std::string& ruta);
bool ExisteEntrada(const std::string& ruta);
Entrada Atributos(const std::string& ruta);
std::string LeerCompleto(const std::string& ruta);
std::string LeerInicio(const std::string& ruta, std::size_t maximo);
std::string LeerTramo(const std::string& ruta, std::int64_t desde, std::size_t maximo);
void EscribirAlInicio(const std::string& ruta, std::string_view datos);
void EscribirCompleto(const std::string& ruta, std::string_view datos);
void EscribirEntrega(const std::string& ruta, std::string_view datos);
void Anexar(const std::string& ruta, std::string_view datos);
void Copiar(const std::string& origen, const std::string& destino);
void Borrar(const std::string& ruta);
std::int64_t Tamanio(const std::string& ruta);
FechaHora FechaModificacion(const std::string& ruta);
std::int64_t SegundosModificacion(const std::string& ruta);
std::vector<Entrada> Listar(const std::string& patron);
void CrearCarpeta(const std::string& ruta);
// Writes the file's data through to the disk.
void Sincronizar(const std::string& ruta);
// A file written whole (created or emptied first) and held open, then flushed and closed through the
// same handle: one opening instead of two for each record of an exchange.
class Escritura {
public:
    Escritura() noexcept = default;
    Escritura(const std::string& ruta, std::string_view datos);
    // The copy of `origen` (as Copiar makes it), held open.
    static Escritura Copia(const std::string& origen, const std::string& destino);
    ~Escritura();
    Escritura(Escritura&& otra) noexcept : ruta_(std::move(otra.ruta_)), h_(std::exchange(otra.h_, -1)) {}
    Escritura& operator=(Escritura&& otra) noexcept {
        std::swap(ruta_, otra.ruta_);
        std::swap(h_, otra.h_);
        return *this;
    }
    Escritura(const Escritura&) = delete;
    Escritura& operator=(const Escritura&) = delete;
    // The data through to the disk, then the handle closed; the handle stays open when this throws.
    void SincronizarYCerrar();

private:
    std::string ruta_;
    std::intptr_t h_ = -1;  // the handle on Windows, the descriptor elsewhere
};
// Renames `origen` over `destino` in one step, replacing it, durably.
void Reemplazar(const std::string& origen, const std::string& destino);
// A rename that does not replace: false, with nothing changed, when `destino` exists in any case.
bool RenombrarSinReemplazar(const std::string& origen, const std::string& destino);
// The path as the system's own calls take it, for the platform's code outside the file layer that
// opens files itself (the lock file): the same on Windows; on Linux with '/' separators and each
// component spelt as it exists, whatever the letter case.
std::string RutaLocal(const std::string& ruta);

}  // namespace archivos::sistema

namespace archivos::detalle {

// The interceptor in force, or nothing.
const Interceptor& InterceptorActual() noexcept;

// How long a sharing or lock violation is tried again before the operation counts as failed:
// scanners and the two outside programs hold the exchange files for moments only.
inline constexpr std::chrono::milliseconds kEsperaBloqueo{1000};
inline constexpr std::chrono::milliseconds kPausaBloqueo{25};

// Runs one operation: the interceptor first (it may fail it or stop there), then the operation,
// both again while the failure is a short lock and the time allows, counted from the first such
// failure: an operation that succeeds reads no clock (every look at every terminal goes through here).
template <typename F>
auto Operar(const char* operacion, const std::string& ruta, AnteBloqueo modo, F&& f, bool alBorrar = false)
    -> decltype(f()) {
    std::chrono::steady_clock::time_point limite;
    for (bool anotado = false;; anotado = true) {
        try {
            if (const Interceptor& i = InterceptorActual()) i(operacion, ruta);
            return f();
        } catch (const plataforma::ErrorSistema& e) {
            if (!plataforma::EsBloqueoPasajero(e.Numero(), alBorrar)) throw;
            if (modo == AnteBloqueo::Avisar) throw plataforma::BloqueoPasajero(e);
            const auto ahora = std::chrono::steady_clock::now();
            if (!anotado) limite = ahora + kEsperaBloqueo;
            if (ahora >= limite) throw;
            if (!anotado) actividad::AnotarFalloIgnorado(std::string(operacion) + " " + ruta + ", se reintenta");
        }
        std::this_thread::sleep_for(kPausaBloqueo);
    }
}

}  // namespace archivos::detalle
