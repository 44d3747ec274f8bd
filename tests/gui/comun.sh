# Helpers shared by the GUI test scripts; they expect $conductor to be set and a function
# `captura NAME` that saves a screenshot.

# scripts/test.sh has started the display, the prefix and its server; the tests only fill in what
# of the environment is unset, and need the display.
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/entorno-wine.sh"
entorno_wine_variables
export CONDUCTOR_ESCRITORIO=tramiza
escritorio="$CONDUCTOR_ESCRITORIO,1024x768"
if [ -z "${DISPLAY:-}" ]; then
  echo "las pruebas de la interfaz necesitan un DISPLAY (scripts/test.sh pone uno)" >&2
  exit 1
fi

# Checks: `igual` counts a failure and goes on, `fatal` takes a screenshot and stops the test.
fallos=0
falla() {
  echo "FALLO: $*" >&2
  fallos=$((fallos + 1))
}
fatal() {
  echo "FALLO: $*" >&2
  captura fallo
  exit 1
}
igual() {  # DESCRIPTION EXPECTED ACTUAL
  if [ "$2" == "$3" ]; then
    echo "ok: $1"
  else
    falla "$1: se esperaba [$2], se obtuvo [$3]"
  fi
}

# One action of the driver, tried again when Wine could not start it.
c() { wine_reintentando "$conductor" "$@"; }

# Ends the Tramiza.exe processes when this test started one ($propio=1): a test refuses to start
# while another Tramiza runs, so those are its own.
terminar_tramiza_propio() {
  local pid
  [ "${propio:-0}" = 1 ] || return 0
  for pid in $(c procesos Tramiza.exe); do
    echo "terminando Tramiza.exe $pid, que la prueba inicio" >&2
    c terminar "$pid"
  done
}
