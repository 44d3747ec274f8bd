# Sourced by test.sh and demo.sh: a virtual X server when the user has no display. Its process is
# added to the caller's `started` list, so the caller stops it, and only it, at the end.
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 90 120); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    started+=($!)
    export DISPLAY=":$n"
    pantalla_virtual=1
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    break
  done
fi
