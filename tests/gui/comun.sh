# Helpers shared by the GUI test scripts; they expect $conductor and $trabajo to be set, and a
# function `captura NAME` that saves a screenshot.

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

# One action of the driver. Wine now and then fails to start a process at all ("ShellExecuteEx
# failed"), several times in a row while the previous test's processes are going away; the
# driver then did nothing, so the same action is tried again after a growing pause.
c() {
  local rc intento
  for intento in 1 2 3 4 5 6; do
    wine "$conductor" "$@" 2>"$trabajo/.conductor.err"
    rc=$?
    grep -q "ShellExecuteEx failed" "$trabajo/.conductor.err" || break
    sleep "$intento"
  done
  cat "$trabajo/.conductor.err" >&2
  return $rc
}

# A Unix path as the program sees it (Wine maps / to Z:).
win() {
  local p
  p=$(realpath -m "$1")
  printf 'Z:%s' "${p//\//\\}"
}
