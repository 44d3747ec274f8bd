#include "platform/almacen_ajustes.h"

namespace ajustes {

std::string SinCarpetaNiExtension(std::string ruta) {
    const std::size_t barra = ruta.find_last_of("\\/");
    if (barra != std::string::npos) ruta.erase(0, barra + 1);
    const std::size_t punto = ruta.rfind('.');
    if (punto != std::string::npos && punto > 0) ruta.erase(punto);
    return ruta;
}

}  // namespace ajustes
