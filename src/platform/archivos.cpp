#include "platform/archivos.h"

namespace archivos {

std::string Unir(const std::string& carpeta, const std::string& nombre) {
    if (!carpeta.empty() && carpeta.back() == '\\') return carpeta + nombre;
    return carpeta + '\\' + nombre;
}

}  // namespace archivos
