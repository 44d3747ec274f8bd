# shellcheck shell=bash
# Sourced, never run: how our Windows programs run under Wine, for scripts/test.sh, scripts/wine-run,
# scripts/demo.sh and the GUI tests.
#
#   entorno_wine_variables  WINEPREFIX (default ~/.wine-tramiza), WINEDEBUG and the DLL overrides,
#                           each set only when unset, so the user's and an outer script's choice wins.
#   entorno_wine_preparar   the variables, a display, the prefix with its fonts, and the prefix's
#                           server kept up. What is already there is used and left alone: the user's
#                           display, a server that the user or an outer script started.
#   entorno_wine_terminar   stops the server and the display that entorno_wine_preparar started, and
#                           nothing else.
#   wine_reintentando PROGRAM [ARG...]  runs a Windows program, again when Wine could not start it:
#                           the one way every script and test starts a Windows program.
#   terminar_arbol PID      ends a background job and the processes under it.
#   win PATH                a Unix path as Windows programs see it.
#
# A script run by one that has prepared everything (ctest under test.sh runs wine-run and the GUI
# tests) only calls entorno_wine_variables: it finds the display in DISPLAY and the server up.

# What this shell started, to stop at the end. Plain variables, never exported: a child process
# must not stop what its parent started.
_entorno_wine_xvfb=${_entorno_wine_xvfb:-}
_entorno_wine_servidor=${_entorno_wine_servidor:-}

entorno_wine_variables() {
  export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tramiza}"
  export WINEDEBUG="${WINEDEBUG:--all}"
  # No Mono and no Gecko: Wine would offer to install them when it makes the prefix.
  export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
}

# A virtual X server on the first free display number, unless DISPLAY is set; its size is
# ENTORNO_WINE_PANTALLA, 1024x768 unless set.
entorno_wine_pantalla() {
  [ -n "${DISPLAY:-}" ] && return 0
  local n
  for n in $(seq 90 120); do
    if [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; then continue; fi
    Xvfb ":$n" -screen 0 "${ENTORNO_WINE_PANTALLA:-1024x768}x24" -nolisten tcp >/dev/null 2>&1 </dev/null &
    _entorno_wine_xvfb=$!
    # Up when its socket appears; gone at once when another X server took the number first.
    for _ in $(seq 100); do
      if [ -e "/tmp/.X11-unix/X$n" ]; then
        export DISPLAY=":$n"
        return 0
      fi
      kill -0 "$_entorno_wine_xvfb" 2>/dev/null || break
      sleep 0.1
    done
    kill "$_entorno_wine_xvfb" 2>/dev/null || true
    _entorno_wine_xvfb=
  done
  echo "no free display for a virtual X server" >&2
  return 1
}

# True when this shell started the virtual X server that DISPLAY names.
entorno_wine_pantalla_propia() { [ -n "$_entorno_wine_xvfb" ]; }

# The prefix, 64-bit with 32-bit support, made once before anything runs in it.
entorno_wine_prefijo() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Creating the Wine prefix $WINEPREFIX"
    WINEARCH=win64 wineboot --init >/dev/null 2>&1 </dev/null
    wineserver -w
  fi
  entorno_wine_fuentes
}

# Debian's Wine does not find its own fonts (Marlett for the title-bar buttons, Tahoma for the
# dialogs) from a prefix; copied into the prefix's Fonts folder, windows and screenshots look as
# they do on Windows. Only the looks change.
entorno_wine_fuentes() {
  local destino=$WINEPREFIX/drive_c/windows/Fonts f
  [ -d /usr/share/wine/fonts ] && [ -d "$destino" ] || return 0
  for f in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.ttc; do
    if [ -e "$f" ] && [ ! -e "$destino/${f##*/}" ]; then cp "$f" "$destino/" || true; fi
  done
  return 0
}

# Is the prefix's server up? Its socket sits in a folder named after the prefix's device and inode.
entorno_wine_servidor_activo() {
  local dispositivo nodo carpeta s
  read -r dispositivo nodo < <(stat -c '%d %i' "$WINEPREFIX")
  carpeta=$(printf 'server-%x-%x' "$dispositivo" "$nodo")
  for s in /tmp/wine-*/"$carpeta"/socket /tmp/.wine-"$(id -u)"/"$carpeta"/socket; do
    [ -S "$s" ] && return 0
  done
  return 1
}

