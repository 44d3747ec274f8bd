#include "bridge/cerrojo_korvane.h"

#include <cstdio>
#include <utility>

#include "platform/actividad.h"
#include "platform/archivos.h"

std::string DescribirTitular(const cerrojo::Titular& t) {
    std::string texto;
    const auto agregar = [&texto](const char* nombre, const std::string& valor) {
        if (valor.empty()) return;
        if (!texto.empty()) texto += ", ";
        texto += std::string(nombre) + " " + valor;
    };
    agregar("equipo", t.equipo);
    agregar("usuario", t.usuario);
    agregar("sesión", t.sesion);
    agregar("proceso", t.proceso);
    agregar("desde", t.desde);
    return texto;
}

cerrojo::Titular TitularAhora(const RelojLocal& reloj) {
    cerrojo::Titular yo = cerrojo::TitularPropio();
    const archivos::FechaHora f = reloj();
    char desde[48];
    std::snprintf(desde, sizeof desde, "%04d-%02d-%02d %02d:%02d:%02d", f.anio, f.mes, f.dia, f.hora, f.minuto,
                  f.segundo);
    yo.desde = desde;
    return yo;
}

CerrojoKorvane::CerrojoKorvane(InterfazUsuario& ui, RelojLocal reloj) : ui_(ui), reloj_(std::move(reloj)) {}

bool CerrojoKorvane::PuedeAtender(const std::string& raiz) {
    if (raiz != raiz_) {
        if (cerrojo_.Tomado()) actividad::Anotar("Tramiza deja de atender la carpeta de Korvane " + raiz_);
        cerrojo_.Soltar();
        raiz_ = raiz;
        rechazado_ = avisado_ = falloAnotado_ = false;
    }
    // No root, no terminals: nothing to hold.
    if (raiz_.empty() || cerrojo_.Tomado()) return true;

    const std::string ruta = archivos::Unir(raiz_, kArchivoCerrojo);
    const cerrojo::Intento intento = cerrojo_.Tomar(ruta, TitularAhora(reloj_));
    switch (intento.estado) {
        case cerrojo::Estado::Tomado:
            actividad::Anotar("Tramiza atiende la carpeta de Korvane " + raiz_ +
                              (rechazado_ ? ": el otro Tramiza la ha dejado" : ""));
            rechazado_ = avisado_ = falloAnotado_ = false;
            return true;
        case cerrojo::Estado::Ocupado: {
            rechazado_ = true;
            const std::string quien = DescribirTitular(intento.otro);
            ui_.EstablecerEstado("Otro Tramiza atiende " + raiz_);
            if (!avisado_) {
                avisado_ = true;
                ui_.MostrarMensaje(mensajes::Rellenar(mensajes::kTextoRaizAtendida,
                                                      {raiz_, quien.empty() ? "" : " (" + quien + ")"}),
                                   kTituloRaizAtendida, Icono::Informacion);
            }
            return false;
        }
        default:
            if (!falloAnotado_) {
                falloAnotado_ = true;
                actividad::Anotar("No se pudo crear el cerrojo " + ruta + " (" + intento.error +
                                  "); se atiende la carpeta sin él");
            }
            return true;
    }
}
