#!/usr/bin/env bash
# Takes the screenshots of the shop staff's guide again, under Wine, and keeps them in
# docs/capturas/: the main window, the notification-area menu, the settings dialog, the about box
# and the "Terminales" window. Tramiza.exe runs on a Wine virtual desktop with a taskbar, driven by
# conductor.exe, with example settings and folders in a Wine prefix of its own under build/ (never
# the tests' prefix: its C:\Estandar would change what the GUI tests see).
#
#   scripts/capturas-docs.sh           at 96 DPI into docs/capturas/, then at 144 DPI into
#                                      docs/capturas/144/
#   scripts/capturas-docs.sh --ppp N   at N dots per inch only (96 into docs/capturas/, any other
#                                      into docs/capturas/N/)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

ppp=
case ${1:-} in
  --ppp) ppp=${2:?--ppp needs the dots per inch, such as 120} ;;
  '') ;;
  *) echo "usage: $0 [--ppp N]" >&2; exit 2 ;;
esac
if [ -z "$ppp" ]; then
  bash "$0" --ppp 96 || exit
  exec bash "$0" --ppp 144
fi
case $ppp in '' | *[!0-9]*) echo "--ppp needs a number of dots per inch" >&2; exit 2 ;; esac

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target Tramiza conductor Zelno32 TerminalKorvane >/dev/null
tramiza=$root/build/win32/src/Tramiza.exe
conductor=$root/build/win32/tools/conductor.exe
zelno32=$root/build/win32/tools/Zelno32.exe
terminal=$root/build/win32/tools/TerminalKorvane.exe
destino=$root/docs/capturas
[ "$ppp" = 96 ] || destino=$destino/$ppp