# The prefix's server, kept up until entorno_wine_terminar, with Wine's own services started here,
# detached from the caller's pipes: a service started by a test would inherit that test's output
# pipe, and ctest would wait for it forever.
entorno_wine_servidor() {
  entorno_wine_servidor_activo && return 0
  wineserver -p >/dev/null 2>&1 </dev/null || true
  _entorno_wine_servidor=$WINEPREFIX
  wine_reintentando cmd /c exit >/dev/null 2>&1 </dev/null || true
}

entorno_wine_preparar() {
  entorno_wine_variables
  entorno_wine_pantalla || return 1
  entorno_wine_prefijo
  entorno_wine_servidor
}

entorno_wine_terminar() {
  if [ -n "$_entorno_wine_servidor" ]; then
    WINEPREFIX=$_entorno_wine_servidor wineserver -k >/dev/null 2>&1 </dev/null || true
    _entorno_wine_servidor=
  fi
  if [ -n "$_entorno_wine_xvfb" ]; then
    kill "$_entorno_wine_xvfb" 2>/dev/null || true
    _entorno_wine_xvfb=
  fi
  return 0
}

# Every Windows program of the scripts and tests starts through here. Wine now and then fails to
# start a process at all, several times in a row while earlier processes are going away: its
# start.exe then prints "Application could not be started, or no application associated with the
# specified file." and "ShellExecuteEx failed: ..." on the standard output, not the error output.
# The program did nothing, so it is started again after a growing pause. Those lines never reach
# the caller. The rest of the output goes through as it comes, line by line, so that a background
# program's lines can be waited for; it passes through a file rather than a pipe, because processes
# that the program starts (Wine's services, a program an installer starts) inherit its output and
# would hold a pipe open long after it ended. The error output comes once, from the last try; the
# exit status is the last try's.
# Copies its input line by line, less start.exe's failure lines and the blank line after them.
_wine_sin_inicio_fallido() {
  local linea tras_fallo=0
  while IFS= read -r linea || [ -n "$linea" ]; do
    case $linea in
      *"Application could not be started"* | *"ShellExecuteEx failed"*) tras_fallo=1; continue ;;
    esac
    if [ $tras_fallo = 1 ] && [ -z "${linea//$'\r'/}" ]; then continue; fi
    tras_fallo=0
    printf '%s\n' "$linea"
  done
}

wine_reintentando() {
  local - errores salida fallo rc intento pid
  local inicio_fallido='Application could not be started|ShellExecuteEx failed'
  set +e
  errores=$(mktemp "${TMPDIR:-/tmp}/wine-reintentando.XXXXXX") || return 1
  salida=$errores.salida fallo=$errores.inicio
  for intento in 1 2 3 4 5 6; do
    : >"$salida"
    # The explicit <&0 keeps the caller's input: a background command would get /dev/null.
    wine "$@" <&0 >"$salida" 2>"$errores" &
    pid=$!
    tail -n +1 -s 0.01 -f --pid="$pid" "$salida" | _wine_sin_inicio_fallido
    wait "$pid"
    rc=$?
    grep -h -E "$inicio_fallido" "$salida" "$errores" >"$fallo" || break
    echo "wine could not start $1 (try $intento): $(tr -d '\r' <"$fallo" | tr '\n' ' ')" >&2
    sleep "$intento"
  done
  cat "$errores" >&2
  rm -f "$errores" "$salida" "$fallo"
  return "$rc"
}

# Ends a background job started with `... &` and every process under it: a job that runs
# wine_reintentando is a subshell with Wine below it.
terminar_arbol() {  # PID
  local hijo
  for hijo in $(pgrep -P "$1" 2>/dev/null); do terminar_arbol "$hijo"; done
  kill "$1" 2>/dev/null || true
}

# A Unix path as Windows programs see it under Wine, which maps / to Z:.
win() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}
