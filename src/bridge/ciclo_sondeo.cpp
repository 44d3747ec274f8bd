#include "bridge/ciclo_sondeo.h"

#include <utility>

#include "bridge/archivos_intercambio.h"
#include "bridge/duplicados.h"
#include "platform/archivos.h"
#include "platform/error_sistema.h"

using namespace intercambio;

namespace {

// Clears the re-entry flag however the cycle ends.
class Bandera {
public:
    explicit Bandera(bool& b) : b_(b) { b_ = true; }
    ~Bandera() { b_ = false; }
    Bandera(const Bandera&) = delete;
    Bandera& operator=(const Bandera&) = delete;

private:
    bool& b_;
};

}  // namespace

char EstadoSolicitud(const std::string& textoStatus) {
    const auto primero = textoStatus.find_first_not_of(' ');
    if (primero == std::string::npos) return '\0';
    const char c = textoStatus[primero];
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

CicloSondeo::CicloSondeo(const clsConfiguracion& configuracion, InterfazUsuario& ui, Esperador& esperador,
                         ControlCliente& cliente, RelojLocal reloj, std::string carpetaEstado)
    : configuracion_(configuracion),
      ui_(ui),
      esperador_(esperador),
      cliente_(cliente),
      reloj_(std::move(reloj)),
      registro_(std::move(carpetaEstado)) {}

bool CicloSondeo::TmrBuscando_Timer(ListaTerminales terminales) {
    if (enCurso_) return false;
    Bandera enCurso(enCurso_);
    codigoEmpresa_.clear();
    try {
        CicloCompleto(terminales);
    } catch (...) {
        // The cycle's one handler: report the failure with the step it happened in and end the tick.
        ui_.MostrarMensaje(plataforma::TextoFalloEnCurso(), std::string("Transacción punto control: ") + puntoControl_,
                           Icono::Critico);
    }
    return true;
}

void CicloSondeo::CicloCompleto(const ListaTerminales& terminales) {
    puntoControl_ = "0";
    ui_.EstablecerEstado("Buscando en " + configuracion_.DirectorioKorvane + "...");
    ui_.ProcesarMensajes();
    if (!terminales) return;
    for (const clsItemTerXX& item : *terminales) AtenderTerminal(item);
}

void CicloSondeo::AtenderTerminal(const clsItemTerXX& item) {
    SolicitudDuplicada = 0;
    const Terminal t{item, archivos::Unir(configuracion_.DirectorioKorvane, item.TerXX),
                     archivos::Unir(configuracion_.DirectorioZELNO, kPrefijoTerminal + item.CodigoTerminal)};
    const std::string status = En(t.rutaKorvane, kStatus);
    if (!archivos::Existe(status)) return;

    puntoControl_ = "1";
    // The first bytes decide: a STATUS.ZLN of any size costs a tick no more than a small one.
    const char estado = EstadoSolicitud(archivos::LeerInicio(status, kInicioStatus));
    const EstadoIntercambio& e = registro_.De(t.rutaKorvane);

    // What a tick or a stop left half done is finished first; a request state read above still
    // decides, so a request handed off now is answered in a later tick.
    if (e.etapa == EstadoIntercambio::Etapa::Respondida && estado != 'P') LimpiarRespuesta(t);
    if (e.etapa == EstadoIntercambio::Etapa::Decidida && estado == 'S') {
        // A duplicate answered just before a stop: nothing is left to do.
        EstadoIntercambio hecho = e;
        hecho.etapa = EstadoIntercambio::Etapa::Ninguna;
        Registrar(t, hecho);
    }

    if (estado == 'C') {
        EntregarSolicitud(t);
    } else if (estado == 'P' && e.etapa == EstadoIntercambio::Etapa::Decidida) {
        CompletarEntrega(t);
    } else if (estado == 'P') {
        RetornarRespuesta(t);
        return;
    }
    if (SolicitudDuplicada != 0) ResponderDuplicado(t);
}

void CicloSondeo::MarcarStatus(const Terminal& t, const char* letra, const char* puntoAbrir,
                               const char* puntoEscribir) {
    if (puntoAbrir) puntoControl_ = puntoAbrir;
    archivos::ArchivoBinario status(En(t.rutaKorvane, kStatus));
    if (puntoEscribir) puntoControl_ = puntoEscribir;
    status.EscribirAlInicio(letra);
    // On the disk before anything that depends on it: the upload after "P", the next request after "S".
    status.Sincronizar();
}

void CicloSondeo::ResponderDuplicado(const Terminal& t) {
    // "S" only with the kept answer in place; otherwise the request stays "P" and is tried again.
    if (!RecuperarRespuestasAnteriores(t.rutaZelno, t.rutaKorvane, ui_)) return;
    MarcarStatus(t, "S", nullptr, nullptr);
    EstadoIntercambio hecho = registro_.De(t.rutaKorvane);
    hecho.etapa = EstadoIntercambio::Etapa::Ninguna;
    Registrar(t, hecho);
}