# One prefix per DPI: Wine reads the DPI when its server starts.
export WINEPREFIX=$root/build/capturas-docs/prefijo-$ppp
export CONDUCTOR_ESCRITORIO=tramiza-docs
# The desktop grows with the DPI, so that the windows keep their room; so do the places and sizes
# below, given at 96 DPI.
escala() { echo $(($1 * ppp / 96)); }
tramiza_pantalla=$(escala 1024)x$(escala 768)
export ENTORNO_WINE_PANTALLA=$tramiza_pantalla
ancho=${tramiza_pantalla%x*} alto=${tramiza_pantalla#*x}
# shellcheck source=scripts/sesion-tramiza.sh
source scripts/sesion-tramiza.sh

trabajo=$(mktemp -d /tmp/tramiza-capturas.XXXXXX)
capturas=$trabajo
cliente=
cleanup() {
  set +e
  tramiza_limpiar
  if [ -n "$cliente" ]; then
    touch "$WINEPREFIX/drive_c/Estandar/_zelno_sim.stop"
    terminar_arbol "$cliente"
  fi
  entorno_wine_terminar
  [ -n "${CAPTURAS_CONSERVAR:-}" ] || rm -rf "$trabajo"
}
trap cleanup EXIT

mkdir -p "$(dirname "$WINEPREFIX")"
entorno_wine_preparar
# The screen's DPI, as the display settings set it; it counts from the next start of the server.
wine_reintentando reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$ppp" /f >/dev/null 2>&1 </dev/null
wineserver -k >/dev/null 2>&1 </dev/null || true
wineserver -w >/dev/null 2>&1 </dev/null || true
entorno_wine_servidor

# The example shop: a point-of-sale root with two terminals and the client's working folder. A third
# terminal, TER03, only shows in the "Terminales" window: a folder under the request's name sits in
# its client-side upload folder for a while, and its hand-off fails until the folder is gone.
unidad=$WINEPREFIX/drive_c
# What an earlier run left is cleared, the program's records of exchanges too.
rm -rf "$unidad/Korvane" "$unidad/Estandar"
mkdir -p "$unidad/Korvane/TER01" "$unidad/Korvane/TER02" "$unidad/Korvane/TER03" "$unidad/Estandar" "$unidad/Zelno"
mkdir -p "$unidad/Estandar/term03/download" "$unidad/Estandar/term03/upload/CLICAB.ZLN"
tramiza_ajustes 'C:\Korvane' 'C:\Estandar' 2 1 1 0 ''
c borrar-intercambios
# Recent entries of the settings dialog's lists.
wine_reintentando reg add 'HKCU\Software\VB and VBA Program Settings\Tramiza\LastDirExeZelno' /v 1 /d 'C:\Zelno\Zelno32.exe' /f \
  >/dev/null 2>&1 </dev/null

# The virtual desktop is an X window of its own; screenshots are taken of it alone.
tramiza_iniciar "$tramiza" || { echo "Tramiza.exe did not open its window" >&2; exit 1; }
c esperar-texto frmPuleo lblProceso 'Buscando en C:\Korvane...' 30000 >/dev/null
ventana_x=
for _ in $(seq 50); do
  ventana_x=$(xwininfo -root -tree | awk -v n="\"$CONDUCTOR_ESCRITORIO - Wine desktop\"" 'index($0, n) { print $1; exit }')
  [ -n "$ventana_x" ] && break
  sleep 0.2
done
[ -n "$ventana_x" ] || { echo "no Wine desktop window found" >&2; exit 1; }

captura_ventana=$ventana_x
foto() {
  captura escritorio >/dev/null
  escritorio_png=$captura_ultima
}
recorte() {  # FILE X Y W H: a part of the last picture of the desktop
  convert "$escritorio_png" -crop "${4}x${5}+${2}+${3}" +repage -strip "$destino/$1"
  echo "$destino/$1"
}
ventana() {  # FILE VENTANA MARGIN: the window with a margin of desktop around it, where there is one
  local x y w h m=$3 x0 y0
  read -r x y w h < <(c rectangulo "$2")
  x0=$((x - m > 0 ? x - m : 0))
  y0=$((y - m > 0 ? y - m : 0))
  recorte "$1" "$x0" "$y0" $((x + w + m - x0)) $((y + h + m - y0))
}
mkdir -p "$destino"

# The main window, shown with "&Mostrar", while it polls.
c comando frmPuleo mnuTrayShow
c esperar-visible frmPuleo 1 10000
foto
etiquetas_enteras frmPuleo "$ppp"
ventana ventana-principal.png frmPuleo "$(escala 12)"

# The notification-area icon's menu, opened with the right button just above the icon (on the icon
# itself its tooltip would cover the menu).
c comando frmPuleo mnuFileClose
c raton $((ancho - $(escala 14))) $((alto - $(escala 30)))
c mensaje frmPuleo 0x200 0 0x205
c esperar-ventana "#32768" - 10000 >/dev/null
foto
recorte menu-bandeja.png $((ancho - $(escala 240))) $((alto - $(escala 140))) "$(escala 240)" "$(escala 140)"
c tecla "#32768" 0x1B
c esperar-sin-ventana "#32768" 10000

# The settings dialog, with the client started by Tramiza.
c comando frmPuleo mnuConfiguracion
dialogo=$(c esperar-ventana "#32770" - 20000)
foto
etiquetas_enteras "$dialogo" "$ppp"  # before a check box has the focus, whose dotted frame is ink too
c click "$dialogo" 4006  # chkIniciarZelno: the client's field opens with the latest entry
foto
ventana configuracion.png "$dialogo" "$(escala 12)"
c pulsar "$dialogo" 2     # Salir: nothing is saved
c esperar-sin-ventana "$dialogo" 10000

# The about box.
c comando frmPuleo mnuFileAbout
c esperar-ventana "#32770" "About Tramiza" 20000 >/dev/null
foto
ventana acerca-de.png frmAbout "$(escala 12)"
c tecla frmAbout 0x1B
c esperar-sin-ventana frmAbout 10000

# The "Terminales" window, opened from the menu: TER01 answered by the simulated client, TER02's
# request still waiting for it (with how long it has waited), and TER03's failure over once its
# folder is back. An answer an earlier exchange of TER01 left in the client's folder is kept aside
# when its new request comes: the header counts it.
printf '%s\n' 'term02 sin-respuesta' '* normal 500' >"$unidad/Estandar/_zelno_sim.cfg"
mkdir -p "$unidad/Estandar/term01/download"
printf 'RESPUESTA ANTERIOR\r' >"$unidad/Estandar/term01/download/SERESP.ZLN"
printf '0 anterior' >"$unidad/Estandar/term01/estado.rsp"
rm -f "$unidad/Estandar/_zelno_sim.stop"
wine_reintentando "$zelno32" --dir 'C:\Estandar' --vida 300000 >/dev/null 2>&1 </dev/null &
cliente=$!
c comando frmPuleo mnuTerminales
c esperar-ventana TramizaTerminales Terminales 20000 >/dev/null
solicitud() {  # TERMINAL ID: the request written, its answer not awaited (the simulator ends with 1)
  local rc=0
  wine_reintentando "$terminal" --dir "C:\\Korvane\\$1" --id "$2" --longitud 336 --empresa ACA --espera 0 \
    >/dev/null 2>&1 </dev/null || rc=$?
  [ "$rc" -le 1 ]
}
fila_es() {  # TERMINAL TEXT: waits until the terminal's row holds TEXT
  for _ in $(seq 150); do
    c lista frmTerminales lstTerminales | grep "^$1"$'\t'".*$2" >/dev/null && return 0
    sleep 0.2
  done
  echo "the row of $1 never showed \"$2\"" >&2
  return 1
}
solicitud TER03 VENTA-0301
c caja-mensaje 30000 'Transacción punto control: 5' >/dev/null
solicitud TER01 VENTA-0101
solicitud TER02 VENTA-0201
rmdir "$unidad/Estandar/term03/upload/CLICAB.ZLN"
fila_es TER01 'respuesta del cliente'
fila_es TER02 'esperando al cliente'
fila_es TER03 'resuelto'
c pulsar-ok 10000 'Transacción punto control: 5'
c pulsar-ok 30000 'Respuesta no entregada'
c comando frmPuleo mnuTerminales  # the open window comes forward
foto
ventana terminales.png frmTerminales "$(escala 12)"
c tecla frmTerminales 0x1B lstTerminales
c esperar-sin-ventana frmTerminales 10000

# "Not serving": an interval of 0 saved in the settings (the dialog warns first); the main window
# says why in words and the tray shows the warning icon.
c comando frmPuleo mnuConfiguracion
dialogo=$(c esperar-ventana "#32770" - 20000)
c escribir "$dialogo" 4003 0
c pulsar "$dialogo" 4016
c caja-mensaje 20000 Tramiza >/dev/null
foto
ventana intervalo-cero.png "dialogo:Tramiza" "$(escala 12)"
c pulsar-ok 10000 Tramiza
c esperar-sin-ventana "$dialogo" 10000
c esperar-consulta frmPuleo TramizaEstadoPrueba Servicio eq 2 10000 >/dev/null
c comando frmPuleo mnuTrayShow
c esperar-visible frmPuleo 1 10000
sleep 1
foto
ventana no-atiende.png frmPuleo "$(escala 12)"
recorte icono-bandeja-no-atiende.png $((ancho - $(escala 120))) $((alto - $(escala 40))) "$(escala 120)" "$(escala 40)"

tramiza_salir mnuFileExit || { echo "Tramiza.exe did not end through &Salir" >&2; exit 1; }

# The README's picture: the four together, at 96 DPI.
[ "$ppp" = 96 ] || exit 0
fondo=$(convert "$destino/acerca-de.png" -format '%[pixel:p{1,1}]' info:)
convert -background "$fondo" \
  \( "$destino/ventana-principal.png" "$destino/menu-bandeja.png" -gravity south +append \) \
  \( "$destino/configuracion.png" "$destino/acerca-de.png" -gravity north +append \) \
  -gravity west -append -strip "$destino/tramiza.png"
echo "$destino/tramiza.png"
