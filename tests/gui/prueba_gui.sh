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

trabajo=$salida/trabajo/$caso
capturas=$salida/capturas
# shellcheck source=tests/gui/comun.sh
source "$(dirname "$0")/comun.sh"

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

# The seven settings, each in its section under the value "Tramiza"; the exchanges that earlier runs
# left in progress in the same folders are forgotten.
ajustes() {  # KORVANE ZELNO INTERVALO INICIAR_ACTIVO INICIAR_ZELNO ZELNO_EXE [ACTIVAR_TX]
  c borrar-intercambios || fatal "no se pueden borrar los registros de intercambios"
  # Each case reads the activity log of its own run only.
  rm -f "$(actividad_tramiza)"
  tramiza_ajustes "$1" "$2" "$3" "${7:-0}" "$4" "$5" "$6" || fatal "no se pueden escribir los ajustes"
}

# Only processes this test started are ended: it refuses to start while another Tramiza runs.
otros=()       # programs started straight from here
al_salir=()    # what a case changed outside its folder, to undo
limpiar() {
  local pid z orden
  tramiza_limpiar
  for z in "$trabajo"/Z*; do [ -d "$z" ] && touch "$z/_zelno_sim.stop"; done
  for orden in "${al_salir[@]}"; do eval "$orden"; done
  for pid in "${otros[@]}"; do
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
    terminar_arbol "$pid"
  done
}
trap limpiar EXIT

# Tramiza.exe on the test desktop, without waiting for its window: a case may end it at once.
iniciar_tramiza() {
  [ "$(c contar-procesos Tramiza.exe)" = 0 ] || fatal "ya corre un Tramiza.exe que esta prueba no inicio"
  tramiza_propio=1
  tramiza_lanzar "$(win "$tramiza")"
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
  tramiza_esperar_escritorios
  tramiza_propio=0
}

# "&Salir" ends the process.
salir_con() {  # MENU_ITEM
  tramiza_salir "$1" || fatal "Tramiza.exe sigue corriendo despues de $1"
}

# Another test's Zelno32.exe would keep the program from starting ours.
sin_zelno32() {
  c esperar-procesos Zelno32.exe 0 120000 || fatal "sigue corriendo un Zelno32.exe ajeno"
}

# --- Exchanges: the client's simulator, the terminals' simulator, files and moments -----------------

# The client's company table: PASTEU gets the provider code V9014502 (number parts at characters
# 9-10 and 41-42).
tabla_empresas() {
  printf '%-8s%-2s%-30s%-2s\r\n' 00000001 45 PASTEU 02 >"$Z/_zelno.emp"
}

# Zelno32.exe serving the client's tree by the rules given (lines of its control file).
cliente_simulado() {  # RULE...
  printf '%s\n' "$@" >"$Z/_zelno_sim.cfg"
  rm -f "$Z/_zelno_sim.stop"
  wine_reintentando "$zelno32" --dir "$Zw" --vida 300000 >/dev/null 2>&1 </dev/null &
  otros+=($!)
}

# One request of a terminal (CLICAB.ZLN of 336 bytes for PASTEU, PRAXIS.ZLN, then "C") from the
# terminal simulator, which waits ESPERA_MS for the answer; with 0 it only writes the request. Its
# report goes to $trabajo/TERMINAL-ID.txt; the status is 0 once answered.
solicitar() {  # TERMINAL ID [ESPERA_MS]
  wine_reintentando "$terminal" --dir "$(win "$K/$1")" --id "$2" --longitud 336 --empresa PASTEU \
    --espera "${3:-180000}" >"$trabajo/$1-$2.txt" 2>"$trabajo/$1-$2.err" </dev/null
}

# The terminal's report: STATUS.ZLN "S" and the answer of a client that behaves normally, exactly.
respondido() {  # TERMINAL ID
  igual "respuesta de $1 a $2" \
    "$(printf 'estado: respuesta lista\nSTATUS.ZLN (1 bytes): S\nSERESP.ZLN (%d bytes): RESPUESTA V9014502 %s\\r' \
      $((${#2} + 20)) "$2")" "$(head -3 "$trabajo/$1-$2.txt" | tr -d '\r')"
}

