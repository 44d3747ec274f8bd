#pragma once
// One polling cycle over the terminal list: read each terminal's STATUS.ZLN and either hand a new
// request ("C") to the exchange client or bring the client's answer back ("P").

#include <cstdint>
#include <string>

#include "bridge/control_cliente.h"
#include "bridge/esperar.h"
#include "bridge/estado_intercambio.h"
#include "bridge/registro_eventos.h"
#include "bridge/terminales.h"
#include "config/configuracion.h"
#include "config/interfaz_usuario.h"

class CicloSondeo {
public:
    // `carpetaEstado` keeps the record of each terminal's exchange (see RegistroIntercambios): a new
    // cycle object over the same folder finishes what a stopped one left half done.
    CicloSondeo(const clsConfiguracion& configuracion, InterfazUsuario& ui, Esperador& esperador,
                ControlCliente& cliente, RelojLocal reloj, std::string carpetaEstado);

    // Runs one cycle over `terminales`, taken by value: the walk keeps the list it began with even
    // when the settings dialog reloads the terminals while the cycle lets messages through. A tick that arrives while a
    // cycle is still running (its message box is open and the box's modal loop delivers timer messages) is skipped and
    // returns false: nesting cycles would stack one box per second until the stack ran out.
    bool TmrBuscando_Timer(ListaTerminales terminales);

    // Set by the hand-off when the request repeats the previous one; cleared at each terminal.
    std::int16_t SolicitudDuplicada = 0;

    // The checkpoint of the step running or last run; the title of the failure message names it.
    const char* PuntoControl() const noexcept { return puntoControl_; }

private:
    struct Terminal {
        const clsItemTerXX& item;
        std::string rutaKorvane;
        std::string rutaZelno;
    };

    void CicloCompleto(const ListaTerminales& terminales);
    void AtenderTerminal(const clsItemTerXX& item);
    // The hand-off: everything that can fail before the request reaches the client runs while the
    // request is still "C"; the decision is recorded; then "P"; then the upload.
    void EntregarSolicitud(const Terminal& t);
    void DecidirEntrega(const Terminal& t);
    void CopiarAnteriores(const Terminal& t);
    void CompletarEntrega(const Terminal& t);
    bool ClienteDisponible();
    std::string CodigoProveedor();
    // The return: the answer files are copied, then "S", and only then removed from the client's
    // folder, so that a return cut short is simply run again.
    void RetornarRespuesta(const Terminal& t);
    EstadoIntercambio::Resultado RetornarRespuestaCliente(const Terminal& t, bool& enLugar);
    void LimpiarRespuesta(const Terminal& t);
    void ResponderDuplicado(const Terminal& t);
    void MarcarStatus(const Terminal& t, const char* letra, const char* puntoAbrir, const char* puntoEscribir);
    void Registrar(const Terminal& t, const EstadoIntercambio& e) { registro_.Grabar(t.rutaKorvane, e); }

    const clsConfiguracion& configuracion_;
    InterfazUsuario& ui_;
    Esperador& esperador_;
    ControlCliente& cliente_;
    RelojLocal reloj_;

    RegistroIntercambios registro_;
    const char* puntoControl_ = "0";  // always one of the fixed checkpoint names
    std::string codigoEmpresa_;
    bool enCurso_ = false;
};

// The request state of a STATUS.ZLN text: its first character after blanks, in upper case; empty
// when there is none. The cycle reads only the first kInicioStatus bytes of the file.
char EstadoSolicitud(const std::string& textoStatus);
inline constexpr std::size_t kInicioStatus = 4096;
