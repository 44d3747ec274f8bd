#pragma once
// Identifiers shared by the program, its resource script and the GUI test driver. Plain macros for
// the numbers, so windres reads the same file; the names the driver looks for follow below.

// Icons. The lowest number is the executable's own icon.
#define IDI_ZELNO 101     // idle, 16 x 16, 16 colours
#define IDI_BUSCANDO 102  // searching, 32 x 32, 16 colours
// Polling is on but no sale can pass. Each icon also has 16, 20 and 24 pixels for the notification
// area and the title bar at 96, 120 and 144 DPI.
#define IDI_AVISO 103

#define IDM_PRINCIPAL 201  // menu bar of frmPuleo
#define IDM_BANDEJA 202    // pop-up menu of the notification-area icon ("Popup")
#define IDD_ABOUT 301      // frmAbout

// frmPuleo
#define IDC_LBL_PROCESO 1001
#define IDC_CHK_CONECTED 1002
#define ID_TMR_PASOS 2
#define ID_TMR_SERVICIO 3

// Menu bar "&Archivo"
#define IDM_CONFIGURACION 2001
#define IDM_FILE_CLOSE 2002
#define IDM_FILE_ABOUT 2003
#define IDM_FILE_EXIT 2004
#define IDM_TERMINALES 2005
#define IDM_ACTIVIDAD 2006

// Pop-up menu of the notification-area icon
#define IDM_TRAY_SHOW 2101
#define IDM_TRAY_HIDE 2102
#define IDM_TRAY_CLOSE 2103
#define IDM_TRAY_TERMINALES 2104
#define IDM_TRAY_ACTIVIDAD 2105

// frmTerminales
#define IDC_LST_TERMINALES 5001
#define IDC_LBL_CABECERA 5002
#define IDC_CMD_DIAGNOSTICO 5003
#define IDC_CMD_APARTADAS 5004
#define IDC_LBL_DETALLE 5005
#define ID_TMR_REFRESCO 1

// frmAbout (cmdOK is IDOK; Esc arrives as IDCANCEL)
#define IDC_LBL_TITLE 3001
#define IDC_LBL_VERSION 3002
#define IDC_LBL_DESCRIPTION 3003
#define IDC_LBL_DISCLAIMER 3004
#define IDC_CMD_SYSINFO 3005
#define IDC_PIC_ICON 3006

#ifndef RC_INVOKED

#include "config/textos_mensajes.h"

namespace ids {

// The application title: the title of message boxes given none, and of the about box.
inline constexpr const auto& kTituloAplicacion = mensajes::kTituloTramiza;

// Window class of frmPuleo; a second copy finds the running one's main window by it.
inline constexpr const char* kClasePuleo = "TramizaPuleo";
inline constexpr const char* kTituloPuleo = "Plug IN Zelno Korvane...";
inline constexpr const char* kTituloAbout = "About Tramiza";
// Window class and title of the "Terminales" window.
inline constexpr const char* kClaseTerminales = "TramizaTerminales";
inline constexpr const char* kTituloTerminales = "Terminales";
// Named mutex of the running-instance test: machine-wide, one Tramiza serves a PC whatever the
// session (fast user switching, remote desktop).
inline constexpr const char* kMutexInstancia = "Global\\TramizaInstanciaUnica";
// What the running copy publishes about itself (a lock file, platform/cerrojo.h), under the
// machine-wide application data (CSIDL_COMMON_APPDATA): a copy in another session finds no window of
// it, and learns from this where it runs.
inline constexpr const char* kCarpetaComun = "Tramiza";
inline constexpr const char* kArchivoInstancia = "Instancia.lck";

// The notification-area icon reports to the main window as WM_MOUSEMOVE with the mouse message in
// the low word of lParam; a second copy posts the same message to hand over.
inline constexpr unsigned kMensajeBandeja = 0x200;       // WM_MOUSEMOVE
inline constexpr unsigned kBandejaDobleClic = 0x203;     // WM_LBUTTONDBLCLK
inline constexpr unsigned kBandejaBotonDerecho = 0x205;  // WM_RBUTTONUP

// Another program (the installer, the uninstaller) asks the running program to end with this
// registered message (RegisterWindowMessageA), sent or posted to the main window found by its class.
// It ends as "&Salir" ends it; a request that arrives while a polling cycle runs waits for the end of
// that cycle. wParam 1 withdraws a request still waiting (its sender gave up). The answer, when
// sent, is 1.
inline constexpr const char* kMensajeTerminar = "TramizaTerminar";
inline constexpr unsigned kTerminarRetirar = 1;

// Test introspection: the main window answers this registered message (RegisterWindowMessageA)
// with one value chosen by wParam, and changes nothing.
inline constexpr const char* kMensajeEstadoPrueba = "TramizaEstadoPrueba";
enum EstadoPrueba : unsigned {
    kPruebaIndiceIcono = 0,        // IndiceIcono, 1 or 2
    kPruebaIntervaloMs = 1,        // interval of the running timer in ms; 0 while no timer ticks
    kPruebaCiclos = 2,             // polling cycles started so far
    kPruebaIconoBandeja = 3,       // 1 while the shell holds the icon: added and not removed
    kPruebaIconoBandejaHicon = 4,  // the HICON last given to the notification area
    kPruebaIconoVentana = 5,       // the window's own icon (Wine answers WM_GETICON only in-process)
    kPruebaServicio = 6,           // 0 stopped, 1 serving, 2 polling on but no sale can pass
};

}  // namespace ids

#endif  // RC_INVOKED
