#!/usr/bin/env bash
# Checks the format of the C++ sources and the shell scripts, builds the three targets (native Linux
# under sanitizers, Windows 32-bit, Windows 64-bit) and runs every test: natively with ctest, and
# the Windows builds with ctest under Wine; then both demos, the installer's command and the fuzz
# targets. The benchmarks are built (optimised, native) so that they cannot rot.
#
# The fast tests of every build ("rapido") run first, right after its build, so that a broken build
# shows within minutes; the long ones follow: the soak ("soak"), the GUI tests ("gui"), the
# installer's test ("instalador") and the threaded run under ThreadSanitizer ("hilos", preset tsan). Each stage's line gives the minutes since the start. The last
# line is the total over all runs.
#
#   scripts/test.sh [STAGE...]   all stages, or only those named: checks, rapido, largos, demos,
#                                instalador, fuzz (e.g. `scripts/test.sh demos` after a change to a demo)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

etapas=("$@")
for e in "${etapas[@]}"; do
  case $e in
    checks | rapido | largos | demos | instalador | fuzz) ;;
    *) echo "usage: scripts/test.sh [checks|rapido|largos|demos|instalador|fuzz]..." >&2; exit 2 ;;
  esac
done
quiere() { [ ${#etapas[@]} -eq 0 ] || [[ " ${etapas[*]} " == *" $1 "* ]]; }

inicio=$SECONDS
etapa() { printf '=== [%2d:%02d] %s\n' $(((SECONDS - inicio) / 60)) $(((SECONDS - inicio) % 60)) "$*"; }

bash scripts/install-deps.sh || { echo "installing the build and test packages failed"; exit 1; }

jobs=$(nproc)
passed=0; failed=0; status=0
ok() { passed=$((passed + 1)); }
ko() { echo "FAILED: $*"; failed=$((failed + 1)); status=1; }

# The checks of the sources first: a file that differs counts as one failure, and the tests still run.
if quiere checks; then
  etapa "format"
  bash scripts/formato.sh --comprobar && ok || ko "format check: scripts/formato.sh formats the files listed"
  etapa "shellcheck"
  bash scripts/comprobar-guiones.sh && ok || ko "shellcheck found warnings in the scripts above"
  etapa "guide against the code"
  bash scripts/comprobar-guia.sh && ok || ko "docs/guia-tienda.md differs from the code's checkpoints and messages (listed above)"
fi

# The display, the Wine prefix and its server for the Windows builds' tests; ctest's runs reuse them.
# shellcheck source=scripts/entorno-wine.sh
source scripts/entorno-wine.sh
if quiere rapido || quiere largos || quiere demos || quiere instalador; then
  trap entorno_wine_terminar EXIT
  entorno_wine_preparar || { echo "setting up Wine failed"; exit 1; }
fi

# Adds up a finished ctest run from its output.
contar_ctest() {  # LOG WHAT
  local line total fails
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$1" | tail -1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails)); failed=$((failed + fails))
    [ "$fails" -eq 0 ] || status=1
  else
    ko "ctest for $2 printed no result"
  fi
}

run_ctest() {  # PRESET LABELS
  local log
  log=$(mktemp)
  etapa "$1: tests labelled $2"
  ctest --preset "$1" -j "$jobs" -L "$2" 2>&1 | tee "$log"
  contar_ctest "$log" "$1 ($2)"
  rm -f "$log"
}

build() {  # PRESET
  etapa "$1: configure and build"
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" || { ko "build $1"; return 1; }
}

# --- The fast tests of every build, each right after its build ---
built=()
if quiere rapido || quiere largos; then
  for preset in linux win32 win64; do
    build "$preset" && built+=("$preset") && { quiere rapido && run_ctest "$preset" rapido || true; }
  done
fi

# --- The long ones, the three builds side by side: each Windows build's soak beside its GUI tests,
# which mostly wait for windows, the win64 build's in a Wine prefix and on a display of its own
# (the GUI tests of one prefix must run one at a time); the native soak at a lower priority, so
# that the GUI tests' timings are not starved, and at the same priority the ThreadSanitizer build
# and then its threaded run; the optimised build and the fuzz targets' build at the lowest, in the
# time the others leave over. Each one's output follows once all have ended. ---
largo_win64() {
  export WINEPREFIX=$HOME/.wine-tramiza-64
  unset DISPLAY
  _entorno_wine_xvfb='' _entorno_wine_servidor=''
  trap entorno_wine_terminar EXIT
  entorno_wine_preparar || { echo "setting up Wine for win64 failed"; return 1; }
  ctest --preset win64 -j "$jobs" -L 'soak|gui'
}
compilaciones_nativas() {
  renice -n 19 "$BASHPID" >/dev/null
  { cmake --preset linux-release >/dev/null && cmake --build --preset linux-release -j "$jobs" >/dev/null; } ||
    echo "FAILED: build linux-release"
  { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$jobs" >/dev/null; } ||
    echo "FAILED: build fuzz"
}
# The threaded run of the real pool and cycle under ThreadSanitizer: a build of its own, one label.
hilos() {
  { cmake --preset tsan >/dev/null && cmake --build --preset tsan -j "$jobs" >/dev/null && ctest --preset tsan; } \
    >"$largos/tsan" 2>&1
}
largo_nativo() {
  (compilaciones_nativas) &
  local compilaciones=$!
  hilos &
  local tsan=$!
  ctest --preset linux -j "$jobs" -L soak
  wait "$tsan" "$compilaciones"
}
if quiere largos; then
  etapa "long tests of ${built[*]} side by side"
  largos=$(mktemp -d)
  declare -A trabajos=()
  for preset in "${built[@]}"; do
    case $preset in
      linux) (renice -n 10 "$BASHPID" >/dev/null; largo_nativo) >"$largos/linux" 2>&1 & ;;
      win32) ctest --preset win32 -j "$jobs" -L 'soak|gui|instalador' >"$largos/win32" 2>&1 & ;;
      win64) (largo_win64) >"$largos/win64" 2>&1 & ;;
    esac
    trabajos[$preset]=$!
  done
  for preset in "${built[@]}"; do
    wait "${trabajos[$preset]}"
    etapa "$preset: long tests"
    cat "$largos/$preset"
    contar_ctest "$largos/$preset" "$preset (long tests)"
    if [ "$preset" = linux ]; then
      if grep -q '^FAILED: build linux-release' "$largos/linux"; then ko "build linux-release"; else ok; fi
      etapa "tsan: threaded run (label hilos)"
      cat "$largos/tsan"
      contar_ctest "$largos/tsan" "tsan (hilos)"
    fi
  done
  rm -rf "$largos"
fi

# --- The README's main job, both ways: each demo is one test ---
if quiere demos; then
  for demo in demo-consola demo; do
    etapa "scripts/$demo.sh"
    bash "scripts/$demo.sh" && ok || ko "scripts/$demo.sh"
  done
fi

# The installer's own command (its test under Wine, "instalador", ran with the win32 tests).
if quiere instalador; then
  etapa "installer: scripts/instalador.sh"
  if instalador=$(bash scripts/instalador.sh | tail -1) && [ -f "$instalador" ]; then
    echo "$instalador"
    ok
  else
    ko "scripts/instalador.sh"
  fi
fi

# --- Fuzzing: every libFuzzer target a few seconds over its seeds (clang build); one test. ---
if quiere fuzz; then
  etapa "fuzz"
  bash scripts/fuzz.sh 5 && ok || ko "scripts/fuzz.sh"
fi

echo
etapa "done"
echo "Stages: ${etapas[*]:-all (format and shellcheck; linux (ASan+UBSan), win32 and win64 (Wine); both demos; installer; fuzz)}"
echo "$passed passed, $failed failed"
exit $status
