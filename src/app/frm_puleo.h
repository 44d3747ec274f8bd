#pragma once
// The main window frmPuleo: status line, polling toggle, menus and the notification-area icon. The
// scheduler decides when the terminals are looked at and when each turn goes on; the window runs
// its step timer and posts itself the scheduler's messages. No step ever waits inside a message.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/interfaz_ventana.h"
#include "bridge/cerrojo_korvane.h"
#include "bridge/control_cliente.h"
#include "bridge/ejecutor.h"
#include "bridge/esperar.h"
#include "bridge/planificador.h"
#include "bridge/resumen_servicio.h"
#include "config/configuracion.h"

class frmPuleo final : private Planificador::Ventana {
public:
    frmPuleo(HINSTANCE instancia, clsConfiguracion& configuracion);
    ~frmPuleo();
    frmPuleo(const frmPuleo&) = delete;
    frmPuleo& operator=(const frmPuleo&) = delete;

    // Creates the window, runs its load step and leaves it minimised. False when the window could
    // not be created.
    bool Mostrar();

    // Start-up's start of the client, when the settings ask for it and none runs: its failure box
    // does not wait for anyone, and the failure shows as "not serving" until the client runs.
    void IniciarClienteAlArrancar();

private:
    static LRESULT CALLBACK ProcedimientoVentana(HWND hwnd, UINT mensaje, WPARAM wParam, LPARAM lParam);
    LRESULT Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam);

    // Handlers
    void Form_Load();
    void chkConected_Click();
    void TmrBuscando_Timer();
    void TmrPasos_Timer();
    void Notificacion(LPARAM lParam);
    void Comando(WORD id, WORD codigo, HWND control);
    void mnuConfiguracion_Click();
    void mnuTerminales_Click();
    void mnuFileClose_Click();
    void mnuFileAbout_Click();
    void mnuFileExit_Click();
    void mnuTrayShow_Click();
    void mnuTrayHide_Click();
    void mnuTrayClose_Click();
    void Form_Unload();
    LRESULT PedidoTerminar(WPARAM que);

    // What the scheduler asks of the window.
    bool PedirTic() override;
    bool PedirPasos() override;
    bool ArmarPasos(std::uint32_t ms) override;
    void DesarmarPasos() override;
    std::uint32_t PasosMinimoMs() const override { return USER_TIMER_MINIMUM; }
    void Cerrar() override;

    // Helpers
    bool CrearVentana();
    void CrearControles();
    void Disponer();
    void CrearFuente();
    int Pixeles(int twips) const;
    void EstablecerToggle(bool activo);
    void AplicarIcono();
    HICON IconoVentana() const;
    void EstablecerIntervalo();
    void AnotarAjustes() const;
    void MostrarSinCambiarEstado();
    void MostrarMenuBandeja();
    bool EsMovimientoDelRaton(LPARAM lParam) const;
    LRESULT EstadoPrueba(WPARAM que) const;
    // Whether a sale can pass now (resumen_servicio.h): the icon, the status line and the log follow.
    void ActualizarServicio();
    DatosServicio DatosDelServicio();
    std::vector<FilaTerminal> FilasTerminales();
    std::string TextoDiagnosticoAhora();
    void AbrirCarpetaActividad();
    void AbrirApartadas();

    HINSTANCE instancia_;
    clsConfiguracion& Configuracion;

    HWND hwnd_ = nullptr;
    HWND lblProceso_ = nullptr;
    HWND chkConected_ = nullptr;
    HMENU mnuTray_ = nullptr;
    HFONT fuente_ = nullptr;
    HICON imgPuleo_[2] = {nullptr, nullptr};  // idle, searching: the window's big icons
    // The same two and the "not serving" one at the small-icon size of the system's DPI: the title
    // bar and the notification area.
    HICON pequenos_[3] = {nullptr, nullptr, nullptr};
    HICON imgAviso_ = nullptr;

    InterfazVentana ui_;
    EsperadorReal esperador_;
    ControlClienteReal cliente_;
    CerrojoKorvane cerrojoKorvane_;
    std::atomic<HWND> destino_{nullptr};  // where the pool's threads post, once the window exists
    Planificador planificador_;
    // The cycle's file work runs here, never on the window's thread; each piece that comes back posts
    // one message (kMensajePasos) unless one is already waiting. Declared after the scheduler, so it
    // goes first: a step still running (hung in a call) never outlives the turn it belongs to.
    EjecutorHilos ejecutor_;
    EstadoServicio servicio_;
    SeguimientoEsperas esperas_;
    RespuestasApartadas apartadas_;

    std::int16_t IndiceIcono = 0;
    std::int16_t ocupado_ = 0;       // the notification handler's busy flag
    bool cargado_ = false;           // the load step has placed the tray icon
    bool finPedido_ = false;         // another program's end request waits for its decision
    bool tmrHabilitado_ = false;     // the toggle is on
    std::int32_t tmrIntervalo_ = 0;  // the polling interval, ms
    UINT msgTaskbarCreated_ = 0;
    UINT msgEstadoPrueba_ = 0;
    UINT msgTerminar_ = 0;
};
