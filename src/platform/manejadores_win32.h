#pragma once
// Owners of Win32 handles: each closes what it holds when it goes out of scope, so a failure path
// closes what it opened. One template; each kind of handle names its own "none" and its closing call.

#include <windows.h>

#include <utility>

namespace plataforma {

template <typename H, auto Ninguno, auto Liberar>
class ManejadorUnico {
public:
    ManejadorUnico() noexcept = default;
    explicit ManejadorUnico(H h) noexcept : h_(h) {}
    ~ManejadorUnico() {
        if (Valido()) Liberar(h_);
    }
    ManejadorUnico(ManejadorUnico&& otro) noexcept : h_(std::exchange(otro.h_, Ninguno())) {}
    ManejadorUnico& operator=(ManejadorUnico&& otro) noexcept {
        std::swap(h_, otro.h_);
        return *this;
    }
    ManejadorUnico(const ManejadorUnico&) = delete;
    ManejadorUnico& operator=(const ManejadorUnico&) = delete;

    bool Valido() const noexcept { return h_ != Ninguno() && h_ != nullptr; }
    explicit operator bool() const noexcept { return Valido(); }
    H Get() const noexcept { return h_; }
    // For the calls that return the handle through a pointer (RegOpenKeyExA); only while empty.
    H* Direccion() noexcept { return &h_; }
    H Soltar() noexcept { return std::exchange(h_, Ninguno()); }
    // Closes now and tells whether the close worked: a write the cache could not flush shows here.
    bool Cerrar() noexcept {
        const H h = std::exchange(h_, Ninguno());
        return h != Ninguno() && h != nullptr && Liberar(h);
    }

private:
    H h_ = Ninguno();
};

namespace detalle {
inline HANDLE SinManejador() noexcept { return INVALID_HANDLE_VALUE; }
inline HKEY SinClave() noexcept { return nullptr; }
inline bool CerrarManejador(HANDLE h) noexcept { return CloseHandle(h) != 0; }
inline bool CerrarBusqueda(HANDLE h) noexcept { return FindClose(h) != 0; }
inline bool CerrarClave(HKEY h) noexcept { return RegCloseKey(h) == ERROR_SUCCESS; }
}  // namespace detalle

// A file, process, thread, snapshot or mutex handle. Both "none" values that Win32 calls return
// (null and INVALID_HANDLE_VALUE) count as empty.
using Manejador = ManejadorUnico<HANDLE, detalle::SinManejador, detalle::CerrarManejador>;
// A search of FindFirstFileA.
using Busqueda = ManejadorUnico<HANDLE, detalle::SinManejador, detalle::CerrarBusqueda>;
// An open registry key.
using ClaveRegistro = ManejadorUnico<HKEY, detalle::SinClave, detalle::CerrarClave>;

}  // namespace plataforma
