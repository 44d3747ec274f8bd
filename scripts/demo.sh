#!/usr/bin/env bash
# The main job with the Windows program: Tramiza.exe runs under Wine in the notification area,
# three simulated point-of-sale terminals send requests, Tramiza starts the simulated exchange
# client Zelno32.exe, hands the requests over and brings the answers back; then it is ended with
# its "&Salir" menu item.
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
conductor=$bin/tests/gui/conductor.exe

source scripts/entorno-wine.sh
export CONDUCTOR_ESCRITORIO=tramiza-demo

work=$(mktemp -d /tmp/tramiza-demo-win.XXXXXX)
capturas=$bin/capturas-demo
rm -rf "$capturas"
mkdir -p "$capturas"

started=()
tramiza_started=
cleanup() {
  set +e
  [ -d "$work/Z" ] && touch "$work/Z/_zelno_sim.stop"
  if [ -n "$tramiza_started" ]; then
    # Only the copy this demo started: no other Tramiza.exe ran when it began.
    for pid in $(c procesos Tramiza.exe 2>/dev/null); do c terminar "$pid"; done
  fi
  sleep 1
  for pid in "${started[@]}"; do kill "$pid" 2>/dev/null; done
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

c() { wine_reintentando "$conductor" "$@"; }
shot=0
captura() {
  shot=$((shot + 1))
  sleep 1  # the taskbar catches up with the windows
  import -window root "$(printf '%s/%02d-%s.png' "$capturas" "$shot" "$1")" 2>/dev/null || true
}

if [ "$(c contar-procesos Tramiza.exe)" != 0 ]; then
  echo "Tramiza.exe is already running in $WINEPREFIX; end it first." >&2
  exit 1
fi

source scripts/escenario-demo.sh
term01 normal 300
term02 falla E12 SIN LINEA\r\n
term03 seresp-tarde 3500
CFG
Kw=$(win "$K") Zw=$(win "$Z")

# Tramiza's settings, as its settings dialog would save them.
c ajuste DirectorioKorvane "$Kw"
c ajuste DirectorioZELNO "$Zw"
c ajuste Intervalo 1
c ajuste ActivarTX 1
c ajuste IniciarActivo 1
c ajuste IniciarZelnoExe 1
c ajuste ZelnoExe "$(win "$bin/tools/Zelno32.exe") --dir $Zw --vida 300000"

echo "Korvane root: $K"
echo "Zelno folder: $Z"
echo
echo "Starting Tramiza.exe"
tramiza_started=1
wine explorer /desktop=tramiza-demo,1024x768 "$(win "$tramiza")" >/dev/null 2>&1 </dev/null &
started+=($!)
c esperar-ventana TramizaPuleo - 60000 >/dev/null || { echo "Tramiza.exe did not open its window" >&2; exit 1; }
c esperar-visible frmPuleo 1 30000 || { echo "Tramiza.exe did not show its window" >&2; exit 1; }
echo "  window \"$(c titulo frmPuleo)\", status \"$(c texto frmPuleo lblProceso)\""
echo "  exchange client running: $(c contar-procesos Zelno32.exe) Zelno32.exe"
captura inicio

status=0
pids=()
wine "$bin/tools/TerminalKorvane.exe" --dir "$(win "$K/TER01")" --id "VENTA-0001" --longitud 336 --empresa PASTEU \
  --espera 60000 >"$work/t1.txt" 2>&1 &
pids+=($!)
wine "$bin/tools/TerminalKorvane.exe" --dir "$(win "$K/TER02")" --id "VENTA-0002" --longitud 226 --empresa ACA \
  --espera 60000 >"$work/t2.txt" 2>&1 &
pids+=($!)
wine "$bin/tools/TerminalKorvane.exe" --dir "$(win "$K/TER03")" --id "VENTA-0003" --longitud 200 \
  --espera 60000 >"$work/t3.txt" 2>&1 &
pids+=($!)
c comando frmPuleo mnuTrayShow
captura sondeando
for t in 1 2 3; do
  wait "${pids[$((t - 1))]}" || status=1
  echo
  echo "--- Terminal TER0$t"
  tr -d '\r' <"$work/t$t.txt"
done
captura respuestas

echo
echo "--- Client log (terminal, behaviour, provider code, request)"
tr -d '\r' <"$Z/_zelno_sim.log" 2>/dev/null || true
echo
echo "--- Tramiza: status \"$(c texto frmPuleo lblProceso)\""
echo "Ending Tramiza with \"&Salir\""
c comando frmPuleo mnuFileExit
c esperar-procesos Tramiza.exe 0 30000 && tramiza_started=
echo
echo "Screenshots: $capturas"
ls "$capturas"
exit $status
