#include "platform/error_sistema.h"

#include <utility>

namespace plataforma {

ErrorSistema::ErrorSistema(long numero, std::string descripcion)
    : std::runtime_error(std::to_string(numero) + ": " + descripcion),
      numero_(numero),
      descripcion_(std::move(descripcion)) {}

std::string ErrorSistema::TextoNumeroDescripcion() const {
    return std::to_string(numero_) + ": " + descripcion_;
}

void LanzarError(long numero, const std::string& ruta) {
    std::string descripcion = DescripcionError(numero);
    if (!ruta.empty()) descripcion += " (" + ruta + ")";
    throw ErrorSistema(numero, std::move(descripcion));
}

void LanzarUltimoError(const std::string& ruta) { LanzarError(UltimoError(), ruta); }

}  // namespace plataforma
