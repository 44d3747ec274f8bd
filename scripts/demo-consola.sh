#!/usr/bin/env bash
# The transaction bridge without Windows: the same polling cycle that Tramiza.exe's timer runs, in
# a console (tools/puente_consola), natively on Linux, with the simulated exchange client
# Zelno32.exe and three simulated point-of-sale terminals. Ends with 0 only when every terminal got
# the answer its scenario expects and the bridge was still serving at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j "$(nproc)" --target puente_consola Zelno32 TerminalKorvane >/dev/null
bin=$PWD/build/linux-release/tools

work=$(mktemp -d /tmp/tramiza-demo.XXXXXX)
puente=
terminales=()
cleanup() {
  [ -d "$work/Z" ] && touch "$work/Z/_zelno_sim.stop"
  for p in $puente "${terminales[@]}"; do kill "$p" 2>/dev/null || true; done
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

# shellcheck source=scripts/escenario-demo.sh
source scripts/escenario-demo.sh

echo "Korvane root: $K"
echo "Zelno folder: $Z"
echo
"$bin/puente_consola" --korvane "$K" --zelno "$Z" --intervalo 1 \
  --cliente "$bin/Zelno32.exe --dir $Z --vida 120000" >"$work/puente.log" 2>&1 &
puente=$!

for n in 1 2 3; do
  demo_solicitud "$n"
  "$bin/TerminalKorvane.exe" --dir "$K/${demo_terminales[n - 1]}" "${solicitud[@]}" --espera 40000 \
    >"$work/t$n.txt" &
  terminales+=($!)
done
status=0
for n in 1 2 3; do
  wait "${terminales[n - 1]}" || true
  echo "--- Terminal ${demo_terminales[n - 1]}"
  cat "$work/t$n.txt"
  demo_comprobar "$n" "$work/t$n.txt" || status=1
  echo
done
terminales=()

echo "--- Client log (terminal, behaviour, provider code, request)"
cat "$Z/_zelno_sim.log" 2>/dev/null || true
echo
echo "--- Bridge"
cat "$work/puente.log"
if ! kill -0 "$puente" 2>/dev/null; then
  echo "FAILED: the bridge stopped before the end" >&2
  status=1
fi
exit $status