# Today's activity log of the program under test.
actividad_tramiza() { echo "$WINEPREFIX"/drive_c/users/*/AppData/Local/Tramiza/Registro/"$(date +%F)".log; }

esperar_contenido() {  # FILE TEXT SECONDS
  for _ in $(seq $(($3 * 5))); do
    [ "$(cat "$1" 2>/dev/null)" == "$2" ] && return 0
    sleep 0.2
  done
  return 1
}

alguno_vivo() {  # PID...
  local pid
  for pid in "$@"; do kill -0 "$pid" 2>/dev/null && return 0; done
  return 1
}

# FILE held open without sharing by conductor.exe, another process, until $trabajo/soltar exists.
# True once a background conductor has printed LINE into FILE (a minute at most).
linea_escrita() {  # FILE LINE
  for _ in $(seq 300); do
    grep -q "^$2\$" "$1" 2>/dev/null && return 0
    sleep 0.2
  done
  return 1
}

bloquear_archivo() {  # FILE
  rm -f "$trabajo/soltar"
  al_salir+=("touch '$trabajo/soltar'")
  c bloquear "$(win "$1")" 600000 "$(win "$trabajo/soltar")" >"$trabajo/bloqueo.txt" &
  bloqueo=$!
  otros+=("$bloqueo")
  linea_escrita "$trabajo/bloqueo.txt" bloqueado || fatal "no se pudo bloquear $1"
}

# The moment a turn begins to wait: a hand-off removes a stale estado.rsp, then waits one second. A
# conductor already waiting for the file runs the actions the moment it goes (a conductor started
# then would come too late); the output goes to $trabajo/vigia.txt.
vigilar_borrado() {  # FILE ACTION... [+ ACTION...]
  local archivo=$1
  shift
  c tras-borrado "$(win "$archivo")" 120000 "$@" >"$trabajo/vigia.txt" &
  vigia=$!
  otros+=("$vigia")
  linea_escrita "$trabajo/vigia.txt" vigilando || fatal "el conductor no empezo a vigilar $archivo"
}
esperar_vigia() {  # DESCRIPTION EXPECTED_OUTPUT
  wait "$vigia" || falla "$1: fallo una accion"
  igual "$1" "$2" "$(cat "$trabajo/vigia.txt")"
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
  igual "conmutador encendido" 1 "$(c estado-check frmPuleo chkConected)"
  igual "icono de busqueda" 2 "$(estado IndiceIcono)"
  igual "sin temporizador" 0 "$(estado IntervaloMs)"
  sleep 3
  igual "ningun ciclo" 0 "$(estado Ciclos)"
  # Polling "on" serves nothing: the warning icon and the words say so, not the green icon.
  igual "no atiende" 2 "$(estado Servicio)"
  igual "la etiqueta dice por que" "No atiende las terminales: el intervalo de búsqueda es 0." \
    "$(c texto frmPuleo lblProceso)"
  captura no-atiende
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
  # The activity log has the settings in use and each switch, once each.
  igual "el registro anota los ajustes y cada cambio" \
    "$(printf 'Ajustes: Korvane %s, Zelno %s, intervalo 30 s, cliente  (no se inicia)\nBuscar transacci\363n: activado\nBuscar transacci\363n: desactivado' "$Kw" "$Zw")" \
    "$(grep -aE 'Ajustes: |Buscar transacci' "$(actividad_tramiza)" | cut -c25- | tr -d '\r')"
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
  tramiza_propio=0
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
  tramiza_lanzar "$(win "$tramiza")"
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
  tramiza_lanzar "$(win "$tramiza")"
  sleep 2
  c esperar-procesos Tramiza.exe 1 30000 || falla "la tercera copia no termino"
  presentacion_es "la ventana no cambia" "visible normal"
  igual "una sola ventana principal" 1 "$(c contar-ventanas TramizaPuleo)"
  ok_si "tampoco la tercera copia inicio el cliente" test ! -e "$trabajo/eco.txt"
  local registro=$WINEPREFIX/drive_c/ProgramData/Tramiza/Instancia.lck sesion antes
  sesion=$(campo_cerrojo "$registro" Sesion)
  salir_con mnuFileExit

  # A first copy still starting in this session (its record and name, no window yet, as the conductor
  # holds them): a new copy waits for its window instead of ending at once, and gives up after 30 s
  # with a line in the activity log.
  rm -f "$trabajo/soltar"
  al_salir+=("touch '$trabajo/soltar'")
  c otra-sesion "$(hostname)" yo "$sesion" 600000 "$(win "$trabajo/soltar")" >"$trabajo/sesion.txt" &
  otros+=($!)
  linea_escrita "$trabajo/sesion.txt" "en marcha" || fatal "el conductor no hizo de Tramiza que arranca"
  antes=$(lineas_actividad 'no abri. su ventana en 30 s')
  tramiza_propio=1
  tramiza_lanzar "$(win "$tramiza")"
  sleep 5
  igual "la copia nueva espera a la que arranca" 1 "$(c contar-procesos Tramiza.exe)"
  igual "sin caja de otra sesion" 0 "$(c contar-cajas)"
  touch "$trabajo/soltar"
  c esperar-procesos Tramiza.exe 0 60000 || falla "la copia nueva no termino"
  terminado
  igual "una linea en el registro de actividad" $((antes + 1)) "$(lineas_actividad 'no abri. su ventana en 30 s')"
}

# A field of a lock file that a conductor holds ("Proceso", "Desde").
campo_cerrojo() {  # FILE FIELD
  sed -n "s/^$2: \(.*\)\r\$/\1/p" "$1"
}

# Lines of today's activity log that match a pattern (the log is CP1252: "." for an accented letter).
lineas_actividad() {  # PATTERN
  cat "$WINEPREFIX"/drive_c/users/*/AppData/Local/Tramiza/Registro/"$(date +%F)".log 2>/dev/null |
    LC_ALL=C grep -a -c "$1"
}

