#pragma once
// Identifiers of the settings dialog frmConfiguracion, shared by its resource script, its code and
// the GUI tests. Plain macros, so windres reads the same file.

#define IDD_CONFIGURACION 302

#define IDC_FRAME1 4001
#define IDC_LBL_INTERVALO0 4002  // lblIntervalo(0), labels the interval
#define IDC_TXT_INTERVALO 4003
#define IDC_CHK_TX 4004
#define IDC_CHK_INICIAR 4005
#define IDC_CHK_INICIAR_ZELNO 4006
#define IDC_LBL_INTERVALO1 4007  // lblIntervalo(1), labels the client executable
#define IDC_CBO_ZELNO_EXE 4008
#define IDC_CMD_BUSCAR_ZELNO_EXE 4009
#define IDC_LABEL1 4010
#define IDC_CBO_DIR_KORVANE 4011
#define IDC_CMD_BUSCAR_DIR_KORVANE 4012
#define IDC_LABEL2 4013
#define IDC_CBO_DIR_ZELNO 4014
#define IDC_CMD_BUSCAR_DIR_ZELNO 4015
#define IDC_CMD_GRABAR 4016
// "Salir" is the dialog's cancel button: Esc and the title bar's close arrive as its command.
#define IDC_CMD_SALIR 2  // IDCANCEL
