#!/usr/bin/env bash
# The transaction bridge without Windows: the same polling cycle that Tramiza.exe's timer runs, in
# a console (tools/puente_consola), natively on Linux, with the simulated exchange client
# Zelno32.exe and three simulated point-of-sale terminals.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh
cmake --preset linux-release >/dev/null
cmake --build --preset linux-release -j "$(nproc)" --target puente_consola Zelno32 TerminalKorvane >/dev/null
bin=$PWD/build/linux-release/tools

work=$(mktemp -d /tmp/tramiza-demo.XXXXXX)
pids=()
cleanup() {
  [ -d "$work/Z" ] && touch "$work/Z/_zelno_sim.stop"
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  sleep 0.3
  rm -rf "$work"
}
trap cleanup EXIT

source scripts/escenario-demo.sh
term01 normal 300
term02 falla E12 SIN LINEA\r\n
term03 seresp-tarde 3500
CFG

echo "Korvane root: $K"
echo "Zelno folder: $Z"
echo
"$bin/puente_consola" --korvane "$K" --zelno "$Z" --intervalo 1 \
  --cliente "$bin/Zelno32.exe --dir $Z --vida 120000" > "$work/puente.log" 2>&1 &
pids+=($!)

"$bin/TerminalKorvane.exe" --dir "$K/TER01" --id "VENTA-0001" --longitud 336 --empresa PASTEU --espera 40000 > "$work/t1.txt" &
t1=$!
"$bin/TerminalKorvane.exe" --dir "$K/TER02" --id "VENTA-0002" --longitud 226 --empresa ACA --espera 40000 > "$work/t2.txt" &
t2=$!
"$bin/TerminalKorvane.exe" --dir "$K/TER03" --id "VENTA-0003" --longitud 200 --espera 40000 > "$work/t3.txt" &
t3=$!
status=0
for t in 1 2 3; do
  pid_var="t$t"
  wait "${!pid_var}" || status=1
  echo "--- Terminal TER0$t"
  cat "$work/t$t.txt"
  echo
done

echo "--- Client log (terminal, behaviour, provider code, request)"
cat "$Z/_zelno_sim.log" 2>/dev/null || true
echo
echo "--- Bridge"
cat "$work/puente.log"
exit $status
