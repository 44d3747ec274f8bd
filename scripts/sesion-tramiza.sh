# shellcheck shell=bash
# Sourced, never run: a Tramiza.exe session under Wine, driven from outside by conductor.exe, for
# the demo, the guide's screenshots, the bench, the GUI tests and the installer's test. Sources
# entorno-wine.sh; the caller prepares the environment (entorno_wine_preparar) or finds it ready.
#
# The caller sets:
#   conductor               the driver conductor.exe (tools/ of a Windows build)
#   CONDUCTOR_ESCRITORIO    the Wine virtual desktop that the driver looks in and Tramiza runs on
#   capturas                the folder of the screenshots
# and may set:
#   tramiza_pantalla        the virtual desktop's size (1024x768)
#   captura_prefijo         what each screenshot's name begins with
#   captura_ventana         the X window to take (the whole display when unset)
#
#   c ACTION [ARG...]       one action of the driver
#   captura NAME            a screenshot, numbered in order: $capturas/<prefix>NN-NAME.png; its
#                           path in captura_ultima
#   etiquetas_enteras VENTANA [PPP]  fails, naming each one, when a one-line label or check box of
#                           the window does not show its whole text on the last screenshot (of
#                           the virtual desktop, taken at PPP dots per inch, 96 unless given)
#   tramiza_ajustes KORVANE ZELNO INTERVALO ACTIVAR_TX INICIAR_ACTIVO INICIAR_ZELNO ZELNO_EXE
#                           the seven settings, as the settings dialog saves them, over an empty store
#   tramiza_lanzar PROGRAM [ARG...]  a Windows program on the virtual desktop, in the background
#   tramiza_iniciar TRAMIZA.EXE      Tramiza.exe on the virtual desktop, once its main window is
#                           there; refused while another Tramiza.exe runs, so the ones that run
#                           afterwards are this session's
#   tramiza_salir [MENU_ITEM]        "&Salir" (or the item given), then the program and its desktop
#                           gone; fails when the program is still running
#   tramiza_limpiar         at the end: this session's Tramiza.exe ended, its desktops closed

# shellcheck source=scripts/entorno-wine.sh
source "$(dirname "${BASH_SOURCE[0]}")/entorno-wine.sh"

tramiza_lanzadores=()  # background jobs of the desktops this session opened
tramiza_propio=0       # 1 while a Tramiza.exe that this session started may be running
captura_n=0
captura_ultima=

c() { wine_reintentando "${conductor:?}" "$@"; }

captura() {  # NAME
  captura_n=$((captura_n + 1))
  captura_ultima=$(printf '%s/%s%02d-%s.png' "${capturas:?}" "${captura_prefijo:-}" "$captura_n" "$1")
  sleep 1  # the taskbar and the windows catch up
  import -window "${captura_ventana:-root}" "$captura_ultima" 2>/dev/null && echo "captura: $captura_ultima"
  return 0
}

# A text that is cut, or that runs under the next field, has ink in the last column before the
# control's own edge or the next control on its line (a pixel at 96 DPI, more above it); a whole
# text leaves that column to the background.
etiquetas_enteras() {  # VENTANA [PPP]
  local ppp=${2:-96} id geometria texto x y w h franja minimo zonas cortadas=0
  franja=$((ppp / 96))
  zonas=$(c etiquetas "$1") || return 1
  [ -n "$zonas" ] || { echo "no labels found in $1" >&2; return 1; }
  while IFS=$'\t' read -r id geometria texto; do
    read -r x y w h <<<"$geometria"
    if ! minimo=$(convert "${captura_ultima:?}" -crop "${franja}x${h}+$((x + w - franja))+$y" +repage \
      -colorspace Gray -format '%[fx:minima]' info:) || [ -z "$minimo" ]; then
      echo "cannot read the screenshot $captura_ultima at control $id" >&2
      return 1
    fi
    if awk -v m="$minimo" 'BEGIN { exit !(m < 0.5) }'; then
      echo "at $ppp DPI, the text of control $id does not show whole: \"$texto\"" >&2
      cortadas=$((cortadas + 1))
    fi
  done <<<"$zonas"
  [ "$cortadas" = 0 ]
}

tramiza_ajustes() {  # KORVANE ZELNO INTERVALO ACTIVAR_TX INICIAR_ACTIVO INICIAR_ZELNO ZELNO_EXE
  c borrar-ajustes &&
    c ajuste DirectorioKorvane "$1" && c ajuste DirectorioZELNO "$2" && c ajuste Intervalo "$3" &&
    c ajuste ActivarTX "$4" && c ajuste IniciarActivo "$5" && c ajuste IniciarZelnoExe "$6" &&
    c ajuste ZelnoExe "$7"
}

tramiza_lanzar() {  # PROGRAM [ARG...]
  wine_reintentando explorer /desktop="$CONDUCTOR_ESCRITORIO,${tramiza_pantalla:-1024x768}" "$@" \
    >/dev/null 2>&1 </dev/null &
  tramiza_lanzadores+=($!)
}

tramiza_iniciar() {  # TRAMIZA.EXE
  if [ "$(c contar-procesos Tramiza.exe)" != 0 ]; then
    echo "Tramiza.exe is already running in $WINEPREFIX; end it first." >&2
    return 1
  fi
  tramiza_propio=1
  tramiza_lanzar "$(win "$1")"
  c esperar-ventana TramizaPuleo - 60000 >/dev/null
}

# The desktops close with their last program.
tramiza_esperar_escritorios() {
  local pid
  for pid in "${tramiza_lanzadores[@]}"; do
    for _ in $(seq 150); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  done
}

tramiza_salir() {  # [MENU_ITEM]
  c comando frmPuleo "${1:-mnuFileExit}" || return 1
  c esperar-procesos Tramiza.exe 0 30000 || return 1
  tramiza_propio=0
  tramiza_esperar_escritorios
}

tramiza_limpiar() {
  local pid
  if [ "$tramiza_propio" = 1 ]; then
    for pid in $(c procesos Tramiza.exe 2>/dev/null); do
      echo "ending Tramiza.exe $pid, started by this session" >&2
      c terminar "$pid"
    done
    tramiza_propio=0
  fi
  tramiza_esperar_escritorios
  for pid in "${tramiza_lanzadores[@]}"; do terminar_arbol "$pid"; done
  tramiza_lanzadores=()
}
