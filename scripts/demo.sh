#!/usr/bin/env bash
# The main job with the Windows program: Tramiza.exe runs under Wine in the notification area,
# three simulated point-of-sale terminals send requests, Tramiza starts the simulated exchange
# client Zelno32.exe, hands the requests over and brings the answers back; then it is ended with
# its "&Salir" menu item. Ends with 0 only when every terminal got the answer its scenario expects
# and Tramiza ended through "&Salir".
#
# The program's window opens on your display when DISPLAY is set (in a Wine virtual desktop with
# a taskbar), otherwise on a virtual X server of its own; either way screenshots are saved in the
# folder printed at the end. The demo writes Tramiza's settings into the Wine prefix's registry.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

bash scripts/install-deps.sh
cmake --preset win32 >/dev/null
cmake --build --preset win32 -j "$(nproc)" --target Tramiza Zelno32 TerminalKorvane conductor >/dev/null
bin=$root/build/win32
tramiza=$bin/src/Tramiza.exe
conductor=$bin/tools/conductor.exe
capturas=$bin/capturas-demo
export CONDUCTOR_ESCRITORIO=tramiza-demo
# shellcheck source=scripts/sesion-tramiza.sh
source scripts/sesion-tramiza.sh

work=$(mktemp -d /tmp/tramiza-demo-win.XXXXXX)
rm -rf "$capturas"
mkdir -p "$capturas"

terminales=()
cleanup() {
  set +e
  [ -d "$work/Z" ] && touch "$work/Z/_zelno_sim.stop"
  tramiza_limpiar
  for pid in "${terminales[@]}"; do terminar_arbol "$pid"; done
  entorno_wine_terminar
  rm -rf "$work"
}
trap cleanup EXIT

# A display (the user's, or a virtual one), the Wine prefix and its server.
entorno_wine_preparar
if entorno_wine_pantalla_propia; then
  echo "Display: virtual X server $DISPLAY"
else
  echo "Display: $DISPLAY"
fi

# shellcheck source=scripts/escenario-demo.sh
source scripts/escenario-demo.sh
Kw=$(win "$K") Zw=$(win "$Z")

# Tramiza's settings, as its settings dialog would save them: polling every second from the start,
# the client started by Tramiza.
tramiza_ajustes "$Kw" "$Zw" 1 1 1 1 "$(win "$bin/tools/Zelno32.exe") --dir $Zw --vida 300000" ||
  { echo "Tramiza's settings could not be written" >&2; exit 1; }

echo "Korvane root: $K"
echo "Zelno folder: $Z"
echo
echo "Starting Tramiza.exe"
tramiza_iniciar "$tramiza" || { echo "Tramiza.exe did not open its window" >&2; exit 1; }
c esperar-visible frmPuleo 1 30000 || { echo "Tramiza.exe did not show its window" >&2; exit 1; }
echo "  window \"$(c titulo frmPuleo)\", status \"$(c texto frmPuleo lblProceso)\""
echo "  exchange client running: $(c contar-procesos Zelno32.exe) Zelno32.exe"
captura inicio >/dev/null

for n in 1 2 3; do
  demo_solicitud "$n"
  wine_reintentando "$bin/tools/TerminalKorvane.exe" --dir "$(win "$K/${demo_terminales[n - 1]}")" \
    "${solicitud[@]}" --espera 60000 >"$work/t$n.txt" 2>&1 </dev/null &
  terminales+=($!)
done
c comando frmPuleo mnuTrayShow
captura sondeando >/dev/null
status=0
for n in 1 2 3; do
  wait "${terminales[n - 1]}" || true
  echo
  echo "--- Terminal ${demo_terminales[n - 1]}"
  tr -d '\r' <"$work/t$n.txt"
  demo_comprobar "$n" "$work/t$n.txt" || status=1
done
terminales=()
captura respuestas >/dev/null

echo
echo "--- Client log (terminal, behaviour, provider code, request)"
tr -d '\r' <"$Z/_zelno_sim.log" 2>/dev/null || true
echo
echo "--- Tramiza: status \"$(c texto frmPuleo lblProceso)\""
echo "Ending Tramiza with \"&Salir\""
if tramiza_salir mnuFileExit; then
  echo "  Tramiza.exe ended"
else
  echo "FAILED: Tramiza.exe did not end through \"&Salir\"" >&2
  status=1
fi
echo
echo "Screenshots: $capturas"
ls "$capturas"
exit $status
