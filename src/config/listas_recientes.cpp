#include "config/listas_recientes.h"

#include <cmath>
#include <exception>

#include "config/textos_mensajes.h"
#include "platform/almacen_ajustes.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

const ListaReciente kLastDirKorvane{"LastDirKorvane", mensajes::kTituloLeerLastDirKorvane,
                                    mensajes::kTituloGrabarLastDirKorvane};
const ListaReciente kLastDirExeZelno{"LastDirExeZelno", mensajes::kTituloLeerLastDirExeZelno,
                                     mensajes::kTituloGrabarLastDirExeZelno};
const ListaReciente kLastDirZelno{"LastDirZelno", mensajes::kTituloLeerLastDirZelno,
                                  mensajes::kTituloGrabarLastDirZelno};

void LeerListaReciente(const std::string& aplicacion, const ListaReciente& cual, std::vector<std::string>& lista,
                       InterfazUsuario& ui) {
    try {
        for (int n = 1;; ++n) {
            std::string valor = ajustes::LeerAjuste(aplicacion, cual.seccion, std::to_string(n), "");
            if (valor.empty()) break;
            lista.push_back(std::move(valor));
        }
    } catch (...) {
        ui.MostrarMensaje(plataforma::DescripcionFalloEnCurso(), cual.tituloLeer, Icono::Critico);
    }
}

void GrabarListaReciente(const std::string& aplicacion, const ListaReciente& cual, const std::string& valorNuevo,
                         const std::vector<std::string>& lista, InterfazUsuario& ui) {
    if (valorNuevo.empty()) return;
    try {
        // The old list goes up to its first gap; keys after a gap stay where they are.
        for (int n = 1; !ajustes::LeerAjuste(aplicacion, cual.seccion, std::to_string(n), "").empty(); ++n)
            ajustes::BorrarAjuste(aplicacion, cual.seccion, std::to_string(n));
        ajustes::GrabarAjuste(aplicacion, cual.seccion, "1", valorNuevo);
        const std::string nuevoMayusculas = MayusculasAnsi(valorNuevo);
        int clave = 1;
        // Only the first five earlier entries are considered, even when one of them is dropped.
        for (std::size_t k = 0; k < lista.size() && k < 5; ++k) {
            const std::string anterior(SinBlancosExtremos(lista[k]));
            if (anterior.empty() || MayusculasAnsi(anterior) == nuevoMayusculas) continue;
            ajustes::GrabarAjuste(aplicacion, cual.seccion, std::to_string(++clave), anterior);
        }
    } catch (...) {
        ui.MostrarMensaje(plataforma::DescripcionFalloEnCurso(), cual.tituloGrabar, Icono::Critico);
    }
}

std::optional<std::int16_t> NumeroDelIntervalo(const std::string& texto) {
    // Blanks, tabs and line feeds anywhere are skipped; the number ends at the first other
    // character that cannot continue it.
    std::string numero;
    bool punto = false, digitos = false;
    for (char c : texto) {
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
        if ((c == '+' || c == '-') && numero.empty()) {
            numero += c;
        } else if (c >= '0' && c <= '9') {
            numero += c;
            digitos = true;
        } else if (c == '.' && !punto) {
            numero += c;
            punto = true;
        } else {
            break;
        }
    }
    if (!digitos) return 0;
    // Long digit runs are fine: a double keeps the magnitude, and the range check follows.
    const double valor = std::strtod(numero.c_str(), nullptr);
    const double redondeado = std::nearbyint(valor);  // the default rounding mode: halves to even
    if (!(redondeado >= -32768.0 && redondeado <= 32767.0)) return std::nullopt;
    return static_cast<std::int16_t>(redondeado);
}
