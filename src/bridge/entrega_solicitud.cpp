// The hand-off of a new request ("C"): the client is made available, the request is marked "P"
// and its files move to the client's upload folder with the provider code in _svl.0.
#include "bridge/ciclo_sondeo.h"
#include "bridge/codigo_proveedor.h"
#include "bridge/duplicados.h"
#include "bridge/archivos_intercambio.h"
#include "platform/archivos.h"

using namespace intercambio;

bool CicloSondeo::ClienteDisponible() {
    if (configuracion_.IniciarZelnoExe == 0) return true;
    if (cliente_.ProcesoEnEjecucion(API::kNombreCliente)) return true;
    return cliente_.EjecutarCliente(configuracion_.ZelnoExe, ui_) > 0;
}

void CicloSondeo::EntregarSolicitud(const Terminal& t) {
    if (!ClienteDisponible()) {
        ui_.MostrarMensaje("No se puede encontrar ZELNO32.exe", "Zelno32", Icono::Critico);
        return;
    }
    const std::string estadoRsp = En(t.rutaZelno, kEstadoRsp);
    if (archivos::Existe(estadoRsp)) {
        // An answer flag left from an earlier exchange would be taken for this request's answer.
        archivos::Borrar(estadoRsp);
        esperador_.Esperar(1000);
    }

    MarcarStatus(t, "P", "2", "2.5");

    const std::string subida = En(t.rutaZelno, kSubida);
    const std::string clicab = En(t.rutaKorvane, kClicab);
    puntoControl_ = "3";
    if (archivos::Existe(clicab)) {
        puntoControl_ = "4";
        codigoEmpresa_ = CodigoEmpresaDeClicab(archivos::LeerCompleto(clicab));
        puntoControl_ = "5";
        SolicitudDuplicada = EsDuplicado(t.rutaKorvane, configuracion_.DirectorioKorvane, reloj_, ui_) ? 1 : 0;
        // Every copy exists before the request file goes.
        archivos::Copiar(clicab, En(t.rutaKorvane, kClicabAnterior));
        if (SolicitudDuplicada == 0) archivos::Copiar(clicab, En(subida, kClicab));
        archivos::Borrar(clicab);
    }

    const std::string praxis = En(t.rutaKorvane, kPraxis);
    puntoControl_ = "6";
    if (archivos::Existe(praxis)) {
        puntoControl_ = "7";
        archivos::Copiar(praxis, En(t.rutaKorvane, kPraxisAnterior));
        if (SolicitudDuplicada == 0) archivos::Copiar(praxis, En(subida, kPraxis));
        puntoControl_ = "8";
        archivos::Borrar(praxis);
    }

    const std::string serespViejo = En(t.rutaKorvane, kSeresp);
    puntoControl_ = "9";
    if (archivos::Existe(serespViejo)) {
        puntoControl_ = "10";
        archivos::Borrar(serespViejo);
    }

    if (SolicitudDuplicada != 0) return;

    codigoEmpresa_ = CodigoProveedor();
    puntoControl_ = "13";
    // The whole file: a short code written over a longer earlier one must not leave a mixture.
    archivos::EscribirCompleto(En(subida, kSvl), codigoEmpresa_);
    if (configuracion_.ActivarTX > 0) {
        puntoControl_ = "15";
        archivos::EscribirAlInicio(En(archivos::Unir(configuracion_.DirectorioZELNO, kCarpetaTx), kPrefijoTerminal + t.item.CodigoTerminal), "");
    }
}

std::string CicloSondeo::CodigoProveedor() {
    const std::string codigo = NormalizarCodigoEmpresa(codigoEmpresa_);
    const std::string tabla = archivos::Unir(configuracion_.DirectorioZELNO, kTablaEmpresas);
    puntoControl_ = "11";
    if (archivos::Existe(tabla)) {
        puntoControl_ = "12";
        if (auto proveedor = BuscarEnTablaEmpresas(archivos::LeerCompleto(tabla), codigo)) return *proveedor;
    }
    return CodigoProveedorFijo(codigo);
}
