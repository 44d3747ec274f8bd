#pragma once
// The main window frmPuleo: status line, polling toggle and timer, menus and the notification-area
// icon. It keeps the terminal list, starts a polling cycle at each timer tick and goes on with each
// terminal's exchange as its waits end, on a second timer; no step ever waits inside a message.

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>

#include "app/interfaz_ventana.h"
#include "bridge/cerrojo_korvane.h"
#include "bridge/ciclo_sondeo.h"
#include "bridge/control_cliente.h"
#include "bridge/ejecutor.h"
#include "bridge/esperar.h"
#include "bridge/terminales.h"
#include "config/configuracion.h"
#include "platform/vigilancia.h"

class frmPuleo {
public:
    frmPuleo(HINSTANCE instancia, clsConfiguracion& configuracion);
    ~frmPuleo();
    frmPuleo(const frmPuleo&) = delete;
    frmPuleo& operator=(const frmPuleo&) = delete;

    // Creates the window, runs its load step and leaves it minimised. False when the window could
    // not be created.
    bool Mostrar();

private:
    static LRESULT CALLBACK ProcedimientoVentana(HWND hwnd, UINT mensaje, WPARAM wParam, LPARAM lParam);
    LRESULT Procesar(UINT mensaje, WPARAM wParam, LPARAM lParam);

    // Handlers
    void Form_Load();
    void chkConected_Click();
    void TmrBuscando_Timer();
    void TmrPasos_Timer();
    void TicDelReloj();
    // A step on the pool has come back, or a look has found work.
    void PasosAvisados();
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
    void Terminar();

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
    void Vigilar();
    void AplicarTemporizador();
    void ProgramarPasos();
    void MostrarSinCambiarEstado();
    void MostrarMenuBandeja();
    bool EsMovimientoDelRaton(LPARAM lParam) const;
    LRESULT EstadoPrueba(WPARAM que) const;

    HINSTANCE instancia_;
    clsConfiguracion& Configuracion;

    HWND hwnd_ = nullptr;
    HWND lblProceso_ = nullptr;
    HWND chkConected_ = nullptr;
    HMENU mnuTray_ = nullptr;
    HFONT fuente_ = nullptr;
    HICON imgPuleo_[2] = {nullptr, nullptr};  // image 1 idle, image 2 searching

    InterfazVentana ui_;
    EsperadorReal esperador_;
    ControlClienteReal cliente_;
    // The cycle's file work runs here, never on the window's thread; each piece that comes back posts
    // one message (kMensajePasos) unless one is already waiting.
    EjecutorHilos ejecutor_;
    std::atomic<bool> avisoPendiente_{false};
    std::atomic<HWND> destinoAvisos_{nullptr};
    CicloSondeo ciclo_;
    // One watch per root: a request or an answer is served as it appears; the timer is the safety net.
    std::vector<std::unique_ptr<vigilancia::Vigilante>> vigilantes_;
    CerrojoKorvane cerrojoKorvane_;
    ListaTerminales Terminales;

    std::int16_t IndiceIcono = 0;
    std::int16_t ocupado_ = 0;       // the notification handler's busy flag
    bool cargado_ = false;           // the load step has placed the tray icon
    bool tmrHabilitado_ = false;     // TmrBuscando.Enabled
    std::int32_t tmrIntervalo_ = 0;  // TmrBuscando.Interval, ms
    std::int32_t tmrAplicado_ = 0;   // interval of the running Win32 timer, 0 when none runs
    std::atomic<long> ciclos_{0};    // ticks that looked at the terminals
    // The pool's clock makes the ticks itself (see TicDelReloj); a tick posted to the window waits.
    std::atomic<bool> ticEnPool_{false};
    std::atomic<bool> ticPendiente_{false};
    UINT msgTaskbarCreated_ = 0;
    UINT msgEstadoPrueba_ = 0;
    UINT msgTerminar_ = 0;
    bool terminarPendiente_ = false;          // an end request waits for the turns in progress
    std::optional<std::int64_t> pasosVence_;  // when the step timer set last fires, while it is set
    bool pasosArmado_ = false;                // the step timer runs (it repeats until killed)
};
