# Helpers shared by the GUI test scripts; they expect $conductor and $trabajo to be set.

# One action of the driver. Wine now and then fails to start a process at all ("ShellExecuteEx
# failed"); the driver then did nothing, so the same action is tried again.
c() {
  local rc intento
  for intento in 1 2 3; do
    wine "$conductor" "$@" 2>"$trabajo/.conductor.err"
    rc=$?
    grep -q "ShellExecuteEx failed" "$trabajo/.conductor.err" || break
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
