#include "platform/procesos.h"

namespace procesos {

namespace {

bool EsBlanco(char c) { return c == ' ' || c == '\t'; }

bool SinExtension(std::string_view ruta) {
    const std::size_t barra = ruta.find_last_of("\\/");
    return ruta.find('.', barra == std::string_view::npos ? 0 : barra + 1) == std::string_view::npos;
}

}  // namespace

std::optional<ProgramaYResto> ProgramaExistente(std::string_view linea,
                                                const std::function<bool(const std::string&)>& esArchivo, bool conExe) {
    while (!linea.empty() && EsBlanco(linea.front())) linea.remove_prefix(1);
    if (linea.empty() || linea.front() == '"') return std::nullopt;
    // Each cut ends a part just before a blank; a run of blanks gives one part. The whole line first.
    for (std::size_t corte = linea.size(); corte > 0; --corte) {
        if (corte < linea.size() && !EsBlanco(linea[corte])) continue;
        if (EsBlanco(linea[corte - 1])) continue;
        const std::string parte(linea.substr(0, corte));
        const std::string resto(linea.substr(corte));
        if (esArchivo(parte)) return ProgramaYResto{parte, resto};
        if (conExe && SinExtension(parte) && esArchivo(parte + ".exe")) return ProgramaYResto{parte + ".exe", resto};
    }
    return std::nullopt;
}

}  // namespace procesos
