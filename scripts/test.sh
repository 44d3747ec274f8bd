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

# The Wine prefix (64-bit with 32-bit support) is made once, before any test runs; a wineserver
# kept up for the whole run spares every test program its start.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  WINEARCH=win64 wineboot --init >/dev/null 2>&1
  wineserver -w
fi
bash scripts/wine-fonts.sh
# Is this prefix's server already up (the user's own Wine session)? Then it is not ours to stop.
# (Its socket sits in a folder named after the prefix's device and inode.)
servidor="server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
own_wineserver=1
for s in /tmp/wine-*/"$servidor"/socket /tmp/.wine-"$(id -u)"/"$servidor"/socket; do [ -S "$s" ] && own_wineserver=; done
# The server and Wine's own services start here, detached from the test runner's pipes: a service
# started by a test would inherit that test's output pipe, and ctest would wait for it forever.
wineserver -p >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null

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

echo
echo "Tests: linux (ASan+UBSan), win32 and win64 (Wine)"
echo "$passed passed, $failed failed"
exit $status
