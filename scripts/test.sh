#!/usr/bin/env bash
# Checks the format of the C++ sources, builds the three targets (native Linux under sanitizers,
# Windows 32-bit, Windows 64-bit) and runs every test: natively with ctest, and the Windows builds
# with ctest under Wine. The benchmarks are built (optimised, native) so that they cannot rot. The
# last line is the total over all runs.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh || { echo "installing the build and test packages failed"; exit 1; }

jobs=$(nproc)
passed=0; failed=0; status=0

# The format first: a file that differs from it counts as one failure, and the tests still run.
echo "=== format"
if bash scripts/formato.sh --comprobar; then
  passed=$((passed + 1))
else
  echo "format check failed: scripts/formato.sh formats the files listed"
  failed=$((failed + 1)); status=1
fi

# The display, the Wine prefix and its server for the Windows builds' tests; ctest's runs reuse them.
source scripts/entorno-wine.sh
trap entorno_wine_terminar EXIT
entorno_wine_preparar || { echo "setting up Wine failed"; exit 1; }

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

# --- Fuzzing: every libFuzzer target a few seconds over its seeds (clang build); one test. ---
if bash scripts/fuzz.sh 5; then passed=$((passed + 1)); else failed=$((failed + 1)); status=1; fi

echo
echo "Tests: format check, linux (ASan+UBSan), win32 and win64 (Wine)"
echo "$passed passed, $failed failed"
exit $status
