#!/usr/bin/env bash
# Builds the three targets (native Linux under sanitizers, Windows 32-bit, Windows 64-bit) and runs
# every test: natively with ctest, and the Windows builds with ctest under Wine. The benchmarks are
# built (optimised, native) so that they cannot rot. The last line is the total over all runs.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh || { echo "installing the build and test packages failed"; exit 1; }

jobs=$(nproc)
export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tramiza}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

started=()
cleanup() {
  # Stop only what this script started.
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -n "${own_wineserver:-}" ]; then wineserver -k 2>/dev/null; fi
}
trap cleanup EXIT

# A display for the tests that open windows, unless the user already has one.
source scripts/pantalla.sh

source scripts/prefijo-wine.sh

passed=0; failed=0; status=0
run_ctest() {
  local preset=$1 log
  log=$(mktemp)
  ctest --preset "$preset" -j "$jobs" 2>&1 | tee "$log"
  local line
  line=$(grep -E '[0-9]+% tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1)
  if [ -n "$line" ]; then
    local total fails
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    fails=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - fails)); failed=$((failed + fails))
    [ "$fails" -eq 0 ] || status=1
  else
    echo "ctest for $preset printed no result"; failed=$((failed + 1)); status=1
  fi
  rm -f "$log"
}

build() {
  local preset=$1
  echo "=== $preset: configure and build"
  cmake --preset "$preset" >/dev/null && cmake --build --preset "$preset" -j "$jobs" || { echo "build $preset failed"; return 1; }
}

for preset in linux win32 win64; do
  if build "$preset"; then
    echo "=== $preset: tests"
    run_ctest "$preset"
  else
    failed=$((failed + 1)); status=1
  fi
done
build linux-release || { failed=$((failed + 1)); status=1; }

# The installer's own command (its test under Wine, "instalador", ran with the win32 tests).
echo "=== installer: scripts/instalador.sh"
if instalador=$(bash scripts/instalador.sh | tail -1) && [ -f "$instalador" ]; then
  echo "$instalador"
  passed=$((passed + 1))
else
  echo "scripts/instalador.sh failed"; failed=$((failed + 1)); status=1
fi

echo
echo "Tests: linux (ASan+UBSan), win32 and win64 (Wine)"
echo "$passed passed, $failed failed"
exit $status
