#!/usr/bin/env bash
# Checks the format of the C++ sources and the shell scripts, builds the three targets (native Linux
# under sanitizers, Windows 32-bit, Windows 64-bit) and runs every test: natively with ctest, and
# the Windows builds with ctest under Wine; then both demos, the installer's command and the fuzz
# targets. The benchmarks are built (optimised, native) so that they cannot rot.
#
# The fast tests of every build ("rapido") run first, right after its build, so that a broken build
# shows within minutes; the long ones follow: the soak ("soak"), the GUI tests ("gui") and the
# installer's test ("instalador"). Each stage's line gives the minutes since the start. The last
# line is the total over all runs.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

inicio=$SECONDS
etapa() { printf '=== [%2d:%02d] %s\n' $(((SECONDS - inicio) / 60)) $(((SECONDS - inicio) % 60)) "$*"; }

bash scripts/install-deps.sh || { echo "installing the build and test packages failed"; exit 1; }

jobs=$(nproc)
passed=0; failed=0; status=0
ok() { passed=$((passed + 1)); }
ko() { echo "FAILED: $*"; failed=$((failed + 1)); status=1; }

# The checks of the sources first: a file that differs counts as one failure, and the tests still run.
etapa "format"
bash scripts/formato.sh --comprobar && ok || ko "format check: scripts/formato.sh formats the files listed"
etapa "shellcheck"
bash scripts/comprobar-guiones.sh && ok || ko "shellcheck found warnings in the scripts above"

# The display, the Wine prefix and its server for the Windows builds' tests; ctest's runs reuse them.
# shellcheck source=scripts/entorno-wine.sh
source scripts/entorno-wine.sh
trap entorno_wine_terminar EXIT
entorno_wine_preparar || { echo "setting up Wine failed"; exit 1; }

run_ctest() {  # PRESET LABELS
  local preset=$1 log line total fails
  log=$(mktemp)
  etapa "$preset: tests labelled $2"
  ctest --preset "$preset" -j "$jobs" -L "$2" 2>&1 | tee "$log"
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails)); failed=$((failed + fails))
    [ "$fails" -eq 0 ] || status=1
  else
    ko "ctest for $preset ($2) printed no result"
  fi
  rm -f "$log"
}

build() {  # PRESET
  etapa "$1: configure and build"
  cmake --preset "$1" >/dev/null && cmake --build --preset "$1" -j "$jobs" || { ko "build $1"; return 1; }
}

# --- The fast tests of every build, each right after its build ---
built=()
for preset in linux win32 win64; do
  build "$preset" && built+=("$preset") && run_ctest "$preset" rapido
done

# --- The long ones: the soak beside the GUI tests, which mostly wait for windows ---
for preset in "${built[@]}"; do
  case $preset in
    linux) run_ctest linux soak ;;
    win32) run_ctest win32 'soak|gui|instalador' ;;
    win64) run_ctest win64 'soak|gui' ;;
  esac
done

build linux-release && ok

# --- The README's main job, both ways: each demo is one test ---
for demo in demo-consola demo; do
  etapa "scripts/$demo.sh"
  bash "scripts/$demo.sh" && ok || ko "scripts/$demo.sh"
done

# The installer's own command (its test under Wine, "instalador", ran with the win32 tests).
etapa "installer: scripts/instalador.sh"
if instalador=$(bash scripts/instalador.sh | tail -1) && [ -f "$instalador" ]; then
  echo "$instalador"
  ok
else
  ko "scripts/instalador.sh"
fi

# --- Fuzzing: every libFuzzer target a few seconds over its seeds (clang build); one test. ---
etapa "fuzz"
bash scripts/fuzz.sh 5 && ok || ko "scripts/fuzz.sh"

echo
etapa "done"
echo "Tests: format and shellcheck; linux (ASan+UBSan), win32 and win64 (Wine); both demos; installer; fuzz"
echo "$passed passed, $failed failed"
exit $status
