#!/usr/bin/env bash
# Test of TramizaSetup.exe under Wine, in a fresh prefix made for each run: silent install for the
# current user, start at logon, upgrade over a running older version, silent uninstall with and
# without the settings, and the bad input (two installers at once, an older version over a newer one,
# a Tramiza that does not end, Tramiza.exe in use, the folder deleted by hand). Prints the installer's size and how long a silent install takes.
#
#   prueba_instalador.sh INSTALLER TRAMIZA.EXE CONDUCTOR.EXE OUTPUT MAKENSIS [OPTIONS...] SCRIPT.NSI
#
# The older version is the same installer script built with a copy of Tramiza.exe whose version
# resource says 0.x.y, and a DisplayVersion to match; the newer one, likewise, 99.x.y.
set -uo pipefail

if [ $# -lt 6 ]; then
  echo "uso: $0 INSTALADOR TRAMIZA.EXE CONDUCTOR.EXE SALIDA MAKENSIS [OPCIONES...] GUION.NSI" >&2
  exit 2
fi
instalador=$1 tramiza=$2 conductor=$3 salida=$4
shift 4
makensis=("${@:1:$#-1}")
guion=${*: -1}

if [ -z "${DISPLAY:-}" ]; then
  echo "la prueba del instalador necesita un DISPLAY (scripts/test.sh pone uno)" >&2
  exit 1
fi
trabajo=$salida/prueba
capturas=$salida/capturas
export WINEPREFIX=$salida/prefijo
export WINEDEBUG=-all
# No desktop menu entries in the user's home for the Start-menu shortcut.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# shellcheck source=tests/gui/comun.sh
source "$(dirname "$0")/../tests/gui/comun.sh"
# Programs here run on the prefix's own desktop, as after a logon, not on the GUI tests' one.
unset CONDUCTOR_ESCRITORIO

terminar_prefijo() { wineserver -k 2>/dev/null; }
trap terminar_prefijo EXIT

# --- A fresh prefix, its server and desktop started away from the test's own output ------------------
[ -e "$WINEPREFIX" ] && { wineserver -k 2>/dev/null; rm -rf "$WINEPREFIX"; }
rm -rf "$trabajo" "$capturas"
mkdir -p "$trabajo" "$capturas"
log=$trabajo/wine.log
echo "Prefijo nuevo: $WINEPREFIX"
WINEARCH=win64 wineboot --init </dev/null >>"$log" 2>&1
wineserver -w
wineserver -p </dev/null >>"$log" 2>&1
c contar-ventanas TramizaPuleo </dev/null >>"$log" 2>&1

# Runs a Windows program the way a user would, its output (and its children's) into the log.
ejecutar() { wine_reintentando "$@" </dev/null >>"$log" 2>&1; }

unix() { winepath -u "$1" 2>/dev/null; }
valor_entorno() { wine_reintentando cmd /c "echo %$1%" </dev/null 2>/dev/null | tr -d '\r'; }
local_w=$(valor_entorno LOCALAPPDATA)
instdir_w="$local_w\\Programs\\Tramiza"
instdir=$(unix "$instdir_w")
acceso="$(unix "$(valor_entorno APPDATA)")/Microsoft/Windows/Start Menu/Programs/Tramiza.lnk"
datos=$(unix "$local_w")/Tramiza
[ -n "$local_w" ] && [ -n "$instdir" ] || fatal "no se pueden leer las carpetas del prefijo"

clave_app='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tramiza'
clave_run='HKCU\Software\Microsoft\Windows\CurrentVersion\Run'
# A value of the registry as its text; fails when it is not there.
registro() {  # KEY VALUE
  local linea
  linea=$(wine_reintentando reg query "$1" /v "$2" </dev/null 2>/dev/null | tr -d '\r' | grep -a "^    $2  ") || return 1
  sed -E "s/^    $2 +REG_[A-Z_]+ +//" <<<"$linea"
}
sin_registro() {  # DESCRIPTION KEY [VALUE]
  if wine_reintentando reg query "$2" ${3:+/v "$3"} </dev/null >/dev/null 2>&1; then falla "$1: sigue en el registro"; else echo "ok: $1"; fi
}
existe() { if [ -e "$2" ]; then echo "ok: $1"; else falla "$1: no existe $2"; fi; }
no_existe() { if [ -e "$2" ]; then falla "$1: sigue ahi $2"; else echo "ok: $1"; fi; }

# The settings a shop would have made, and the day's log in the point-of-sale root folder.
K=$trabajo/K Z=$trabajo/Z
mkdir -p "$K" "$Z"
ajustes=(DirectorioKorvane "$(win "$K")" DirectorioZELNO "$(win "$Z")" Intervalo 2 ActivarTX 0
         IniciarActivo 1 IniciarZelnoExe 0 ZelnoExe "")
poner_ajustes() {
  local i
  for ((i = 0; i < ${#ajustes[@]}; i += 2)); do c ajuste "${ajustes[i]}" "${ajustes[i + 1]}" || fatal "no se puede escribir el ajuste ${ajustes[i]}"; done
}
ajustes_intactos() {  # DESCRIPTION
  local i bien=1
  for ((i = 0; i < ${#ajustes[@]}; i += 2)); do
    [ "$(c leer-ajuste "${ajustes[i]}" 2>/dev/null)" == "${ajustes[i + 1]}" ] || { bien=0; falla "$1: el ajuste ${ajustes[i]} cambio"; }
  done
  [ $bien = 1 ] && echo "ok: $1"
}
log_dia=$K/LogTramiza20260102.txt
printf '"Determino que el archivo de la hora 2026/02/01 10:00:00 era duplicado"\r\n""\r\n' >"$log_dia"
cerrojo_raiz=$K/Tramiza.lck
printf 'Tramiza atiende esta carpeta\r\n' >"$cerrojo_raiz"
poner_ajustes

version=${instalador##*TramizaSetup-}
version=${version%.exe}
IFS=. read -r _ menor parche <<<"$version"
anterior=0.$menor.$parche
posterior=99.$menor.$parche

# --- An older and a newer version: the same program stamped 0.x.y and 99.x.y, each in an installer of
# that version; prints the installer's path.
variante() {  # CARPETA VERSION MAYOR_EN_OCTAL
  local exe=$trabajo/$1/Tramiza.exe firma instalador_variante=$trabajo/$1/TramizaSetup-$2.exe
  mkdir -p "$trabajo/$1"
  cp "$tramiza" "$exe"
  firma=$(LC_ALL=C grep -obUaP '\xbd\x04\xef\xfe' "$exe" | head -1 | cut -d: -f1)
  [ -n "$firma" ] || fatal "Tramiza.exe no tiene informacion de version"
  # The major number: high word of dwFileVersionMS and of dwProductVersionMS, little-endian.
  printf "\\$3\\0" | dd of="$exe" bs=1 seek=$((firma + 10)) conv=notrunc status=none
  printf "\\$3\\0" | dd of="$exe" bs=1 seek=$((firma + 18)) conv=notrunc status=none
  "${makensis[@]}" -DTRAMIZA_VERSION="$2" -DTRAMIZA_EXE="$exe" -DSALIDA="$instalador_variante" \
    "$guion" >"$trabajo/$1/makensis.log" 2>&1 || fatal "no se pudo construir el instalador $2"
  echo "$instalador_variante"
}
instalador_anterior=$(variante anterior "$anterior" 0) || exit 1
instalador_posterior=$(variante posterior "$posterior" 143) || exit 1

en_marcha() { c contar-procesos Tramiza.exe; }
version_en_marcha() {
  c comando frmPuleo mnuFileAbout || return 1
  c esperar-ventana "#32770" "About Tramiza" 20000 >/dev/null || return 1
  c texto frmAbout lblVersion
  c tecla frmAbout 0x1B
  c esperar-sin-ventana frmAbout 10000
}
terminar_tramiza() {
  igual "pedido de fin" 1 "$(c consulta frmPuleo TramizaTerminar 0)"
  c esperar-procesos Tramiza.exe 0 30000 || fatal "Tramiza no termino"
}
esperar_desinstalador() {  # the uninstaller goes on in a copy of itself, Un.exe
  c esperar-procesos Un.exe 0 60000 || fatal "el desinstalador no termino"
}

# --- 1. Silent install for the current user -----------------------------------------------------------
echo "=== instalacion silenciosa"
inicio=$(date +%s%N)
ejecutar "$instalador" /S /EJECUTAR=0
rc=$?
fin=$(date +%s%N)
igual "codigo de salida" 0 "$rc"
tiempo=$(awk -v n=$((fin - inicio)) 'BEGIN { printf "%.2f", n / 1e9 }')
cmp -s "$tramiza" "$instdir/Tramiza.exe" && echo "ok: Tramiza.exe instalado" || falla "Tramiza.exe no es el del build"
existe "desinstalador en la carpeta" "$instdir/Desinstalar.exe"
existe "copia del desinstalador fuera de la carpeta" "$datos/Instalacion/Desinstalar.exe"
igual "valor Run con la ruta entre comillas" "\"$instdir_w\\Tramiza.exe\"" "$(registro "$clave_run" Tramiza)"
existe "acceso directo del menu Inicio" "$acceso"
grep -aq "Tramiza.exe" "$acceso" 2>/dev/null && echo "ok: el acceso directo apunta a Tramiza.exe" || falla "acceso directo sin destino"
igual "DisplayName" "Tramiza" "$(registro "$clave_app" DisplayName)"
igual "DisplayVersion" "$version" "$(registro "$clave_app" DisplayVersion)"
igual "Publisher" "Tramiza Sistemas" "$(registro "$clave_app" Publisher)"
igual "DisplayIcon" "$instdir_w\\Tramiza.exe,0" "$(registro "$clave_app" DisplayIcon)"
igual "InstallLocation" "$instdir_w" "$(registro "$clave_app" InstallLocation)"
desinstalar_w="$local_w\\Tramiza\\Instalacion\\Desinstalar.exe"
igual "UninstallString" "\"$desinstalar_w\" /CurrentUser" "$(registro "$clave_app" UninstallString)"
igual "QuietUninstallString" "\"$desinstalar_w\" /CurrentUser /S" "$(registro "$clave_app" QuietUninstallString)"
tamano=$(registro "$clave_app" EstimatedSize)
kb=$(( ($(stat -c %s "$instdir/Tramiza.exe" "$instdir/Desinstalar.exe" | paste -sd+)) / 1024 ))
igual "EstimatedSize en KB" "$kb" "$((tamano))"
igual "/EJECUTAR=0 no lo inicia" 0 "$(en_marcha)"

# --- 2. What Windows runs at logon (Wine's wineboot runs the Run values) ----------------------------
echo "=== inicio de sesion"
ejecutar wineboot
c esperar-ventana TramizaPuleo - 60000 >/dev/null || fatal "Tramiza no se inicio desde el valor Run"
igual "un Tramiza en marcha" 1 "$(en_marcha)"
linea=
for p in $(pgrep -f 'Tramiza\.exe'); do
  tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qx "WINEPREFIX=$WINEPREFIX" &&
    linea=$(tr '\0' ' ' <"/proc/$p/cmdline" | sed 's/ *$//')
done
igual "linea de orden del proceso" "$instdir_w\\Tramiza.exe" "$linea"
c esperar-texto frmPuleo lblProceso "Buscando en $(win "$K")..." 30000 || falla "Tramiza no busca en su carpeta"
captura inicio-sesion
terminar_tramiza

# --- 3. Silent uninstall: everything goes but the settings and logs ---------------------------------
echo "=== desinstalacion silenciosa"
ejecutar "$desinstalar_w" /CurrentUser /S
igual "codigo de salida" 0 "$?"
esperar_desinstalador
no_existe "carpeta del programa" "$instdir"
no_existe "copia del desinstalador" "$datos/Instalacion"
no_existe "acceso directo" "$acceso"
sin_registro "valor Run" "$clave_run" Tramiza
sin_registro "entrada de Aplicaciones" "$clave_app"
ajustes_intactos "ajustes conservados"
existe "registro diario conservado" "$log_dia"
existe "cerrojo de la raiz conservado" "$cerrojo_raiz"

# --- 4. Two installers at once ------------------------------------------------------------------------
echo "=== dos instaladores a la vez"
wine_reintentando "$instalador" </dev/null >>"$log" 2>&1 &
primero=$!
asistente=$(c esperar-ventana "#32770" - 30000) || fatal "no se abrio el asistente"
captura asistente
ejecutar "$instalador" /S
igual "el segundo, silencioso, no sigue" 3 "$?"
wine_reintentando "$instalador" </dev/null >>"$log" 2>&1 &
segundo=$!
caja=$(c caja-mensaje 30000) || fatal "el segundo instalador no dijo nada"
igual "mensaje del segundo instalador" "$(printf 'Instalación de Tramiza\nYa hay un instalador o desinstalador de Tramiza en marcha.\n\nEspere a que termine y vuelva a intentarlo.')" \
  "$(tr -d '\r' <<<"$caja")"
captura dos-instaladores
c pulsar-ok 10000 || falla "no se pudo cerrar el mensaje"
wait $segundo
igual "codigo del segundo" 3 "$?"
c pulsar "$asistente" 2 || falla "no se pudo cancelar el asistente"
wait $primero
no_existe "nada instalado" "$instdir"

# --- 5. Upgrade over a running older version -----------------------------------------------------------
echo "=== actualizacion sobre $anterior en marcha"
ejecutar "$instalador_anterior" /S /ACCESO=0
igual "instalacion de $anterior" 0 "$?"
c esperar-ventana TramizaPuleo - 60000 >/dev/null || fatal "la instalacion no inicio Tramiza"
igual "version en marcha antes" "Version $anterior" "$(version_en_marcha)"
igual "DisplayVersion antes" "$anterior" "$(registro "$clave_app" DisplayVersion)"
no_existe "sin acceso directo, como se pidio" "$acceso"
pid_anterior=$(c procesos Tramiza.exe)
# Not "start now": the Tramiza that was running is started again all the same.
ejecutar "$instalador" /S /EJECUTAR=0
igual "actualizacion" 0 "$?"
c esperar-ventana TramizaPuleo - 60000 >/dev/null || fatal "Tramiza no volvio a iniciarse"
igual "un Tramiza en marcha" 1 "$(en_marcha)"
pid_nuevo=$(c procesos Tramiza.exe)
[ -n "$pid_nuevo" ] && [ "$pid_nuevo" != "$pid_anterior" ] && echo "ok: es otro proceso" || falla "sigue el proceso $pid_anterior"
igual "version en marcha despues" "Version $version" "$(version_en_marcha)"
cmp -s "$tramiza" "$instdir/Tramiza.exe" && echo "ok: Tramiza.exe reemplazado" || falla "Tramiza.exe no se reemplazo"
igual "DisplayVersion despues" "$version" "$(registro "$clave_app" DisplayVersion)"
no_existe "la eleccion de no tener acceso directo se conserva" "$acceso"
igual "valor Run" "\"$instdir_w\\Tramiza.exe\"" "$(registro "$clave_run" Tramiza)"
ajustes_intactos "ajustes conservados"
captura actualizado

# --- 5b. An older version over the newer one: refused before anything changes, with /S and without ----
echo "=== version anterior sobre una mas nueva"
ejecutar "$instalador_anterior" /S
igual "silencioso, no sigue" 2 "$?"
cmp -s "$tramiza" "$instdir/Tramiza.exe" && echo "ok: Tramiza.exe intacto" || falla "Tramiza.exe cambio"
igual "DisplayVersion intacta" "$version" "$(registro "$clave_app" DisplayVersion)"
igual "sigue el mismo proceso" "$pid_nuevo" "$(c procesos Tramiza.exe)"
wine_reintentando "$instalador_anterior" </dev/null >>"$log" 2>&1 &
abajo=$!
caja=$(c caja-mensaje 60000) || fatal "el instalador $anterior no dijo nada"
igual "mensaje de version mas nueva" "$(printf 'Instalación de Tramiza\nYa hay una versión más nueva de Tramiza instalada en %s.\n\nLa instalada es la %s y este instalador es de la %s. Una versión anterior no lee bien lo que guarda una más nueva: instale la misma versión o una posterior. No se ha cambiado nada.' "$instdir_w" "$version" "$anterior")" \
  "$(tr -d '\r' <<<"$caja")"
captura version-anterior
c pulsar-ok 10000 || falla "no se pudo cerrar el mensaje"
wait $abajo
igual "con ventanas, no sigue" 2 "$?"
cmp -s "$tramiza" "$instdir/Tramiza.exe" && echo "ok: Tramiza.exe intacto" || falla "Tramiza.exe cambio"
igual "sigue el mismo proceso" "$pid_nuevo" "$(c procesos Tramiza.exe)"

# --- 6. A Tramiza that does not end: it answers no message while the installer waits ---------------
# The newer version's installer, which goes past the version check.
echo "=== Tramiza no termina"
terminar_tramiza
wine_reintentando "$instdir_w\\Tramiza.exe" </dev/null >>"$log" 2>&1 &
c esperar-ventana TramizaPuleo - 60000 >/dev/null || fatal "Tramiza no abrio su ventana"
pid_tramiza=$(c procesos Tramiza.exe | head -1)
c suspender "$pid_tramiza" || fatal "no se pudo suspender Tramiza"
ejecutar "$instalador_posterior" /S
igual "el instalador se rinde" 2 "$?"
cmp -s "$tramiza" "$instdir/Tramiza.exe" && echo "ok: Tramiza.exe intacto" || falla "Tramiza.exe cambio"
igual "DisplayVersion intacta" "$version" "$(registro "$clave_app" DisplayVersion)"
# The installer withdrew its request before it gave up: both wait in the queue, and the later one wins.
c reanudar "$pid_tramiza" || fatal "no se pudo reanudar Tramiza"
sleep 5
igual "el pedido retirado deja a Tramiza en marcha" 1 "$(en_marcha)"

# --- 7. Tramiza.exe in use by a program the installer cannot ask to end (another session's Tramiza,
# whose window cannot be seen from here): a process holds the file open ------------------------------
echo "=== Tramiza.exe en uso"
terminar_tramiza
rm -f "$trabajo/soltar"
c bloquear "$instdir_w\\Tramiza.exe" 300000 "$(win "$trabajo/soltar")" >"$trabajo/bloqueo.txt" 2>&1 &
bloqueo=$!
for _ in $(seq 150); do grep -q '^bloqueado$' "$trabajo/bloqueo.txt" && break; sleep 0.2; done
grep -q '^bloqueado$' "$trabajo/bloqueo.txt" || fatal "no se pudo abrir Tramiza.exe como otro programa"
ejecutar "$instalador_posterior" /S
igual "el instalador no sigue" 2 "$?"
touch "$trabajo/soltar"
wait "$bloqueo"
cmp -s "$tramiza" "$instdir/Tramiza.exe" && echo "ok: Tramiza.exe intacto" || falla "Tramiza.exe cambio"
no_existe "sin restos de la copia" "$instdir/Tramiza.exe.nuevo"
igual "DisplayVersion intacta" "$version" "$(registro "$clave_app" DisplayVersion)"

# --- 8. Uninstall asking to remove the settings and logs ---------------------------------------------
echo "=== desinstalacion que borra los ajustes"
ejecutar "$desinstalar_w" /CurrentUser /S /BORRARAJUSTES
igual "codigo de salida" 0 "$?"
esperar_desinstalador
igual "Tramiza terminado" 0 "$(en_marcha)"
no_existe "carpeta del programa" "$instdir"
sin_registro "entrada de Aplicaciones" "$clave_app"
sin_registro "valor Run" "$clave_run" Tramiza
sin_registro "ajustes" 'HKCU\Software\VB and VBA Program Settings\Tramiza'
no_existe "registro diario" "$log_dia"
no_existe "cerrojo de la raiz" "$cerrojo_raiz"
no_existe "carpeta de datos" "$datos"

# --- 9. Uninstall after the folder was deleted by hand -------------------------------------------------
echo "=== carpeta borrada a mano"
poner_ajustes
ejecutar "$instalador" /S /EJECUTAR=0
igual "instalacion" 0 "$?"
rm -rf "$instdir"
wine_reintentando "$desinstalar_w" /CurrentUser </dev/null >>"$log" 2>&1
caja=$(c caja-mensaje 30000) || fatal "el desinstalador no dijo nada"
igual "mensaje de carpeta borrada" "$(printf 'Desinstalación de Tramiza\nLa carpeta de Tramiza ya no está: %s\n\nSe borró a mano. Se quitan ahora el registro en Aplicaciones, el inicio al iniciar sesión y el acceso directo del menú Inicio.' "$instdir_w")" \
  "$(tr -d '\r' <<<"$caja")"
captura carpeta-borrada
c pulsar-ok 10000 || falla "no se pudo cerrar el mensaje"
esperar_desinstalador
sin_registro "entrada de Aplicaciones" "$clave_app"
sin_registro "valor Run" "$clave_run" Tramiza
no_existe "acceso directo" "$acceso"
no_existe "copia del desinstalador" "$datos/Instalacion"
ajustes_intactos "ajustes conservados"

# --- 10. A rollout tool as SYSTEM: a silent all-users install with /EJECUTAR omitted -----------------
# Wine has one user and one session, so SYSTEM in session 0 cannot be had. What it has that a user's
# session has not, and that Wine can give a process, is a window station that shows no window: the
# conductor's sin-sesion runs the installer, and then Tramiza.exe, on one. The installer checks that
# as it checks the session and the account; neither starts a Tramiza there.
echo "=== instalacion silenciosa para todos, fuera de la sesion de un usuario"
igual "ningun Tramiza antes" 0 "$(en_marcha)"
# A Tramiza the installer started there would end at once too, with a line of its own in the log: the
# lines are counted from before the installer, so that only the one started by hand below is there.
actividad=$datos/Registro/$(date +%F).log
antes=$(LC_ALL=C grep -ac 'no se inicia: no corre en la sesi.n de un usuario' "$actividad" 2>/dev/null)
rc=$(c sin-sesion 180000 "$(win "$instalador")" /S /AllUsers)
igual "codigo de salida" 0 "$rc"
clave_todos='HKLM\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Tramiza'
registro "$clave_todos" DisplayName >/dev/null || clave_todos='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tramiza'
carpeta_todos=$(registro "$clave_todos" InstallLocation)
[ -n "$carpeta_todos" ] || fatal "la instalacion para todos no dejo su entrada en Aplicaciones"
existe "Tramiza.exe para todos" "$(unix "$carpeta_todos\\Tramiza.exe")"
sleep 3
igual "/EJECUTAR omitido no inicia Tramiza fuera de la sesion de un usuario" 0 "$(en_marcha)"
rc=$(c sin-sesion 60000 "$carpeta_todos\\Tramiza.exe")
igual "Tramiza.exe alli termina solo" 0 "$rc"
igual "una linea en el registro de actividad" $((${antes:-0} + 1)) \
  "$(LC_ALL=C grep -ac 'no se inicia: no corre en la sesi.n de un usuario (estaci.n de ventanas no interactiva)' "$actividad")"
# It took neither the instance name nor a lock: a Tramiza in the user's session starts and serves.
wine_reintentando "$carpeta_todos\\Tramiza.exe" </dev/null >>"$log" 2>&1 &
c esperar-ventana TramizaPuleo - 60000 >/dev/null || falla "Tramiza no se inicio en la sesion del usuario"
c esperar-texto frmPuleo lblProceso "Buscando en $(win "$K")..." 30000 || falla "Tramiza no busca en su carpeta"
terminar_tramiza
ejecutar "$carpeta_todos\\Desinstalar.exe" /AllUsers /S
esperar_desinstalador

echo
echo "Instalador: $(basename "$instalador"), $(stat -c %s "$instalador") bytes"
echo "Instalacion silenciosa: $tiempo s"
if [ "$fallos" -ne 0 ]; then
  echo "instalador: $fallos comprobaciones fallaron (prefijo conservado en $WINEPREFIX)" >&2
  exit 1
fi
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
rm -rf "$WINEPREFIX"
echo "instalador: todo bien"
