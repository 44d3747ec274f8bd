#!/usr/bin/env bash
# GUI tests of Tramiza.exe: the program runs under Wine on a virtual desktop of its own (which has a
# taskbar with a notification area) and conductor.exe checks it from outside. Screenshots for a
# person to look at go to OUTPUT/capturas.
#
#   prueba_gui.sh CASE TRAMIZA.EXE CONDUCTOR.EXE ZELNO32.EXE TERMINALKORVANE.EXE OUTPUT
#
# The cases share the program's settings in the registry, the single-instance mutex and the
# Zelno32.exe process name, so they must not run at the same time as each other.
set -uo pipefail

if [ $# -ne 6 ]; then
  echo "uso: $0 CASO TRAMIZA.EXE CONDUCTOR.EXE ZELNO32.EXE TERMINALKORVANE.EXE SALIDA" >&2
  exit 2
fi
caso=$1 tramiza=$2 conductor=$3 zelno32=$4 terminal=$5 salida=$6

source "$(dirname "$0")/comun.sh"

trabajo=$salida/trabajo/$caso
capturas=$salida/capturas
rm -rf "$trabajo"
mkdir -p "$trabajo" "$capturas"
rm -f "$capturas/$caso"-*.png

# --- Helpers ---------------------------------------------------------------------------------------

distinto() {  # DESCRIPTION UNEXPECTED ACTUAL
  if [ -n "$3" ] && [ "$2" != "$3" ]; then
    echo "ok: $1"
  else
    falla "$1: se obtuvo [$3]"
  fi
}
ok_si() {  # DESCRIPTION COMMAND...
  local desc=$1
  shift
  if "$@"; then echo "ok: $desc"; else falla "$desc"; fi
}

ncaptura=0
captura() {
  ncaptura=$((ncaptura + 1))
  local f
  f=$(printf '%s/%s-%02d-%s.png' "$capturas" "$caso" "$ncaptura" "$1")
  sleep 1  # the taskbar catches up with the windows
  import -window root "$f" 2>/dev/null && echo "captura: $f"
}

# Exact bytes of a file against printf-style text.
contenido() {  # DESCRIPTION FILE FORMAT [ARGS...]
  local desc=$1 archivo=$2
  shift 2
  if [ ! -f "$archivo" ]; then
    falla "$desc: no existe $archivo"
  elif cmp -s "$archivo" <(printf "$@"); then
    echo "ok: $desc"
  else
    falla "$desc: $archivo tiene [$(od -c "$archivo" | head -5)]"
  fi
}

estado() { c consulta frmPuleo TramizaEstadoPrueba "$1"; }

# The seven settings, each in its section under the value "Tramiza".
ajustes() {  # KORVANE ZELNO INTERVALO INICIAR_ACTIVO INICIAR_ZELNO ZELNO_EXE [ACTIVAR_TX]
  c borrar-ajustes || fatal "no se pueden borrar los ajustes"
  c ajuste DirectorioKorvane "$1" && c ajuste DirectorioZELNO "$2" && c ajuste Intervalo "$3" &&
    c ajuste IniciarActivo "$4" && c ajuste IniciarZelnoExe "$5" && c ajuste ZelnoExe "$6" &&
    c ajuste ActivarTX "${7:-0}" || fatal "no se pueden escribir los ajustes"
}

# Only processes this test started are ended: it refuses to start while another Tramiza runs.
lanzadores=()  # desktops with the program on them
otros=()       # programs started straight from here
al_salir=()    # what a case changed outside its folder, to undo
propio=0
limpiar() {
  local pid
  terminar_tramiza_propio
  for z in "$trabajo"/Z*; do [ -d "$z" ] && touch "$z/_zelno_sim.stop"; done
  for orden in "${al_salir[@]}"; do eval "$orden"; done
  for pid in "${lanzadores[@]}" "${otros[@]}"; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
    kill "$pid" 2>/dev/null
  done
}
trap limpiar EXIT

lanzar() {  # starts a Windows program on the test desktop
  wine explorer /desktop="$escritorio" "$@" >/dev/null 2>&1 </dev/null &
  lanzadores+=($!)
}

iniciar_tramiza() {
  [ "$(c contar-procesos Tramiza.exe)" = 0 ] || fatal "ya corre un Tramiza.exe que esta prueba no inicio"
  propio=1
  lanzar "$(win "$tramiza")"
}

# The main window is up once its load step has placed the notification-area icon.
esperar_principal() {
  c esperar-ventana TramizaPuleo - 60000 >/dev/null || fatal "no aparecio la ventana principal"
  c esperar-visible frmPuleo 1 30000 || fatal "la ventana principal no se hizo visible"
  c esperar-consulta frmPuleo TramizaEstadoPrueba IconoBandeja eq 1 30000 >/dev/null ||
    falla "el icono del area de notificacion no se agrego"
}

# The program has ended: the virtual desktop closes with its last program.
terminado() {
  local pid
  for pid in "${lanzadores[@]}"; do
    for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  done
  propio=0
}

# "&Salir" ends the process.
salir_con() {  # MENU_ITEM
  c comando frmPuleo "$1" || fatal "no se puede elegir $1"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "Tramiza.exe sigue corriendo despues de $1"
  terminado
}

# Another test's Zelno32.exe would keep the program from starting ours.
sin_zelno32() {
  c esperar-procesos Zelno32.exe 0 120000 || fatal "sigue corriendo un Zelno32.exe ajeno"
}

K=$trabajo/K
Z=$trabajo/Z
mkdir -p "$K" "$Z"
Kw=$(win "$K")
Zw=$(win "$Z")

# --- Cases -----------------------------------------------------------------------------------------

caso_inicio_detenido() {
  ajustes "$Kw" "$Zw" 1 0 0 ""
  iniciar_tramiza
  esperar_principal
  igual "titulo de la ventana" "Plug IN Zelno Korvane..." "$(c titulo frmPuleo)"
  c esperar-texto frmPuleo lblProceso "Detenido." 20000 || falla "la etiqueta no dice Detenido."
  igual "texto del conmutador" "Buscar transacción" "$(c texto frmPuleo chkConected)"
  igual "ventana visible y minimizada" "visible minimizada" "$(c presentacion frmPuleo)"
  igual "conmutador apagado" 0 "$(c estado-check frmPuleo chkConected)"
  igual "icono de reposo (imagen 1)" 1 "$(estado IndiceIcono)"
  distinto "el area de notificacion tiene un icono" 0 "$(estado IconoBandejaHicon)"
  igual "sin temporizador" 0 "$(estado IntervaloMs)"
  captura detenido
  # Three intervals of one second: polling is off, so none of them runs a cycle.
  sleep 3
  igual "ningun ciclo" 0 "$(estado Ciclos)"
  igual "la etiqueta sigue" "Detenido." "$(c texto frmPuleo lblProceso)"
  salir_con mnuFileExit
}

caso_inicio_activo() {
  mkdir -p "$K/TER01"
  ajustes "$Kw" "$Zw" 15 1 0 ""
  iniciar_tramiza
  esperar_principal
  c esperar-texto frmPuleo lblProceso "Buscando..." 20000 || falla "la etiqueta no dice Buscando..."
  igual "ciclos justo despues del inicio" 0 "$(estado Ciclos)"
  igual "ventana visible y minimizada" "visible minimizada" "$(c presentacion frmPuleo)"
  igual "conmutador encendido" 1 "$(c estado-check frmPuleo chkConected)"
  igual "icono de busqueda (imagen 2)" 2 "$(estado IndiceIcono)"
  igual "intervalo del temporizador" 15000 "$(estado IntervaloMs)"
  captura buscando
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt 0 60000 >/dev/null ||
    falla "no corrio ningun ciclo"
  c esperar-texto frmPuleo lblProceso "Buscando en $Kw..." 20000 ||
    falla "el ciclo no escribio su texto"
  # The cycle made the terminal's folders on the client's side.
  ok_si "carpetas del cliente de TER01" test -d "$Z/term01/upload" -a -d "$Z/term01/download"
  captura primer-ciclo
  salir_con mnuFileExit
}

caso_intervalo_cero() {
  ajustes "$Kw" "$Zw" 0 1 0 ""
  iniciar_tramiza
  esperar_principal
  c esperar-texto frmPuleo lblProceso "Buscando..." 20000 || falla "la etiqueta no dice Buscando..."
  igual "conmutador encendido" 1 "$(c estado-check frmPuleo chkConected)"
  igual "icono de busqueda" 2 "$(estado IndiceIcono)"
  igual "sin temporizador" 0 "$(estado IntervaloMs)"
  sleep 3
  igual "ningun ciclo" 0 "$(estado Ciclos)"
  igual "la etiqueta sigue" "Buscando..." "$(c texto frmPuleo lblProceso)"
  salir_con mnuFileExit
}

caso_conmutador() {
  # A long interval: no cycle rewrites the label while the toggle is checked.
  ajustes "$Kw" "$Zw" 30 0 0 ""
  iniciar_tramiza
  esperar_principal
  c esperar-texto frmPuleo lblProceso "Detenido." 20000 || falla "la etiqueta no dice Detenido."
  c comando frmPuleo mnuTrayShow
  c esperar-visible frmPuleo 1 10000
  local reposo busqueda
  reposo=$(estado IconoBandejaHicon)
  distinto "icono de reposo en el area de notificacion" 0 "$reposo"
  captura apagado

  c click frmPuleo chkConected || falla "no se puede pulsar el conmutador"
  igual "conmutador encendido" 1 "$(c estado-check frmPuleo chkConected)"
  igual "etiqueta al encender" "Buscando..." "$(c texto frmPuleo lblProceso)"
  igual "icono de la ventana al encender" 2 "$(estado IndiceIcono)"
  busqueda=$(estado IconoBandejaHicon)
  distinto "el area de notificacion cambia de icono" "$reposo" "$busqueda"
  igual "temporizador al encender" 30000 "$(estado IntervaloMs)"
  igual "el icono sigue en el area de notificacion" 1 "$(estado IconoBandeja)"
  captura encendido

  c click frmPuleo chkConected || falla "no se puede pulsar el conmutador"
  igual "conmutador apagado" 0 "$(c estado-check frmPuleo chkConected)"
  igual "etiqueta al apagar" "Detenido." "$(c texto frmPuleo lblProceso)"
  igual "icono de la ventana al apagar" 1 "$(estado IndiceIcono)"
  igual "vuelve el icono de reposo" "$reposo" "$(estado IconoBandejaHicon)"
  igual "temporizador al apagar" 0 "$(estado IntervaloMs)"
  igual "ningun ciclo" 0 "$(estado Ciclos)"
  salir_con mnuFileExit
}

presentacion_es() {  # DESCRIPTION EXPECTED
  local obtenida
  for _ in $(seq 50); do
    obtenida=$(c presentacion frmPuleo)
    [ "$obtenida" == "$2" ] && break
    sleep 0.1
  done
  igual "$1" "$2" "$obtenida"
}
doble_clic() { c mensaje frmPuleo 0x200 0 0x203; }

caso_presentacion() {
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  presentacion_es "tras el inicio" "visible minimizada"
  doble_clic
  presentacion_es "doble clic sobre la ventana minimizada" "visible minimizada"
  c comando frmPuleo mnuTrayShow
  presentacion_es "&Mostrar" "visible normal"
  captura mostrar

  # The title bar's close only hides the window; the icon and the polling go on.
  c cerrar frmPuleo
  presentacion_es "cierre desde la barra de titulo" "oculta normal"
  igual "el proceso sigue" 1 "$(c contar-procesos Tramiza.exe)"
  igual "el icono sigue" 1 "$(estado IconoBandeja)"
  local n
  n=$(estado Ciclos)
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt "$n" 30000 >/dev/null ||
    falla "el sondeo se detuvo al cerrar la ventana"
  captura cerrada
  doble_clic
  presentacion_es "doble clic tras cerrar" "visible normal"

  c comando frmPuleo mnuFileClose
  presentacion_es "&Minimizar" "oculta normal"
  doble_clic
  presentacion_es "doble clic tras &Minimizar" "visible normal"

  c comando frmPuleo mnuTrayHide
  presentacion_es "&Ocultar" "oculta minimizada"
  doble_clic
  presentacion_es "doble clic tras &Ocultar" "visible minimizada"
  c comando frmPuleo mnuFileClose
  presentacion_es "&Minimizar sobre la ventana minimizada" "oculta minimizada"
  doble_clic
  presentacion_es "doble clic tras &Minimizar" "visible minimizada"
  c comando frmPuleo mnuTrayShow
  presentacion_es "&Mostrar restaura" "visible normal"

  # The tray's pop-up menu: a right click opens it, the first item is "&Mostrar".
  c comando frmPuleo mnuTrayHide
  presentacion_es "&Ocultar" "oculta minimizada"
  c mensaje frmPuleo 0x200 0 0x205
  c esperar-ventana "#32768" - 10000 >/dev/null || falla "no se abrio el menu de la bandeja"
  captura menu-bandeja
  c tecla "#32768" 0x28 && c tecla "#32768" 0x0D
  c esperar-sin-ventana "#32768" 10000 || falla "el menu de la bandeja no se cerro"
  presentacion_es "&Mostrar desde el menu de la bandeja" "visible normal"
  salir_con mnuFileExit
}

caso_salir_archivo() {
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  igual "icono en el area de notificacion" 1 "$(estado IconoBandeja)"
  captura antes
  salir_con mnuFileExit
  igual "sin ventana principal" 0 "$(c contar-ventanas TramizaPuleo)"
}

caso_salir_bandeja() {
  ajustes "$Kw" "$Zw" 1 0 0 ""
  iniciar_tramiza
  esperar_principal
  igual "icono en el area de notificacion" 1 "$(estado IconoBandeja)"
  # Chosen in the pop-up menu itself: up from the top wraps to the last item, "&Salir".
  c mensaje frmPuleo 0x200 0 0x205
  c esperar-ventana "#32768" - 10000 >/dev/null || fatal "no se abrio el menu de la bandeja"
  captura menu
  c tecla "#32768" 0x26 && c tecla "#32768" 0x0D
  c esperar-procesos Tramiza.exe 0 30000 || fatal "&Salir del menu de la bandeja no termino el programa"
  propio=0
}

caso_segunda_instancia() {
  ajustes "$Kw" "$Zw" 1 0 0 ""
  iniciar_tramiza
  esperar_principal
  c comando frmPuleo mnuFileClose
  presentacion_es "primera ventana oculta y minimizada" "oculta minimizada"
  # Settings that the second copy would act on if it read them: it would start the client.
  c ajuste IniciarZelnoExe 1
  c ajuste ZelnoExe "$(win "$zelno32") --eco $(win "$trabajo/eco.txt") --salir"
  lanzar "$(win "$tramiza")"
  c esperar-visible frmPuleo 1 30000 || falla "la primera ventana no se hizo visible"
  presentacion_es "la primera ventana sigue minimizada" "visible minimizada"
  c esperar-procesos Tramiza.exe 1 30000 || falla "la segunda copia no termino"
  igual "una sola ventana principal" 1 "$(c contar-ventanas TramizaPuleo)"
  igual "ninguna caja de mensaje" 0 "$(c contar-cajas)"
  ok_si "la segunda copia no inicio el cliente" test ! -e "$trabajo/eco.txt"
  captura traspaso

  # A visible window at normal size: nothing visible happens.
  c comando frmPuleo mnuTrayShow
  presentacion_es "&Mostrar" "visible normal"
  lanzar "$(win "$tramiza")"
  sleep 2
  c esperar-procesos Tramiza.exe 1 30000 || falla "la tercera copia no termino"
  presentacion_es "la ventana no cambia" "visible normal"
  igual "una sola ventana principal" 1 "$(c contar-ventanas TramizaPuleo)"
  ok_si "tampoco la tercera copia inicio el cliente" test ! -e "$trabajo/eco.txt"
  salir_con mnuFileExit
}

caso_cliente_inicio() {
  local linea
  # Asked for and not running: started with the configured command line.
  sin_zelno32
  linea="$(win "$zelno32") --dir $Zw --eco $(win "$trabajo/eco1.txt") --vida 30000"
  ajustes "$Kw" "$Zw" 1 0 1 "$linea"
  iniciar_tramiza
  esperar_principal
  contenido "el cliente recibio su linea de orden" "$trabajo/eco1.txt" '%s\n' --dir "$Zw" --eco \
    "$(win "$trabajo/eco1.txt")" --vida 30000
  ok_si "corre un Zelno32.exe" test "$(c contar-procesos Zelno32.exe)" -ge 1
  igual "ninguna caja de mensaje" 0 "$(c contar-cajas)"
  # The client runs on the program's desktop, which stays open until the client has ended too.
  touch "$Z/_zelno_sim.stop"
  salir_con mnuFileExit

  # Not asked for: never started.
  sin_zelno32
  ajustes "$Kw" "$Zw" 1 0 0 "$(win "$zelno32") --eco $(win "$trabajo/eco2.txt") --salir"
  iniciar_tramiza
  esperar_principal
  sleep 2
  ok_si "IniciarZelnoExe 0 no inicia el cliente" test ! -e "$trabajo/eco2.txt"
  salir_con mnuFileExit

  # Asked for while a Zelno32.exe already runs: nothing is started.
  rm -f "$Z/_zelno_sim.stop"
  wine "$zelno32" --dir "$Zw" --vida 60000 >/dev/null 2>&1 </dev/null &
  otros+=($!)
  c esperar-procesos Zelno32.exe 1 30000 || falla "no arranco el Zelno32.exe de la prueba"
  ajustes "$Kw" "$Zw" 1 0 1 "$(win "$zelno32") --eco $(win "$trabajo/eco3.txt") --salir"
  iniciar_tramiza
  esperar_principal
  sleep 2
  ok_si "con Zelno32.exe en marcha no se inicia otro" test ! -e "$trabajo/eco3.txt"
  igual "ninguna caja de mensaje" 0 "$(c contar-cajas)"
  salir_con mnuFileExit
}

caso_cliente_error() {
  sin_zelno32
  ajustes "$Kw" "$Zw" 1 0 1 ""
  iniciar_tramiza
  igual "caja de arranque del cliente" "$(printf 'Zelno Activo\n1: No se puede cargar cliente Zelno32.exe')" \
    "$(c caja-mensaje 60000)"
  igual "la ventana principal espera a la caja" 0 "$(c contar-ventanas TramizaPuleo)"
  captura caja
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  esperar_principal
  c esperar-texto frmPuleo lblProceso "Detenido." 20000 || falla "la etiqueta no dice Detenido."
  sleep 2
  igual "la caja se mostro una sola vez" 0 "$(c contar-cajas)"
  salir_con mnuFileExit
}

# An empty settings store: the defaults start the client (ZelnoExe is empty, so it fails), search
# "C:\" every second and use "C:\Estandar", which this prefix does not have.
caso_primer_inicio() {
  [ ! -e "$WINEPREFIX/drive_c/Estandar" ] || fatal "el prefijo tiene C:\\Estandar"
  sin_zelno32
  c borrar-ajustes || fatal "no se pueden borrar los ajustes"
  iniciar_tramiza
  igual "caja de arranque del cliente" "$(printf 'Zelno Activo\n1: No se puede cargar cliente Zelno32.exe')" \
    "$(c caja-mensaje 60000)"
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  # Making C:\Estandar\tx fails with "path not found"; the box shows the system's own description.
  igual "caja de carga de terminales" "$(printf 'Carga de terminales\n%s' "$(c descripcion-error 3)")" \
    "$(c caja-mensaje 60000 "Carga de terminales")"
  captura carga-terminales
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  esperar_principal
  igual "conmutador encendido" 1 "$(c estado-check frmPuleo chkConected)"
  igual "intervalo de un segundo" 1000 "$(estado IntervaloMs)"
  c esperar-texto frmPuleo lblProceso 'Buscando en C:\...' 30000 || falla "el ciclo no recorre C:\\"
  salir_con mnuFileExit
}

caso_acerca_de() {
  local msinfo='SOFTWARE\Microsoft\Shared Tools\MSINFO' lugar='SOFTWARE\Microsoft\Shared Tools Location'
  # Neither value may be there to begin with (Wine has none of them).
  echo "MSINFO PATH: $(c hklm-sin-valor "$msinfo" PATH)"
  echo "Shared Tools Location MSINFO: $(c hklm-sin-valor "$lugar" MSINFO)"
  ajustes "$Kw" "$Zw" 1 0 0 ""
  iniciar_tramiza
  esperar_principal
  c comando frmPuleo mnuFileAbout
  c esperar-ventana "#32770" "About Tramiza" 20000 >/dev/null || fatal "no se abrio la caja Acerca de"
  igual "titulo" "Tramiza" "$(c texto frmAbout lblTitle)"
  igual "version" "Version 1.1.1" "$(c texto frmAbout lblVersion)"
  # Company name, empty legal notice and comments of the version resource.
  local comentarios='Version copia TIQUET.PRN y crea _svl.0 para CodigoEmpresa 11, 27, 28, 29, 31, 33 y 34.'
  igual "descripcion" "$(printf 'Tramiza Sistemas\r\n\r\n%s' "$comentarios")" "$(c texto frmAbout lblDescription)"
  igual "aviso" "Warning: ..." "$(c texto frmAbout lblDisclaimer)"
  igual "boton OK" "OK" "$(c texto frmAbout cmdOK)"
  igual "boton Sistema" "&Sistema" "$(c texto frmAbout cmdSysInfo)"
  captura acerca-de

  # Neither registry value: the tool cannot be found.
  c pulsar frmAbout cmdSysInfo
  igual "sin informacion del sistema" "$(printf 'Tramiza\nSystem Information Is Unavailable At This Time')" \
    "$(c caja-mensaje 20000)"
  captura sin-informacion
  c pulsar-ok 10000 || falla "no se pudo cerrar la caja"
  igual "la caja Acerca de sigue abierta" 1 "$(c visible frmAbout)"
  # Esc closes it like OK.
  c tecla frmAbout 0x1B
  c esperar-sin-ventana frmAbout 10000 || falla "Esc no cerro la caja Acerca de"

  # Only the folder value, and no MSINFO32.EXE in that folder: the same message.
  mkdir -p "$trabajo/herramientas"
  al_salir+=("c hklm-sin-valor '$lugar' MSINFO >/dev/null")
  c hklm-poner "$lugar" MSINFO "$(win "$trabajo/herramientas")" || fatal "no se puede escribir HKLM"
  c comando frmPuleo mnuFileAbout
  c esperar-ventana "#32770" "About Tramiza" 20000 >/dev/null || fatal "no se abrio la caja Acerca de"
  c pulsar frmAbout cmdSysInfo
  igual "carpeta sin MSINFO32.EXE" "$(printf 'Tramiza\nSystem Information Is Unavailable At This Time')" \
    "$(c caja-mensaje 20000)"
  c pulsar-ok 10000 || falla "no se pudo cerrar la caja"

  # With the tool there it is started, without a message (the client simulator stands for it).
  [ "$(c contar-procesos MSINFO32.EXE)" = 0 ] || fatal "ya corre un MSINFO32.EXE"
  cp "$zelno32" "$trabajo/herramientas/MSINFO32.EXE"
  al_salir+=('for pid in $(c procesos MSINFO32.EXE); do c terminar "$pid"; done')
  c pulsar frmAbout cmdSysInfo
  c esperar-procesos MSINFO32.EXE 1 30000 || falla "no se inicio MSINFO32.EXE"
  igual "ninguna caja de mensaje" 0 "$(c contar-cajas)"
  for pid in $(c procesos MSINFO32.EXE); do c terminar "$pid"; done
  # Enter presses the default button, OK.
  c tecla frmAbout 0x0D
  c esperar-sin-ventana frmAbout 10000 || falla "Enter no cerro la caja Acerca de"
  salir_con mnuFileExit
}

caso_intercambio() {
  mkdir -p "$K/TER01"
  # The client's company table: provider number parts at characters 9-10 and 41-42.
  printf '%-8s%-2s%-30s%-2s\r\n' 00000001 45 PASTEU 02 >"$Z/_zelno.emp"
  printf 'term01 normal 300\n' >"$Z/_zelno_sim.cfg"
  wine "$zelno32" --dir "$Zw" --vida 120000 >/dev/null 2>&1 </dev/null &
  otros+=($!)
  ajustes "$Kw" "$Zw" 1 1 0 "" 1
  iniciar_tramiza
  esperar_principal
  local salida_terminal rc
  salida_terminal=$(wine "$terminal" --dir "$(win "$K/TER01")" --id VENTA-0001 --longitud 336 --empresa PASTEU \
    --espera 60000 2>&1)
  rc=$?
  echo "$salida_terminal"
  igual "la terminal recibio respuesta" 0 "$rc"
  igual "estado de la terminal" "estado: respuesta lista" "$(head -1 <<<"$salida_terminal" | tr -d '\r')"
  contenido "STATUS.ZLN" "$K/TER01/STATUS.ZLN" 'S'
  contenido "SERESP.ZLN" "$K/TER01/SERESP.ZLN" 'RESPUESTA V9014502 VENTA-0001\r'
  contenido "PRAXIS.ZLN" "$K/TER01/PRAXIS.ZLN" 'PRAXIS RESPUESTA VENTA-0001\r\nPRAXIS VENTA-0001\r\n'
  contenido "TIQUET.PRN" "$K/TER01/TIQUET.PRN" 'TIQUET term01\r\nPROVEEDOR V9014502\r\nSOLICITUD VENTA-0001\r\n'
  contenido "codigo de proveedor que vio el cliente" "$Z/_zelno_sim.log" 'term01\tnormal\tV9014502\tVENTA-0001\r\n'
  ok_si "marca TX creada para el cliente" test -d "$Z/tx"
  igual "etiqueta del ciclo" "Buscando en $Kw..." "$(c texto frmPuleo lblProceso)"
  captura intercambio
  salir_con mnuTrayClose
}

# The registered message "TramizaTerminar" that the installer sends: it ends the program as
# "&Salir" does, but never in the middle of a polling cycle.
caso_terminar() {
  # A cycle that stops on a message box: the client's upload "folder" is a file, so handing the
  # request over fails.
  mkdir -p "$K/TER01" "$Z/term01/download"
  printf 'X' >"$Z/term01/upload"
  printf 'CABECERA' >"$K/TER01/CLICAB.ZLN"
  printf 'C' >"$K/TER01/STATUS.ZLN"
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  local caja
  caja=$(c caja-mensaje 30000) || fatal "el ciclo no se detuvo en su caja"
  igual "caja del ciclo" "Transacción punto control: 5" "$(head -1 <<<"$caja")"
  igual "el pedido se acepta" 1 "$(c consulta frmPuleo TramizaTerminar 0)"
  sleep 3
  igual "el programa espera al fin del ciclo" 1 "$(c contar-procesos Tramiza.exe)"
  igual "la caja sigue abierta" 1 "$(c contar-cajas)"
  captura pedido-durante-ciclo
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "el ciclo termino y el programa sigue"
  terminado

  # A request withdrawn (wParam 1) before the cycle ends is forgotten; between cycles a request
  # ends the program at once, and the sender gets its answer first.
  printf 'CABECERA' >"$K/TER01/CLICAB.ZLN"
  printf 'C' >"$K/TER01/STATUS.ZLN"
  iniciar_tramiza
  esperar_principal
  caja=$(c caja-mensaje 30000) || fatal "el ciclo no se detuvo en su caja"
  igual "el pedido se acepta" 1 "$(c consulta frmPuleo TramizaTerminar 0)"
  igual "y se retira" 1 "$(c consulta frmPuleo TramizaTerminar 1)"
  # The cause goes away: the next cycle finishes the hand-off instead of stopping on a box again.
  rm -f "$Z/term01/upload"
  mkdir -p "$Z/term01/upload"
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  local n
  n=$(estado Ciclos)
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt "$n" 30000 >/dev/null || falla "no corrio otro ciclo"
  igual "el pedido retirado no lo termino" 1 "$(c contar-procesos Tramiza.exe)"
  igual "respuesta al pedido" 1 "$(c consulta frmPuleo TramizaTerminar 0)"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "el pedido no termino el programa"
  terminado
}

if ! declare -F "caso_$caso" >/dev/null; then
  echo "caso desconocido: $caso" >&2
  exit 2
fi
echo "=== $caso (WINEPREFIX=$WINEPREFIX DISPLAY=$DISPLAY)"
"caso_$caso"
if [ "$fallos" -ne 0 ]; then
  echo "$caso: $fallos comprobaciones fallaron" >&2
  exit 1
fi
echo "$caso: todo bien"
