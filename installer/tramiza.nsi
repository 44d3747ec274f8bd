; Installer and uninstaller of Tramiza (NSIS 3, Unicode). Built by installer/CMakeLists.txt:
;
;   makensis -INPUTCHARSET UTF8 -DVERSION_NSH=version.nsh -DTRAMIZA_EXE=Tramiza.exe
;            -DTRAMIZA_ICONO=zelno.ico -DSALIDA=TramizaSetup-X.Y.Z.exe tramiza.nsi
;
; Command line of the installer (besides NSIS's own /S and /D=FOLDER, which must come last):
;   /CurrentUser, /AllUsers   for whom (all users only when the installer runs elevated)
;   /INICIO=0|1               start Tramiza at logon (default 1; an upgrade keeps the earlier choice)
;   /ACCESO=0|1               Start-menu shortcut (default 1; an upgrade keeps the earlier choice)
;   /EJECUTAR=0|1             start Tramiza when the installation ends (default 1), and only in an
;                             interactive user's session: never as SYSTEM or in session 0
; Command line of the uninstaller: /S, and /BORRARAJUSTES to remove the settings and logs as well.
;
; A running Tramiza is asked to end with its registered window message "TramizaTerminar" and
; started again once its files have been replaced.

Unicode true
ManifestDPIAware true
SetCompressor /SOLID lzma

!include "${VERSION_NSH}"

!define NOMBRE "Tramiza"
!define EDITOR "Tramiza Sistemas"
!define CLAVE_DESINSTALAR "Software\Microsoft\Windows\CurrentVersion\Uninstall\Tramiza"
!define CLAVE_INICIO "Software\Microsoft\Windows\CurrentVersion\Run"
!define CLAVE_AJUSTES "Software\VB and VBA Program Settings\Tramiza"
!define CLASE_VENTANA "TramizaPuleo"
!define MENSAJE_TERMINAR "TramizaTerminar"
!define MUTEX "Local\TramizaInstalador"
!define DESINSTALADOR "Desinstalar.exe"
; Where a copy of the uninstaller is kept, so that it still runs when the program folder has been
; deleted by hand ($LOCALAPPDATA is ProgramData for all users).
!define CARPETA_DESINSTALADOR "$LOCALAPPDATA\Tramiza\Instalacion"
; How long a running Tramiza may take to finish its polling cycle and end.
!define ESPERA_FIN_MS 30000

Name "${NOMBRE}"
OutFile "${SALIDA}"
BrandingText "${NOMBRE} ${TRAMIZA_VERSION}"
ShowInstDetails show
ShowUninstDetails show

; --- Who it installs for: the current user unless an elevated installer is told otherwise --------
!define MULTIUSER_EXECUTIONLEVEL Highest
!define MULTIUSER_MUI
!define MULTIUSER_INSTALLMODE_COMMANDLINE
!define MULTIUSER_INSTALLMODE_DEFAULT_CURRENTUSER
!define MULTIUSER_INSTALLMODE_INSTDIR "${NOMBRE}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_KEY "${CLAVE_DESINSTALAR}"
!define MULTIUSER_INSTALLMODE_INSTDIR_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_KEY "${CLAVE_DESINSTALAR}"
!define MULTIUSER_INSTALLMODE_DEFAULT_REGISTRY_VALUENAME "InstallLocation"
!define MULTIUSER_INSTALLMODE_FUNCTION ModoElegido
!define MULTIUSER_INSTALLMODEPAGE_TEXT_TOP "Tramiza puede instalarse solo para usted, en su carpeta de programas, o para todos los usuarios de este equipo, en Archivos de programa.$\r$\n$\r$\nLos ajustes de Tramiza son siempre de cada usuario."
!define MULTIUSER_INSTALLMODEPAGE_TEXT_ALLUSERS "Para todos los usuarios de este equipo"
!define MULTIUSER_INSTALLMODEPAGE_TEXT_CURRENTUSER "Solo para mí"
!define MULTIUSER_INIT_TEXT_ALLUSERSNOTPOSSIBLE "Tramiza está instalado, o se quiere instalar, para todos los usuarios: hay que ejecutar el programa como administrador."
!include MultiUser.nsh
; Without administrator rights by default: an elevated start is the user's own choice.
RequestExecutionLevel user

!include MUI2.nsh
!include LogicLib.nsh
!include FileFunc.nsh
!include Sections.nsh

; --- Pages -------------------------------------------------------------------------------------------
!define MUI_ICON "${TRAMIZA_ICONO}"
!define MUI_UNICON "${TRAMIZA_ICONO}"
!define MUI_COMPONENTSPAGE_NODESC

!define MUI_WELCOMEPAGE_TITLE "Instalación de Tramiza ${TRAMIZA_VERSION}"
!define MUI_WELCOMEPAGE_TEXT "Tramiza pasa las transacciones entre las terminales de Korvane y el cliente Zelno32.exe de este equipo, desde el área de notificación.$\r$\n$\r$\nSi Tramiza está en marcha, el instalador le pide que termine cuando acabe la búsqueda en curso y lo vuelve a iniciar al final. Sus ajustes se conservan.$\r$\n$\r$\n$_CLICK"
!insertmacro MUI_PAGE_WELCOME
!insertmacro MULTIUSER_PAGE_INSTALLMODE
!define MUI_COMPONENTSPAGE_TEXT_TOP "Elija qué hacer además de copiar el programa."
!insertmacro MUI_PAGE_COMPONENTS
!insertmacro MUI_PAGE_DIRECTORY
!insertmacro MUI_PAGE_INSTFILES
!define MUI_FINISHPAGE_RUN
!define MUI_FINISHPAGE_RUN_TEXT "Iniciar Tramiza ahora"
!define MUI_FINISHPAGE_RUN_FUNCTION IniciarAlTerminar
!define MUI_PAGE_CUSTOMFUNCTION_SHOW MostrarPaginaFinal
!insertmacro MUI_PAGE_FINISH

!define MUI_COMPONENTSPAGE_TEXT_TOP "Se desinstalará Tramiza de $INSTDIR.$\r$\nSus ajustes y los registros diarios se conservan salvo que marque la casilla."
!insertmacro MUI_UNPAGE_COMPONENTS
!insertmacro MUI_UNPAGE_INSTFILES

!insertmacro MUI_LANGUAGE "Spanish"

; --- Version information of TramizaSetup.exe ---------------------------------------------------------
VIProductVersion "${TRAMIZA_VERSION_NUMERICA}"
VIFileVersion "${TRAMIZA_VERSION_NUMERICA}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductName" "${NOMBRE}"
VIAddVersionKey /LANG=${LANG_SPANISH} "CompanyName" "${EDITOR}"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileDescription" "Instalador de Tramiza"
VIAddVersionKey /LANG=${LANG_SPANISH} "FileVersion" "${TRAMIZA_VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "ProductVersion" "${TRAMIZA_VERSION}"
VIAddVersionKey /LANG=${LANG_SPANISH} "LegalCopyright" "${EDITOR}"
VIAddVersionKey /LANG=${LANG_SPANISH} "OriginalFilename" "TramizaSetup-${TRAMIZA_VERSION}.exe"

; --- Messages ---------------------------------------------------------------------------------------
!define TEXTO_OTRO_INSTALADOR "Ya hay un instalador o desinstalador de Tramiza en marcha.$\r$\n$\r$\nEspere a que termine y vuelva a intentarlo."
!define TEXTO_NO_TERMINA "Tramiza sigue en marcha: no terminó en 30 segundos.$\r$\n$\r$\nSus mensajes no lo detienen: quizá está colgado, por ejemplo en una carpeta de red que no responde. Espere un momento y pulse Reintentar; si sigue igual, termine Tramiza.exe con el Administrador de tareas y pulse Reintentar. Cancelar lo deja todo como estaba."
!define TEXTO_EN_USO "No se puede reemplazar $INSTDIR\Tramiza.exe: el archivo está en uso.$\r$\n$\r$\nQuizá Tramiza está abierto en otra sesión de usuario o todavía muestra un mensaje al iniciar. Ciérrelo y vuelva a ejecutar el instalador.$\r$\n$\r$\nNo se ha cambiado nada."
!define TEXTO_MAS_NUEVA "Ya hay una versión más nueva de Tramiza instalada en $INSTDIR.$\r$\n$\r$\nLa instalada es la $0 y este instalador es de la ${TRAMIZA_VERSION}. Una versión anterior no lee bien lo que guarda una más nueva: instale la misma versión o una posterior. No se ha cambiado nada."
!define TEXTO_NO_COPIA "No se puede escribir en la carpeta $INSTDIR.$\r$\n$\r$\nElija otra carpeta o compruebe los permisos y el espacio libre. No se ha cambiado nada."

Var Mutex
Var EstabaEnMarcha   ; 1 when a running Tramiza was asked to end
Var Reiniciado       ; 1 when this installer has started Tramiza again
Var DirDeLinea       ; the folder given with /D=
Var Ejecutar         ; /EJECUTAR
Var CarpetaCreada    ; 1 when the installation folder did not exist

; --- Shared by the installer and the uninstaller -------------------------------------------------------
!macro FUNCIONES_COMUNES UN

; Only one installer or uninstaller at a time; the mutex lives as long as the process.
Function ${UN}TomarMutex
  System::Call 'kernel32::CreateMutexW(p 0, i 0, w "${MUTEX}") p .r0 ?e'
  Pop $1
  StrCpy $Mutex $0
  ${If} $1 = 183  ; ERROR_ALREADY_EXISTS
  ${OrIf} $0 = 0
    MessageBox MB_OK|MB_ICONEXCLAMATION "${TEXTO_OTRO_INSTALADOR}" /SD IDOK
    SetErrorLevel 3
    Quit
  ${EndIf}
FunctionEnd

; Asks a running Tramiza to end ("TramizaTerminar" to the main window, found by its class) and
; waits for its process. Sets $EstabaEnMarcha to 1 when one ran. Leaves the error flag set when it
; did not end and the user gave up.
Function ${UN}TerminarTramiza
  Push $0
  Push $1
  Push $2
  Push $3
  Push $4
  ClearErrors
  StrCpy $4 0
  ${Do}
    System::Call 'user32::FindWindowW(w "${CLASE_VENTANA}", p 0) p .r0'
    ${If} $0 = 0
      ${Break}
    ${EndIf}
    StrCpy $EstabaEnMarcha 1
    DetailPrint "Pidiendo a Tramiza que termine..."
    System::Call 'user32::RegisterWindowMessageW(w "${MENSAJE_TERMINAR}") i .r3'
    System::Call 'user32::GetWindowThreadProcessId(p r0, *i .r1)'
    System::Call 'kernel32::OpenProcess(i 0x00100000, i 0, i r1) p .r2'  ; SYNCHRONIZE
    System::Call 'user32::PostMessageW(p r0, i r3, p 0, p 0)'
    ${If} $2 <> 0
      System::Call 'kernel32::WaitForSingleObject(p r2, i ${ESPERA_FIN_MS}) i .r3'
      System::Call 'kernel32::CloseHandle(p r2)'
    ${Else}
      ; The process cannot be opened: watch its window instead.
      StrCpy $3 258
      ${For} $1 1 120
        System::Call 'user32::IsWindow(p r0) i .r2'
        ${If} $2 = 0
          StrCpy $3 0
          ${Break}
        ${EndIf}
        Sleep 250
      ${Next}
    ${EndIf}
    ${If} $3 <> 0
    ${OrIf} $4 >= 3
      MessageBox MB_RETRYCANCEL|MB_ICONEXCLAMATION "${TEXTO_NO_TERMINA}" /SD IDCANCEL IDRETRY otraVez
      ; Given up: the request is withdrawn, so Tramiza goes on after its cycle.
      System::Call 'user32::RegisterWindowMessageW(w "${MENSAJE_TERMINAR}") i .r3'
      System::Call 'user32::PostMessageW(p r0, i r3, p 1, p 0)'
      SetErrors
      ${Break}
      otraVez:
      StrCpy $4 0
    ${Else}
      IntOp $4 $4 + 1
      DetailPrint "Tramiza ha terminado."
    ${EndIf}
  ${Loop}
  Pop $4
  Pop $3
  Pop $2
  Pop $1
  Pop $0
FunctionEnd

; Removes $INSTDIR\Tramiza.exe when no process holds it; otherwise leaves it untouched and sets the
; error flag. A program that runs cannot be opened for writing, so that test changes nothing.
Function ${UN}BorrarPrograma
  ${If} ${FileExists} "$INSTDIR\Tramiza.exe"
    ClearErrors
    FileOpen $0 "$INSTDIR\Tramiza.exe" a
    ${If} ${Errors}
      SetErrors
    ${Else}
      FileClose $0
      Delete "$INSTDIR\Tramiza.exe"
      ${If} ${FileExists} "$INSTDIR\Tramiza.exe"
        SetErrors
      ${EndIf}
    ${EndIf}
  ${EndIf}
FunctionEnd

; $0 = 1 when this runs in an interactive user's session; 0 in session 0, as SYSTEM, or on a window
; station that shows no window (a rollout tool, a service). A Tramiza started there would hold the
; machine-wide instance name and the root's lock, and every cashier's would close.
Function ${UN}EnSesionDeUsuario
  StrCpy $0 1
  System::Call 'kernel32::GetCurrentProcessId() i .r1'
  System::Call 'kernel32::ProcessIdToSessionId(i r1, *i .r2) i .r3'
  ${If} $3 <> 0
  ${AndIf} $2 = 0
    StrCpy $0 0
  ${EndIf}
  System::Call 'advapi32::GetUserNameW(w .r1, *i ${NSIS_MAX_STRLEN}) i .r3'
  ${If} $3 <> 0
  ${AndIf} $1 == "SYSTEM"
    StrCpy $0 0
  ${EndIf}
  ; USEROBJECTFLAGS: fInherit, fReserved, dwFlags; UOI_FLAGS is 1, WSF_VISIBLE 1.
  System::Call 'user32::GetProcessWindowStation() p .r1'
  System::Call '*(i 0, i 0, i 0) p .r2'
  System::Call 'user32::GetUserObjectInformationW(p r1, i 1, p r2, i 12, p 0) i .r3'
  ${If} $3 <> 0
    System::Call '*$2(i, i, i .r4)'
    IntOp $4 $4 & 1
    ${If} $4 = 0
      StrCpy $0 0
    ${EndIf}
  ${EndIf}
  System::Free $2
FunctionEnd

; Starts $INSTDIR\Tramiza.exe unless a Tramiza window is already there, and only in a user's session.
Function ${UN}IniciarTramiza
  Call ${UN}EnSesionDeUsuario
  ${If} $0 = 0
    DetailPrint "Tramiza no se inicia: el instalador no corre en la sesión de un usuario."
    Return
  ${EndIf}
  System::Call 'user32::FindWindowW(w "${CLASE_VENTANA}", p 0) p .r0'
  ${If} $0 = 0
  ${AndIf} ${FileExists} "$INSTDIR\Tramiza.exe"
    SetOutPath "$INSTDIR"
    Exec '"$INSTDIR\Tramiza.exe"'
    StrCpy $Reiniciado 1
    DetailPrint "Tramiza se ha iniciado."
  ${EndIf}
FunctionEnd

!macroend
!insertmacro FUNCIONES_COMUNES ""
!insertmacro FUNCIONES_COMUNES "un."

; --- Installer -----------------------------------------------------------------------------------------

; The version of the program this installer carries, read from its version resource when it is built.
!getdllversion "${TRAMIZA_EXE}" VERSION_LLEVADA_

; Refuses, before anything changes (a running Tramiza included), to put this version over a newer one.
; Abort ends the installer in .onInit, and the installation in the section.
Function RechazarSiMasNueva
  ${IfNot} ${FileExists} "$INSTDIR\Tramiza.exe"
    Return
  ${EndIf}
  ClearErrors
  GetDLLVersion "$INSTDIR\Tramiza.exe" $R8 $R9
  ${If} ${Errors}
    Return  ; no version resource: not one of ours to judge
  ${EndIf}
  IntOp $R4 $R8 >> 16
  IntOp $R4 $R4 & 0xFFFF
  IntOp $R5 $R8 & 0xFFFF
  IntOp $R6 $R9 >> 16
  IntOp $R6 $R6 & 0xFFFF
  IntOp $R7 $R9 & 0xFFFF
  ; Shown as the about box shows it: major.minor.revision.
  StrCpy $0 "$R4.$R5.$R7"
  ; Major, then minor, build and revision: the first that differs decides.
  !macro COMPARAR_PARTE INSTALADA LLEVADA
    ${If} ${INSTALADA} < ${LLEVADA}
      Return
    ${ElseIf} ${INSTALADA} > ${LLEVADA}
      Goto masNueva
    ${EndIf}
  !macroend
  !insertmacro COMPARAR_PARTE $R4 ${VERSION_LLEVADA_1}
  !insertmacro COMPARAR_PARTE $R5 ${VERSION_LLEVADA_2}
  !insertmacro COMPARAR_PARTE $R6 ${VERSION_LLEVADA_3}
  !insertmacro COMPARAR_PARTE $R7 ${VERSION_LLEVADA_4}
  Return
  masNueva:
  MessageBox MB_OK|MB_ICONSTOP "${TEXTO_MAS_NUEVA}" /SD IDOK
  SetErrorLevel 2
  Abort "Hay una versión más nueva instalada: no se ha instalado nada."
FunctionEnd

Section "Tramiza" SecPrograma
  SectionIn RO
  Call RechazarSiMasNueva
  Call TerminarTramiza
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "Tramiza sigue en marcha: no se ha instalado nada."
  ${EndIf}

  ${IfNot} ${FileExists} "$INSTDIR\*.*"
    StrCpy $CarpetaCreada 1
  ${EndIf}
  ; The new program goes in beside the old one first; the old one is replaced only when it can be.
  SetOutPath "$INSTDIR"
  SetOverwrite try
  ClearErrors
  File "/oname=Tramiza.exe.nuevo" "${TRAMIZA_EXE}"
  ${If} ${Errors}
    Call DeshacerCopia
    MessageBox MB_OK|MB_ICONSTOP "${TEXTO_NO_COPIA}" /SD IDOK
    SetErrorLevel 2
    Abort "No se puede escribir en $INSTDIR."
  ${EndIf}
  Call BorrarPrograma
  ${If} ${Errors}
    Call DeshacerCopia
    MessageBox MB_OK|MB_ICONSTOP "${TEXTO_EN_USO}" /SD IDOK
    SetErrorLevel 2
    Abort "Tramiza.exe está en uso: no se ha instalado nada."
  ${EndIf}
  ClearErrors
  Rename "$INSTDIR\Tramiza.exe.nuevo" "$INSTDIR\Tramiza.exe"
  ${If} ${Errors}
    CopyFiles /SILENT "$INSTDIR\Tramiza.exe.nuevo" "$INSTDIR\Tramiza.exe"
    Delete "$INSTDIR\Tramiza.exe.nuevo"
  ${EndIf}
  DetailPrint "Programa: $INSTDIR\Tramiza.exe"

  WriteUninstaller "$INSTDIR\${DESINSTALADOR}"
  CreateDirectory "${CARPETA_DESINSTALADOR}"
  WriteUninstaller "${CARPETA_DESINSTALADOR}\${DESINSTALADOR}"

  ; Apps & features. The uninstaller is told for whom it was installed.
  StrCpy $0 '"${CARPETA_DESINSTALADOR}\${DESINSTALADOR}" /$MultiUser.InstallMode'
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "DisplayName" "${NOMBRE}"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "DisplayVersion" "${TRAMIZA_VERSION}"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "Publisher" "${EDITOR}"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "DisplayIcon" "$INSTDIR\Tramiza.exe,0"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "InstallLocation" "$INSTDIR"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "UninstallString" "$0"
  WriteRegStr SHCTX "${CLAVE_DESINSTALAR}" "QuietUninstallString" "$0 /S"
  WriteRegDWORD SHCTX "${CLAVE_DESINSTALAR}" "NoModify" 1
  WriteRegDWORD SHCTX "${CLAVE_DESINSTALAR}" "NoRepair" 1
  ${GetSize} "$INSTDIR" "/S=0K" $1 $2 $3
  WriteRegDWORD SHCTX "${CLAVE_DESINSTALAR}" "EstimatedSize" $1
SectionEnd

Section "Iniciar Tramiza al iniciar sesión" SecInicio
SectionEnd

Section "Acceso directo en el menú Inicio" SecAcceso
SectionEnd

; The choices are applied both ways, so that an upgrade can also take them back.
Section "-Opciones"
  ${If} ${SectionIsSelected} ${SecInicio}
    WriteRegStr SHCTX "${CLAVE_INICIO}" "${NOMBRE}" '"$INSTDIR\Tramiza.exe"'
    DetailPrint "Tramiza se iniciará al iniciar sesión."
  ${Else}
    DeleteRegValue SHCTX "${CLAVE_INICIO}" "${NOMBRE}"
  ${EndIf}
  ${If} ${SectionIsSelected} ${SecAcceso}
    CreateShortcut "$SMPROGRAMS\${NOMBRE}.lnk" "$INSTDIR\Tramiza.exe" "" "$INSTDIR\Tramiza.exe" 0 \
      SW_SHOWNORMAL "" "Conversor de transacciones Korvane a transacciones ZELNO"
  ${Else}
    Delete "$SMPROGRAMS\${NOMBRE}.lnk"
  ${EndIf}
  ; A Tramiza that was running runs again, now the new one.
  ${If} $EstabaEnMarcha = 1
    Call IniciarTramiza
  ${EndIf}
SectionEnd

; Nothing of this installation stays behind when it cannot go on.
Function DeshacerCopia
  Delete "$INSTDIR\Tramiza.exe.nuevo"
  ${If} $CarpetaCreada = 1
    SetOutPath "$TEMP"
    RMDir "$INSTDIR"
  ${EndIf}
FunctionEnd

Function ModoElegido
  ${If} $DirDeLinea != ""
    StrCpy $INSTDIR $DirDeLinea
  ${EndIf}
  ; An earlier installation: its choices are kept unless the command line says otherwise.
  ReadRegStr $0 SHCTX "${CLAVE_DESINSTALAR}" "InstallLocation"
  ${If} $0 != ""
    ReadRegStr $1 SHCTX "${CLAVE_INICIO}" "${NOMBRE}"
    ${If} $1 == ""
      !insertmacro UnselectSection ${SecInicio}
    ${Else}
      !insertmacro SelectSection ${SecInicio}
    ${EndIf}
    ${If} ${FileExists} "$SMPROGRAMS\${NOMBRE}.lnk"
      !insertmacro SelectSection ${SecAcceso}
    ${Else}
      !insertmacro UnselectSection ${SecAcceso}
    ${EndIf}
  ${EndIf}
FunctionEnd

; A switch that is 0 or 1; anything else stops the installer before it changes anything.
!macro OPCION_DE_LINEA NOMBRE_OPCION VARIABLE
  ClearErrors
  ${GetOptions} $R0 "/${NOMBRE_OPCION}=" ${VARIABLE}
  ${If} ${Errors}
    StrCpy ${VARIABLE} ""
  ${ElseIf} ${VARIABLE} != "0"
  ${AndIf} ${VARIABLE} != "1"
    MessageBox MB_OK|MB_ICONSTOP "Valor no válido en la línea de órdenes: /${NOMBRE_OPCION}=${VARIABLE}. Use 0 o 1." /SD IDOK
    SetErrorLevel 2
    Quit
  ${EndIf}
!macroend

Function .onInit
  Call TomarMutex
  StrCpy $EstabaEnMarcha 0
  StrCpy $Reiniciado 0
  StrCpy $CarpetaCreada 0
  ; /D= fills $INSTDIR before this runs; the multi-user set-up would otherwise replace it.
  StrCpy $DirDeLinea $INSTDIR
  !insertmacro MULTIUSER_INIT

  ${GetParameters} $R0
  !insertmacro OPCION_DE_LINEA "INICIO" $R1
  !insertmacro OPCION_DE_LINEA "ACCESO" $R2
  !insertmacro OPCION_DE_LINEA "EJECUTAR" $R3
  ${If} $R1 == "0"
    !insertmacro UnselectSection ${SecInicio}
  ${ElseIf} $R1 == "1"
    !insertmacro SelectSection ${SecInicio}
  ${EndIf}
  ${If} $R2 == "0"
    !insertmacro UnselectSection ${SecAcceso}
  ${ElseIf} $R2 == "1"
    !insertmacro SelectSection ${SecAcceso}
  ${EndIf}
  StrCpy $Ejecutar 1
  ${If} $R3 == "0"
    StrCpy $Ejecutar 0
  ${EndIf}
  ; Said before the wizard opens; the section asks again for a folder chosen on its page.
  Call RechazarSiMasNueva
FunctionEnd

; A Tramiza already started again by the installation needs no check box.
Function MostrarPaginaFinal
  ${If} $Reiniciado = 1
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
    ShowWindow $mui.FinishPage.Run ${SW_HIDE}
  ${ElseIf} $Ejecutar = 0
    SendMessage $mui.FinishPage.Run ${BM_SETCHECK} ${BST_UNCHECKED} 0
  ${EndIf}
FunctionEnd

Function IniciarAlTerminar
  ${If} $Reiniciado = 0
    Call IniciarTramiza
  ${EndIf}
FunctionEnd

Function .onInstSuccess
  ${If} ${Silent}
  ${AndIf} $Ejecutar = 1
  ${AndIf} $Reiniciado = 0
    Call IniciarTramiza
  ${EndIf}
FunctionEnd

; An upgrade that could not go on leaves the old program, and starts it again if it was running.
Function .onInstFailed
  ${If} $EstabaEnMarcha = 1
    Call IniciarTramiza
  ${EndIf}
FunctionEnd

; --- Uninstaller ---------------------------------------------------------------------------------------

Var BorrarAjustes

Section "un.Tramiza" UnSecPrograma
  SectionIn RO
  Call un.TerminarTramiza
  ${If} ${Errors}
    SetErrorLevel 2
    Abort "Tramiza sigue en marcha: no se ha desinstalado nada."
  ${EndIf}
  ; The program first: while it cannot be removed, nothing else is.
  Call un.BorrarPrograma
  ${If} ${Errors}
    MessageBox MB_OK|MB_ICONSTOP "No se puede borrar $INSTDIR\Tramiza.exe: el archivo está en uso.$\r$\n$\r$\nQuizá Tramiza está abierto en otra sesión de usuario o todavía muestra un mensaje al iniciar. Ciérrelo y vuelva a desinstalar.$\r$\n$\r$\nNo se ha cambiado nada." /SD IDOK
    SetErrorLevel 2
    Abort "Tramiza.exe está en uso: no se ha desinstalado nada."
  ${EndIf}
  Delete "$INSTDIR\${DESINSTALADOR}"
  SetOutPath "$TEMP"
  RMDir "$INSTDIR"
  Call un.QuitarEntradas
SectionEnd

Section /o "un.Ajustes y registros diarios" UnSecAjustes
  Call un.BorrarAjustes
SectionEnd

; What Windows keeps about this installation: Apps & features, start at logon, the shortcut.
Function un.QuitarEntradas
  Delete "$SMPROGRAMS\${NOMBRE}.lnk"
  DeleteRegValue SHCTX "${CLAVE_INICIO}" "${NOMBRE}"
  DeleteRegKey SHCTX "${CLAVE_DESINSTALAR}"
  Delete "${CARPETA_DESINSTALADOR}\${DESINSTALADOR}"
  RMDir "${CARPETA_DESINSTALADOR}"
  RMDir "$LOCALAPPDATA\Tramiza"
  DetailPrint "Quitados el registro en Aplicaciones, el inicio al iniciar sesión y el acceso directo."
FunctionEnd

; The settings are the user's own: this user's settings, the daily logs and the lock file in the
; point-of-sale root folder they name (a lock that another Tramiza holds cannot be deleted and
; stays), and the program's own data folder.
Function un.BorrarAjustes
  ClearErrors
  ReadRegStr $0 HKCU "${CLAVE_AJUSTES}\DirectorioKorvane" "Tramiza"
  ${If} ${Errors}
    StrCpy $0 "C:\"  ; the program's own default
  ${EndIf}
  StrCpy $1 $0 1 -1
  ${If} $1 != "\"
  ${AndIf} $0 != ""
    StrCpy $0 "$0\"
  ${EndIf}
  ${If} $0 != ""
    Delete "$0LogTramiza*.txt"
    Delete "$0Tramiza.lck"
  ${EndIf}
  DeleteRegKey HKCU "${CLAVE_AJUSTES}"
  SetShellVarContext current
  RMDir /r "$LOCALAPPDATA\Tramiza\Registro"
  RMDir /r "$LOCALAPPDATA\Tramiza\Intercambios"
  RMDir "$LOCALAPPDATA\Tramiza"
  ${If} $MultiUser.InstallMode == "AllUsers"
    SetShellVarContext all
  ${EndIf}
  DetailPrint "Borrados los ajustes y los registros diarios."
FunctionEnd

Function un.onInit
  Call un.TomarMutex
  StrCpy $EstabaEnMarcha 0
  StrCpy $Reiniciado 0
  StrCpy $BorrarAjustes 0
  !insertmacro MULTIUSER_UNINIT
  ; The installation's own folder, also when this is the kept copy of the uninstaller.
  ReadRegStr $0 SHCTX "${CLAVE_DESINSTALAR}" "InstallLocation"
  ${If} $0 != ""
    StrCpy $INSTDIR $0
  ${EndIf}
  ${GetParameters} $R0
  ClearErrors
  ${GetOptions} $R0 "/BORRARAJUSTES" $R1
  ${IfNot} ${Errors}
    !insertmacro SelectSection ${UnSecAjustes}
    StrCpy $BorrarAjustes 1
  ${EndIf}

  ; The folder was deleted by hand: what Windows still keeps about it goes, and that is all.
  ${IfNot} ${FileExists} "$INSTDIR\Tramiza.exe"
    MessageBox MB_OK|MB_ICONINFORMATION "La carpeta de Tramiza ya no está: $INSTDIR$\r$\n$\r$\nSe borró a mano. Se quitan ahora el registro en Aplicaciones, el inicio al iniciar sesión y el acceso directo del menú Inicio." /SD IDOK
    Call un.QuitarEntradas
    ${If} $BorrarAjustes = 1
      Call un.BorrarAjustes
    ${EndIf}
    SetErrorLevel 0
    Quit
  ${EndIf}
FunctionEnd

Function un.onUninstFailed
  ${If} $EstabaEnMarcha = 1
    Call un.IniciarTramiza
  ${EndIf}
FunctionEnd
