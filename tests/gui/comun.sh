# shellcheck shell=bash
# Helpers shared by the GUI test scripts and the installer's test; they expect $conductor and
# $capturas to be set (and $caso, which names the screenshots).

# scripts/test.sh has started the display, the prefix and its server; the tests only fill in what
# of the environment is unset, and need the display.
# shellcheck source=scripts/sesion-tramiza.sh
source "$(dirname "${BASH_SOURCE[0]}")/../../scripts/sesion-tramiza.sh"
entorno_wine_variables
export CONDUCTOR_ESCRITORIO=tramiza
captura_prefijo=${caso:+$caso-}
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
