#include "bridge/fallos_duraderos.h"

#include <utility>

#include "config/textos_mensajes.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/texto_ansi.h"

std::string TextoDuracion(std::int64_t ms) {
    const std::int64_t s = (ms < 0 ? 0 : ms) / 1000;
    if (s < 60) return std::to_string(s) + " s";
    if (s < 3600) return std::to_string(s / 60) + " min " + std::to_string(s % 60) + " s";
    return std::to_string(s / 3600) + " h " + std::to_string(s % 3600 / 60) + " min";
}

FallosDuraderos::FallosDuraderos(std::function<std::int64_t()> relojMs) : reloj_(std::move(relojMs)) {}

bool FallosDuraderos::Ocurre(const std::string& terminal, const std::string& clave, const std::string& texto) {
    const std::int64_t ahora = reloj_();
    const std::lock_guard lock(m_);
    auto& deTerminal = fallos_[terminal];
    const auto hallado = deTerminal.find(clave);
    if (hallado == deTerminal.end()) {
        deTerminal.emplace(clave, Fallo{texto, ahora, ahora});
        actividad::Anotar(terminal + ": " + texto);
        return true;
    }
    Fallo& f = hallado->second;
    f.visto = true;
    ++f.veces;
    ++f.sinAnotar;
    if (ahora - f.ultimaLinea >= kRecordatorioMs) {
        actividad::Anotar(terminal + ": sigue desde hace " + TextoDuracion(ahora - f.desde) + " (" +
                          std::to_string(f.sinAnotar) + " veces más en " + TextoDuracion(ahora - f.ultimaLinea) +
                          "): " + f.texto);
        f.ultimaLinea = ahora;
        f.sinAnotar = 0;
    }
    return false;
}

void FallosDuraderos::FinDeTurno(const std::string& terminal) {
    const std::int64_t ahora = reloj_();
    const std::lock_guard lock(m_);
    const auto hallado = fallos_.find(terminal);
    if (hallado == fallos_.end()) return;
    auto& deTerminal = hallado->second;
    for (auto it = deTerminal.begin(); it != deTerminal.end();) {
        Fallo& f = it->second;
        if (f.visto) {
            f.visto = false;
            ++it;
            continue;
        }
        if (f.veces > 1)
            actividad::Anotar(terminal + ": terminó tras " + TextoDuracion(ahora - f.desde) + " (" +
                              std::to_string(f.veces) + " veces): " + f.texto);
        it = deTerminal.erase(it);
    }
    if (deTerminal.empty()) fallos_.erase(hallado);
}

std::optional<plataforma::ErrorSistema> MotivoInalcanzable(const std::string& carpeta) {
    try {
        if (archivos::Atributos(carpeta, archivos::AnteBloqueo::Avisar).esCarpeta) return std::nullopt;
        return plataforma::ErrorSistema(267, "No es una carpeta", carpeta);
    } catch (const plataforma::BloqueoPasajero&) {
        // Held for a moment: it is there.
        return std::nullopt;
    } catch (const plataforma::ErrorSistema& e) {
        return e;
    } catch (...) {
        return plataforma::ErrorSistema(0, plataforma::DescripcionFalloEnCurso(), carpeta);
    }
}

CortesCarpetas::CortesCarpetas(Avisos& ui, std::function<std::int64_t()> relojMs)
    : ui_(ui), reloj_(std::move(relojMs)) {}

void CortesCarpetas::Empieza(const std::string& carpeta, const plataforma::ErrorSistema& motivo,
                             const std::string& terminal, bool conMensaje) {
    {
        const std::int64_t ahora = reloj_();
        const std::lock_guard lock(m_);
        if (!cortes_.emplace(carpeta, Corte{terminal, ahora}).second) return;
    }
    actividad::Anotar((terminal.empty() ? "" : terminal + ": ") + "carpeta inaccesible " + carpeta + ": " +
                      motivo.TextoNumeroDescripcion());
    if (!conMensaje) return;
    ui_.MostrarSinAnotar(mensajes::Rellenar(mensajes::kTextoCarpetaInaccesible,
                                            {carpeta, motivo.TextoNumeroDescripcion()}),
                         mensajes::kTituloCarpetaInaccesible, Icono::Critico);
}

bool CortesCarpetas::Cortada(const std::string& ruta) const {
    const std::lock_guard lock(m_);
    for (const auto& [carpeta, corte] : cortes_) {
        if (ruta.size() < carpeta.size() ||
            !IgualesSinMayusculas(std::string_view(ruta).substr(0, carpeta.size()), carpeta))
            continue;
        if (ruta.size() == carpeta.size() || ruta[carpeta.size()] == '\\' || ruta[carpeta.size()] == '/' ||
            carpeta.back() == '\\' || carpeta.back() == '/')
            return true;
    }
    return false;
}

std::vector<std::string> CortesCarpetas::Revisar() {
    std::map<std::string, Corte> cortes;
    {
        const std::lock_guard lock(m_);
        cortes = cortes_;
    }
    std::vector<std::string> vueltas;
    for (const auto& [carpeta, corte] : cortes) {
        if (MotivoInalcanzable(carpeta)) continue;
        {
            const std::lock_guard lock(m_);
            cortes_.erase(carpeta);
        }
        actividad::Anotar((corte.terminal.empty() ? "" : corte.terminal + ": ") + "carpeta accesible de nuevo " +
                          carpeta + ", tras " + TextoDuracion(reloj_() - corte.desde));
        vueltas.push_back(carpeta);
    }
    return vueltas;
}
