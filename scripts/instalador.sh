#!/usr/bin/env bash
# Builds the installer TramizaSetup-<version>.exe from the 32-bit release build (preset win32),
# building that first when needed. The last line printed is the installer's path.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target instalador >/dev/null
instalador=$(ls -t build/win32/installer/TramizaSetup-*.exe | head -1)
echo "$(stat -c %s "$instalador") bytes"
realpath "$instalador"