# One Tramiza per PC and one per Korvane root. Wine has a single session: the Tramiza of another
# session is a conductor holding the machine-wide mutex and the record a running Tramiza publishes,
# with no window; another PC's Tramiza on the same root is a conductor holding the root's lock file.
caso_otro_tramiza() {
  local registro=$WINEPREFIX/drive_c/ProgramData/Tramiza/Instancia.lck esperado n antes
  local linea='en otra sesi.n de este equipo (equipo CAJA-2, usuario cajero2, sesi.n 7,'
  mkdir -p "$K/TER01"
  tabla_empresas
  ajustes "$Kw" "$Zw" 1 1 0 ""
  rm -f "$trabajo/soltar" "$trabajo/soltar-raiz"
  al_salir+=("touch '$trabajo/soltar' '$trabajo/soltar-raiz'")
  c otra-sesion CAJA-2 cajero2 7 600000 "$(win "$trabajo/soltar")" >"$trabajo/sesion.txt" &
  otros+=($!)
  linea_escrita "$trabajo/sesion.txt" "en marcha" || fatal "el conductor no hizo de Tramiza de otra sesion"
  esperado=$(printf 'Tramiza ya está en marcha\nTramiza ya está en marcha en otra sesión de este equipo (equipo CAJA-2, usuario cajero2, sesión 7, proceso %s, desde %s). Un solo Tramiza atiende las terminales de cada equipo: este se cierra.' \
    "$(campo_cerrojo "$registro" Proceso)" "$(campo_cerrojo "$registro" Desde)")
  antes=$(lineas_actividad "$linea")
  tramiza_propio=1
  tramiza_lanzar "$(win "$tramiza")"
  igual "caja de la copia que no atiende" "$esperado" "$(c caja-mensaje 60000 "Tramiza ya está en marcha")"
  igual "ninguna ventana principal" 0 "$(c contar-ventanas TramizaPuleo)"
  captura otra-sesion
  c pulsar-ok 10000 || fatal "no se pudo cerrar la caja"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "la copia que no atiende sigue en marcha"
  terminado
  igual "una linea en el registro de actividad" $((antes + 1)) "$(lineas_actividad "$linea")"
  touch "$trabajo/soltar"

  # Another PC's Tramiza serves the root: no tick touches the terminal's request until it lets go.
  solicitar TER01 VENTA-0001 0
  c titular "$(win "$K/Tramiza.lck")" CAJA-9 encargada 3 600000 "$(win "$trabajo/soltar-raiz")" \
    >"$trabajo/titular.txt" &
  otros+=($!)
  linea_escrita "$trabajo/titular.txt" tomado || fatal "el conductor no tomo el cerrojo de la raiz"
  esperado=$(printf 'Carpeta de Korvane atendida por otro Tramiza\nOtro Tramiza ya atiende la carpeta de Korvane %s (equipo CAJA-9, usuario encargada, sesión 3, proceso %s, desde %s). Este Tramiza no atiende las terminales mientras el otro siga; lo vuelve a intentar en cada ciclo.' \
    "$Kw" "$(campo_cerrojo "$K/Tramiza.lck" Proceso)" "$(campo_cerrojo "$K/Tramiza.lck" Desde)")
  iniciar_tramiza
  esperar_principal
  igual "caja de la raiz atendida" "$esperado" \
    "$(c caja-mensaje 60000 "Carpeta de Korvane atendida por otro Tramiza")"
  c esperar-texto frmPuleo lblProceso "No atiende las terminales: otro Tramiza atiende la carpeta de Korvane $Kw." \
    20000 || falla "la etiqueta no lo dice"
  igual "no atiende" 2 "$(estado Servicio)"
  sleep 3
  igual "ningun ciclo" 0 "$(estado Ciclos)"
  igual "una sola caja" 1 "$(c contar-cajas)"
  contenido "STATUS.ZLN intacto" "$K/TER01/STATUS.ZLN" 'C'
  ok_si "la solicitud sigue en la terminal" test -e "$K/TER01/CLICAB.ZLN"
  captura raiz-atendida
  touch "$trabajo/soltar-raiz"
  linea_escrita "$trabajo/titular.txt" soltado || falla "el conductor no solto el cerrojo"
  esperar_contenido "$K/TER01/STATUS.ZLN" P 60 || falla "la solicitud no se entrego al soltar el cerrojo"
  n=$(estado Ciclos)
  ok_si "ciclos tras tomar el cerrojo ($n)" test "$n" -gt 0
  igual "el cerrojo nombra a este Tramiza" "$(c procesos Tramiza.exe)" "$(campo_cerrojo "$K/Tramiza.lck" Proceso)"
  c pulsar-ok 10000 "Carpeta de Korvane atendida por otro Tramiza" || falla "no se pudo cerrar la caja"
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
  wine_reintentando "$zelno32" --dir "$Zw" --vida 60000 >/dev/null 2>&1 </dev/null &
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

# The client's start as the defaults have it (start it, no command line) and no client: the "Zelno
# Activo" box waits for nobody. The window and the tray icon are there while it is open, the window
# says why nothing passes, and once a client runs a request is handed off and answered, the box
# still open.
caso_cliente_error() {
  sin_zelno32
  mkdir -p "$K/TER01"
  tabla_empresas
  ajustes "$Kw" "$Zw" 1 1 1 ""
  iniciar_tramiza
  igual "caja de arranque del cliente" "$(printf 'Zelno Activo\n1: No se puede cargar cliente Zelno32.exe')" \
    "$(c caja-mensaje 60000)"
  esperar_principal
  igual "la caja sigue abierta" 1 "$(c contar-cajas "Zelno Activo")"
  c esperar-consulta frmPuleo TramizaEstadoPrueba Servicio eq 2 20000 >/dev/null || falla "no dice que no atiende"
  c esperar-texto frmPuleo lblProceso "No atiende las terminales: no se puede iniciar el programa Zelno32." 20000 ||
    falla "la etiqueta no dice por que no atiende"
  captura caja
  cliente_simulado '* normal'
  c esperar-consulta frmPuleo TramizaEstadoPrueba Servicio eq 1 30000 >/dev/null ||
    falla "no atiende con el cliente en marcha"
  solicitar TER01 VENTA-0001 120000
  respondido TER01 VENTA-0001
  igual "la caja sigue abierta" 1 "$(c contar-cajas "Zelno Activo")"
  c pulsar-ok 10000 "Zelno Activo" || fatal "no se pudo cerrar la caja"
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
    "$(c caja-mensaje 60000 "Zelno Activo")"
  c pulsar-ok 10000 "Zelno Activo" || fatal "no se pudo cerrar la caja"
  # Making C:\Estandar\tx fails with "path not found"; the box shows the system's own description.
  igual "caja de carga de terminales" "$(printf 'Carga de terminales\n%s' "$(c descripcion-error 3)")" \
    "$(c caja-mensaje 60000 "Carga de terminales")"
  captura carga-terminales
  c pulsar-ok 10000 "Carga de terminales" || fatal "no se pudo cerrar la caja"
  esperar_principal
  igual "conmutador encendido" 1 "$(c estado-check frmPuleo chkConected)"
  igual "intervalo de un segundo" 1000 "$(estado IntervaloMs)"
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt 0 30000 >/dev/null || falla "no corre ningun ciclo"
  # C:\Estandar is not there: the status line says so instead of "Buscando en C:\...".
  c esperar-texto frmPuleo lblProceso 'No atiende las terminales: no se puede acceder a la carpeta de Zelno C:\Estandar.' \
    30000 || falla "la etiqueta no dice que falta C:\\Estandar"
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
  tabla_empresas
  cliente_simulado 'term01 normal 300'
  # A minute's interval: the first tick comes a minute after the start, so the answer that comes
  # before it is the watch's doing (the request written, then the client's estado.rsp).
  ajustes "$Kw" "$Zw" 60 1 0 "" 1
  iniciar_tramiza
  esperar_principal
  local salida_terminal rc
  salida_terminal=$(wine_reintentando "$terminal" --dir "$(win "$K/TER01")" --id VENTA-0001 --longitud 336 --empresa PASTEU \
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
  igual "atendida sin esperar al temporizador" 0 "$(estado Ciclos)"
  captura intercambio
  salir_con mnuTrayClose
}

# "&Salir" in the middle of a hand-off: the program ends once the request is complete in the upload
# folder, and a new start brings its answer back.
caso_salir_en_turno() {
  mkdir -p "$K/TER01" "$Z/term01"
  tabla_empresas
  solicitar TER01 VENTA-0001 0
  cp "$K/TER01/CLICAB.ZLN" "$trabajo/CLICAB.ZLN"
  cp "$K/TER01/PRAXIS.ZLN" "$trabajo/PRAXIS.ZLN"
  printf '0' >"$Z/term01/estado.rsp"  # left from an earlier exchange; the client is not running
  local subida=$Z/term01/upload
  # Sent, so that the upload folder is looked at once the menu command has been handled.
  vigilar_borrado "$Z/term01/estado.rsp" enviar-comando frmPuleo mnuFileExit + existe "$(win "$subida/_svl.0")"
  ajustes "$Kw" "$Zw" 1 1 0 ""
  # No waiting for the window here: the program may be gone two seconds after it appears.
  iniciar_tramiza
  esperar_vigia "&Salir llego antes de la entrega" "$(printf 'vigilando\n0')"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "el turno termino y el programa sigue"
  terminado
  ok_si "CLICAB.ZLN entregado entero" cmp -s "$trabajo/CLICAB.ZLN" "$subida/CLICAB.ZLN"
  ok_si "PRAXIS.ZLN entregado entero" cmp -s "$trabajo/PRAXIS.ZLN" "$subida/PRAXIS.ZLN"
  contenido "_svl.0" "$subida/_svl.0" 'V9014502'
  contenido "STATUS.ZLN tras la entrega" "$K/TER01/STATUS.ZLN" 'P'
  ok_si "la solicitud dejo la terminal" test ! -e "$K/TER01/CLICAB.ZLN" -a ! -e "$K/TER01/PRAXIS.ZLN"

  # The client takes the request; the next start returns its answer.
  cliente_simulado '* normal 300'
  iniciar_tramiza
  esperar_principal
  esperar_contenido "$K/TER01/STATUS.ZLN" S 60 || falla "la terminal no recibio respuesta"
  contenido "SERESP.ZLN" "$K/TER01/SERESP.ZLN" 'RESPUESTA V9014502 VENTA-0001\r'
  contenido "el cliente tomo el pedido una vez" "$Z/_zelno_sim.log" 'term01\tnormal\tV9014502\tVENTA-0001\r\n'
  salir_con mnuFileExit
}

# The registered message "TramizaTerminar" that the installer sends: it ends the program as "&Salir"
# does; wParam 1 withdraws a request still waiting for a turn in progress.
caso_terminar() {
  local caja n
  # A hand-off that fails at every tick: the client's upload "folder" is a file.
  mkdir -p "$K/TER01" "$K/TER02" "$Z/term01/download" "$Z/term02"
  printf 'X' >"$Z/term01/upload"
  tabla_empresas
  solicitar TER01 VENTA-0001 0
  cp "$K/TER01/CLICAB.ZLN" "$trabajo/CLICAB.ZLN"
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  caja=$(c caja-mensaje 30000 | tr -d '\r') || fatal "no aparecio la caja del fallo"
  # The copy into the "folder" fails: a folder that cannot be used, named, once.
  igual "caja del fallo" "$(printf 'Carpeta inaccesible\nNo se puede acceder a la carpeta %s\n267: No es una carpeta' \
    "$Zw\\term01\\upload")" "$(head -3 <<<"$caja")"
  # The failure ends only its turn: the ticks go on, and repeating it opens no second box.
  n=$(estado Ciclos)
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt $((n + 2)) 30000 >/dev/null ||
    falla "los ciclos no siguieron tras el fallo"
  igual "una sola caja" 1 "$(c contar-cajas)"
  ok_si "la solicitud sigue en la terminal" cmp -s "$trabajo/CLICAB.ZLN" "$K/TER01/CLICAB.ZLN"
  contenido "STATUS.ZLN" "$K/TER01/STATUS.ZLN" 'P'
  # No turn is in progress: the request ends the program at once, box open or not.
  igual "el pedido se acepta" 1 "$(c consulta frmPuleo TramizaTerminar 0)"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "el pedido con la caja abierta no termino el programa"
  terminado

  # A request withdrawn while a turn waits is forgotten: the program goes on polling.
  rm -f "$Z/term01/upload"
  mkdir -p "$Z/term01/upload"
  solicitar TER02 VENTA-0002 0
  printf '0' >"$Z/term02/estado.rsp"
  vigilar_borrado "$Z/term02/estado.rsp" consulta frmPuleo TramizaTerminar 0 + consulta frmPuleo TramizaTerminar 1 \
    + existe "$(win "$Z/term02/upload/_svl.0")"
  iniciar_tramiza
  esperar_principal
  esperar_vigia "pedido y retiro durante la entrega" "$(printf 'vigilando\n1\n1\n0')"
  esperar_contenido "$Z/term02/upload/_svl.0" V9014502 30 || falla "la entrega de TER02 no termino"
  contenido "STATUS.ZLN de TER02" "$K/TER02/STATUS.ZLN" 'P'
  n=$(estado Ciclos)
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt $((n + 2)) 30000 >/dev/null ||
    falla "el sondeo no siguio tras el retiro"
  igual "el pedido retirado no termino el programa" 1 "$(c contar-procesos Tramiza.exe)"
  # Both requests reach the client (TER01's, held up by the file, too) and are answered.
  cliente_simulado '* normal 300'
  esperar_contenido "$K/TER01/STATUS.ZLN" S 60 || falla "TER01 no recibio respuesta"
  esperar_contenido "$K/TER02/STATUS.ZLN" S 60 || falla "TER02 no recibio respuesta"
  contenido "SERESP.ZLN de TER01" "$K/TER01/SERESP.ZLN" 'RESPUESTA V9014502 VENTA-0001\r'
  contenido "SERESP.ZLN de TER02" "$K/TER02/SERESP.ZLN" 'RESPUESTA V9014502 VENTA-0002\r'
  # Between turns a request ends the program at once, and the sender gets its answer first.
  igual "respuesta al pedido" 1 "$(c consulta frmPuleo TramizaTerminar 0)"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "el pedido no termino el programa"
  terminado
}

# Requests of other terminals, sent together and waited for while the boxes titled TITLE are counted
# at every poll: exactly one is open each time, however often its failure repeats.
servir_contando_cajas() {  # TITLE TERMINAL ID [TERMINAL ID...]
  local titulo=$1 pids=() maximo=0 minimo=9 sondeos=0 n
  shift
  local pares=("$@")
  while [ $# -gt 0 ]; do
    solicitar "$1" "$2" &
    pids+=($!)
    shift 2
  done
  while alguno_vivo "${pids[@]}"; do
    n=$(c contar-cajas "$titulo")
    sondeos=$((sondeos + 1))
    [ "$n" -gt "$maximo" ] && maximo=$n
    [ "$n" -lt "$minimo" ] && minimo=$n
    sleep 0.2
  done
  wait "${pids[@]}"
  igual "cajas \"$titulo\" abiertas en $sondeos sondeos" "1 1" "$minimo $maximo"
  set -- "${pares[@]}"
  while [ $# -gt 0 ]; do
    respondido "$1" "$2"
    shift 2
  done
}

# One terminal's STATUS.ZLN held open by another program: its failure is reported in one box, and
# the other terminals are served meanwhile.
caso_bloqueo() {
  local titulo="Transacción punto control: 1" n
  mkdir -p "$K/TER01" "$K/TER02" "$K/TER03"
  tabla_empresas
  cliente_simulado '* normal 300'
  solicitar TER02 VENTA-0201 0
  bloquear_archivo "$K/TER02/STATUS.ZLN"
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  local caja
  caja=$(printf '%s\n32: %s' "$titulo" "$(c descripcion-error 32)")
  igual "caja del fallo de TER02" "$caja" "$(c caja-mensaje 60000 "$titulo")"
  captura caja-bloqueo
  n=$(estado Ciclos)
  servir_contando_cajas "$titulo" TER01 VENTA-0101 TER03 VENTA-0301
  ok_si "el fallo se repitio en varios ticks" test "$(estado Ciclos)" -gt $((n + 2))
  # After OK the next tick reports it again; the others are still served.
  c pulsar-ok 10000 "$titulo" || fatal "no se pudo cerrar la caja"
  igual "la caja vuelve" "$caja" "$(c caja-mensaje 60000 "$titulo")"
  servir_contando_cajas "$titulo" TER01 VENTA-0102 TER03 VENTA-0302
  # Released, the terminal is answered; the failure is gone with it.
  touch "$trabajo/soltar"
  wait "$bloqueo"
  igual "el bloqueo termino" "$(printf 'bloqueado\nsoltado')" "$(cat "$trabajo/bloqueo.txt")"
  esperar_contenido "$K/TER02/STATUS.ZLN" S 60 || falla "TER02 no recibio respuesta"
  contenido "SERESP.ZLN de TER02" "$K/TER02/SERESP.ZLN" 'RESPUESTA V9014502 VENTA-0201\r'
  c pulsar-ok 10000 "$titulo" || falla "no se pudo cerrar la ultima caja"
  n=$(estado Ciclos)
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt $((n + 2)) 30000 >/dev/null || falla "no hubo mas ciclos"
  igual "ninguna caja mas" 0 "$(c contar-cajas)"
  salir_con mnuFileExit
}

# The Korvane root renamed away for 8 s and put back: one box naming it, a line in the activity log
# when the outage starts and one when it ends, and the next request answered without any action.
caso_carpeta_perdida() {
  local titulo="Carpeta inaccesible" caja log
  mkdir -p "$K/TER01"
  tabla_empresas
  cliente_simulado '* normal 300'
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  mv "$K" "$K.fuera"
  al_salir+=("[ -d '$K.fuera' ] && mv '$K.fuera' '$K'")
  caja=$(c caja-mensaje 60000 "$titulo" | tr -d '\r')
  igual "la caja nombra la carpeta" "$(printf '%s\nNo se puede acceder a la carpeta %s' "$titulo" "$Kw")" \
    "$(head -2 <<<"$caja")"
  captura carpeta-perdida
  sleep 8
  igual "una sola caja en todo el corte" 1 "$(c contar-cajas)"
  mv "$K.fuera" "$K"
  c pulsar-ok 10000 "$titulo" || falla "no se pudo cerrar la caja"
  solicitar TER01 VENTA-0101 60000 || falla "TER01 no recibio respuesta tras volver la carpeta"
  respondido TER01 VENTA-0101
  igual "ninguna caja mas" 0 "$(c contar-cajas)"
  log=$(actividad_tramiza)
  ok_si "el registro anota el comienzo del corte" grep -qE "carpeta inaccesible ${Kw//\\/\\\\}: [0-9]+: " "$log"
  ok_si "el registro anota el fin del corte y su duracion" grep -qE "carpeta accesible de nuevo .*, tras [0-9]+ s" "$log"
  salir_con mnuFileExit
}

# Whole exchanges with a client that answers after three seconds: the main window answers every
# message meanwhile (how fast is bench/medir-wine.sh's business).
caso_latencia() {
  local t pids=() medida
  mkdir -p "$K/TER01" "$K/TER02" "$K/TER03"
  tabla_empresas
  cliente_simulado '* normal 3000'
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  for t in 1 2 3; do
    (solicitar TER0$t VENTA-0${t}01 && solicitar TER0$t VENTA-0${t}02) &
    pids+=($!)
  done
  medida=$(c latencia frmPuleo 15000 100) || fatal "no se pudo medir la latencia"
  echo "latencia de la ventana principal durante los intercambios: $medida"
  igual "todos los envios respondidos" 0 "${medida##*sin_respuesta=}"
  wait "${pids[@]}"
  for t in 1 2 3; do
    respondido TER0$t VENTA-0${t}01
    respondido TER0$t VENTA-0${t}02
  done
  salir_con mnuFileExit
}

# The "Terminales" window's list: the row of TERMINAL, cells separated by tabs.
fila_terminal() {  # TERMINAL
  c lista frmTerminales lstTerminales | grep "^$1"$'\t'
}
# Waits until the row of TERMINAL matches the extended regular expression; the row in $fila.
esperar_fila() {  # DESCRIPTION TERMINAL REGEX SECONDS
  local fin=$((SECONDS + $4))
  while :; do
    fila=$(fila_terminal "$2")
    if [[ $fila =~ $3 ]]; then
      echo "ok: $1"
      return 0
    fi
    [ $SECONDS -lt $fin ] || break
    sleep 0.2
  done
  falla "$1: la fila es [$fila]"
  return 1
}

# The "Terminales..." window: one at a time from either menu, its rows during and after an exchange,
# a failure with its checkpoint and its end, the keyboard; it goes with the program.
caso_terminales() {
  local t=$'\t' hora='[0-9]{2}:[0-9]{2}:[0-9]{2}' duracion desc pid cabecera
  # A folder under the request's name in TER02's upload folder: its hand-off fails at checkpoint 5 at
  # every tick.
  mkdir -p "$K/TER01" "$K/TER02" "$Z/term02/download" "$Z/term02/upload/CLICAB.ZLN"
  tabla_empresas
  cliente_simulado 'term01 normal 3000'
  ajustes "$Kw" "$Zw" 1 1 0 ""
  iniciar_tramiza
  esperar_principal
  c comando frmPuleo mnuTerminales
  c esperar-ventana TramizaTerminales Terminales 20000 >/dev/null || fatal "no se abrio la ventana Terminales"
  igual "columnas" "$(printf 'Terminal\tSolicitud\tEspera\tSituación\tÚltima respuesta\tResultado\tDuración\tÚltimo fallo\tDescripción del fallo')" \
    "$(c lista frmTerminales lstTerminales | head -1)"
  igual "el foco en la lista" 5001 "$(c foco frmTerminales)"
  # Answers kept aside by earlier cases of this prefix may follow in the header.
  cabecera=$(c texto frmTerminales lblCabecera)
  igual "la cabecera" "Atiende 2 terminales." "${cabecera%%   Respuestas no entregadas sin revisar: *}"
  esperar_fila "TER01 sin solicitud" TER01 "^TER01${t}sin STATUS.ZLN${t}${t}en reposo${t}{5}\$" 20
  esperar_fila "TER02 sin solicitud" TER02 "^TER02${t}sin STATUS.ZLN${t}${t}en reposo${t}{5}\$" 20

  solicitar TER01 VENTA-0101 &
  pid=$!
  solicitar TER02 VENTA-0201 0
  # A sale in progress shows how long it has waited.
  esperar_fila "TER01 espera al cliente" TER01 "^TER01${t}P${t}[0-9]+ (min [0-9]+ )?s${t}esperando al cliente${t}{5}\$" 30
  captura durante
  esperar_fila "TER01 devuelve la respuesta" TER01 \
    "^TER01${t}P${t}[0-9]+ (min [0-9]+ )?s${t}devolviendo la respuesta, punto control (17|18|22)${t}{5}\$" 30
  esperar_fila "TER02 falla en el punto 5 una y otra vez" TER02 \
    "^TER02${t}P${t}[0-9]+ (min [0-9]+ )?s${t}entregando la solicitud${t}{4}punto control 5, desde $hora \([0-9]+ veces\)${t}" 30
  desc=${fila##*"$t"}
  ok_si "descripcion del fallo de TER02 ($desc)" grep -qE '^[0-9]+: .' <<<"$desc"
  igual "la caja del mismo fallo" "$(printf 'Transacción punto control: 5\n%s' "$desc")" \
    "$(c caja-mensaje 10000 "Transacción punto control: 5")"
  wait "$pid"
  respondido TER01 VENTA-0101
  # The client's answer, and the time from "C" to "S": at least the four seconds of the return's waits.
  esperar_fila "TER01 respondida" TER01 \
    "^TER01${t}S${t}${t}en reposo${t}$hora${t}respuesta del cliente${t}([0-9]+),[0-9] s${t}{2}\$" 30
  duracion=$(cut -f7 <<<"$fila")
  ok_si "duracion de TER01 ($duracion) desde la C" test "${duracion%%,*}" -ge 4

  # The way is clear: TER02 is served, and its failure is over.
  rmdir "$Z/term02/upload/CLICAB.ZLN"
  c pulsar-ok 10000 "Transacción punto control: 5" || falla "no se pudo cerrar la caja del fallo"
  esperar_contenido "$K/TER02/STATUS.ZLN" S 60 || falla "TER02 no recibio respuesta"
  esperar_fila "TER02 respondida, el fallo resuelto" TER02 \
    "^TER02${t}S${t}${t}en reposo${t}$hora${t}respuesta del cliente${t}[0-9]+,[0-9] s${t}punto control 5, desde $hora \([0-9]+ veces\); resuelto $hora${t}" 30
  igual "la descripcion sigue" "$desc" "${fila##*"$t"}"
  captura despues

  # One window at a time: the tray's item brings the minimised one back.
  c mensaje frmTerminales 0x112 0xF020 0  # WM_SYSCOMMAND SC_MINIMIZE
  for _ in $(seq 50); do [ "$(c minimizada frmTerminales)" = 1 ] && break; sleep 0.1; done
  c comando frmPuleo mnuTrayTerminales
  for _ in $(seq 50); do [ "$(c minimizada frmTerminales)" = 0 ] && break; sleep 0.1; done
  igual "restaurada desde el menu de la bandeja" 0 "$(c minimizada frmTerminales)"
  c comando frmPuleo mnuTerminales
  sleep 1
  igual "una sola ventana Terminales" 1 "$(c contar-ventanas frmTerminales)"

  # The keyboard: arrows through the rows, Esc closes.
  igual "primera fila seleccionada" 0 "$(c seleccion frmTerminales lstTerminales)"
  c tecla frmTerminales 0x28 lstTerminales
  for _ in $(seq 50); do [ "$(c seleccion frmTerminales lstTerminales)" = 1 ] && break; sleep 0.1; done
  igual "flecha abajo" 1 "$(c seleccion frmTerminales lstTerminales)"
  c tecla frmTerminales 0x1B lstTerminales
  c esperar-sin-ventana frmTerminales 10000 || falla "Esc no cerro la ventana Terminales"

  # Open when the program ends: it closes with it.
  c comando frmPuleo mnuTrayTerminales
  c esperar-ventana TramizaTerminales Terminales 20000 >/dev/null || fatal "no se abrio la ventana Terminales"
  salir_con mnuFileExit
  igual "sin ventana Terminales" 0 "$(c contar-ventanas frmTerminales)"
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
