#include "platform/error_sistema.h"

#include <new>
#include <system_error>
#include <utility>

namespace plataforma {

ErrorSistema::ErrorSistema(long numero, std::string descripcion, std::string ruta)
    : std::runtime_error(std::to_string(numero) + ": " + descripcion + (ruta.empty() ? "" : " (" + ruta + ")")),
      numero_(numero),
      descripcion_(std::move(descripcion)),
      ruta_(std::move(ruta)) {}

std::string ErrorSistema::TextoNumeroDescripcion() const { return std::to_string(numero_) + ": " + descripcion_; }

std::string TextoFalloEnCurso() {
    try {
        throw;
    } catch (const ErrorSistema& e) {
        return e.TextoNumeroDescripcion();
    } catch (const std::bad_alloc&) {
        return "7: Memoria insuficiente";
    } catch (const std::system_error& e) {
        return std::to_string(e.code().value()) + ": " + e.what();
    } catch (const std::exception& e) {
        return std::string("0: ") + e.what();
    } catch (...) {
        return "0: Error desconocido";
    }
}

std::string DescripcionFalloEnCurso() {
    try {
        throw;
    } catch (const ErrorSistema& e) {
        return e.Descripcion();
    } catch (const std::bad_alloc&) {
        return "Memoria insuficiente";
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "Error desconocido";
    }
}

std::string RutaFalloEnCurso() {
    try {
        throw;
    } catch (const ErrorSistema& e) {
        return e.Ruta();
    } catch (...) {
        return {};
    }
}

void LanzarError(long numero, const std::string& ruta) { throw ErrorSistema(numero, DescripcionError(numero), ruta); }

void LanzarUltimoError(const std::string& ruta) { LanzarError(UltimoError(), ruta); }

}  // namespace plataforma
