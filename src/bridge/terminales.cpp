#include "bridge/terminales.h"
#include "bridge/archivos_intercambio.h"
#include "bridge/fallos_duraderos.h"

#include <set>
#include <string>
#include <string_view>

#include "config/textos_mensajes.h"
#include "platform/actividad.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"
#include "platform/texto_ansi.h"

using namespace intercambio;

namespace {

bool EmpiezaPorTERM(std::string_view nombre) { return IgualesSinMayusculas(nombre.substr(0, 4), "TERM"); }

void CrearSiFalta(const std::string& ruta) {
    if (!archivos::ExisteEntrada(ruta)) archivos::CrearCarpeta(ruta);
}

// The 16-bit counter of the discovery order cannot pass 32767.
constexpr int kMaximoTerminales = 32767;
// Names listed in the log line of a load; the count says the rest.
constexpr std::size_t kNombresEnActividad = 40;

void AnotarCarga(const std::string& raiz, const std::vector<clsItemTerXX>& lista) {
    std::string linea = "Terminales en " + raiz + ": " + std::to_string(lista.size());
    for (std::size_t i = 0; i < lista.size() && i < kNombresEnActividad; ++i)
        linea += (i == 0 ? " (" : ", ") + lista[i].TerXX;
    if (lista.size() > kNombresEnActividad) linea += ", ...";
    if (!lista.empty()) linea += ")";
    actividad::Anotar(linea);
}

// A root out of reach behind the load's failure goes to `cortes` without a message of its own (the
// load's is shown): the cycle leaves its terminals alone and says when it is back.
void AnotarRaizCortada(CortesCarpetas* cortes, const clsConfiguracion& configuracion) {
    if (cortes == nullptr) return;
    for (const std::string* raiz : {&configuracion.DirectorioKorvane, &configuracion.DirectorioZELNO})
        if (auto motivo = MotivoInalcanzable(*raiz)) cortes->Empieza(*raiz, *motivo, {}, false);
}

// The ANSI listing gives '?' for each character of a name that the code page cannot hold, and '?' is
// never part of a real name: such a folder cannot be opened by that name, so it is not served. Each
// one is reported once a run, whatever the number of loads.
std::set<std::string> nombresIlegiblesAvisados;

void AvisarNombreIlegible(const std::string& carpeta, InterfazUsuario& ui) {
    if (!nombresIlegiblesAvisados.insert(carpeta).second) return;
    ui.MostrarMensaje(mensajes::Rellenar(mensajes::kTextoNombreIlegible, {carpeta}), mensajes::kTituloCargaTerminales,
                      Icono::Critico);
}

}  // namespace

ListaTerminales CargarTerminales(const clsConfiguracion& configuracion, InterfazUsuario& ui, CortesCarpetas* cortes) {
    auto lista = std::make_shared<std::vector<clsItemTerXX>>();
    // A settings load that stopped early can leave a folder empty: it would name the root of the
    // current drive, which is never listed or written to.
    if (configuracion.DirectorioKorvane.empty() || configuracion.DirectorioZELNO.empty()) return lista;
    try {
        for (const archivos::Entrada& entrada :
             archivos::Listar(archivos::Unir(configuracion.DirectorioKorvane, "TER*.*"))) {
            if (entrada.oculto || entrada.sistema) continue;
            if (EmpiezaPorTERM(entrada.nombre) || entrada.nombre == "." || entrada.nombre == "..") continue;
            if (!entrada.esCarpeta) continue;
            if (entrada.nombre.find('?') != std::string::npos) {
                AvisarNombreIlegible(archivos::Unir(configuracion.DirectorioKorvane, entrada.nombre), ui);
                continue;
            }
            if (static_cast<int>(lista->size()) >= kMaximoTerminales)
                throw plataforma::ErrorSistema(6, "Desbordamiento: demasiadas carpetas de terminal");
            lista->push_back({entrada.nombre, entrada.nombre.substr(3), static_cast<std::int16_t>(lista->size() + 1)});
        }
        for (const clsItemTerXX& item : *lista) {
            const std::string carpeta =
                archivos::Unir(configuracion.DirectorioZELNO, kPrefijoTerminal + item.CodigoTerminal);
            CrearSiFalta(carpeta);
            CrearSiFalta(En(carpeta, kSubida));
            CrearSiFalta(En(carpeta, kDescarga));
        }
        if (configuracion.ActivarTX > 0) CrearSiFalta(archivos::Unir(configuracion.DirectorioZELNO, kCarpetaTx));
        AnotarCarga(configuracion.DirectorioKorvane, *lista);
    } catch (const plataforma::ErrorSistema& e) {
        ui.MostrarMensaje(e.Descripcion(), mensajes::kTituloCargaTerminales, Icono::Critico);
        AnotarRaizCortada(cortes, configuracion);
    } catch (const std::exception& e) {
        ui.MostrarMensaje(e.what(), mensajes::kTituloCargaTerminales, Icono::Critico);
    }
    return lista;
}
