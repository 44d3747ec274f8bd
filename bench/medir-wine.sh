#!/usr/bin/env bash
# Measures the running Tramiza.exe under Wine, with the simulated client (Zelno32.exe) answering
# at once, and prints a small table: every run and the median.
#
#   bench/medir-wine.sh [--tramiza PATH] [--repeticiones 3] [--segundos-reposo 180]
#                       [--terminales 10] [--intercambios 100] [--rafaga 20] [--sueltos 3]
#
#   single     one request alone: from "C" in its STATUS.ZLN to "S" (median of --sueltos per run)
#   burst      --rafaga terminals write their requests in the same second: from the first "C"
#              until every one says "S"
#   idle       --terminales idle terminals (STATUS.ZLN "S") polled at 1 s for --segundos-reposo:
#              CPU of Tramiza.exe, and over the same seconds CPU of bucle_desnudo.exe, a bare loop
#              making the same file calls once a second, run beside it; their ratio; the CPU of
#              Tramiza.exe extrapolated to an hour
#   start-up   Tramiza.exe (over --terminales idle terminals) and ventana_desnuda.exe, a bare window,
#              each started 3 times per run, one after the other: the seconds from the launch until
#              the main window is there, and the CPU of the process one second later (run time of
#              its threads); their ratios
#   exchanges  --intercambios requests, in rounds over the same terminals: CPU of Tramiza.exe per
#              exchange, as measured and net of the ticks it made meanwhile (each at the cost of
#              an idle tick); then three more rounds with a message sent to the main window every
#              100 ms for their first 8 s: the longest wait for its answer (target: under 1000 ms),
#              and the CPU per exchange with that probe
#
# PATH is the Tramiza.exe to measure (a Unix path, or a Windows one as Wine sees it); by default
# the win32 build of this tree. The helpers (conductor.exe, Zelno32.exe, bucle_desnudo.exe,
# ventana_desnuda.exe) are
# always built from this tree. The Wine prefix is WINEPREFIX, default ~/.wine-tramiza-medir.
#
# CPU is read on the Linux side, from the Wine process that runs each Windows program: utime +
# stime of /proc/PID/stat (every thread, also the ones that ended; 10 ms steps) for the exchanges,
# and for the idle figures the sum of the run time of its threads in nanoseconds
# (/proc/PID/task/*/schedstat), fine enough for a few minutes of idle ticks. The CPU of the Wine
# server and of the X server is not counted for either program.
set -euo pipefail
export LC_ALL=C

raiz=$(cd "$(dirname "$0")/.." && pwd)
tramiza=
reps=3 segundos=180 nterm=10 nint=100 nrafaga=20 nsueltos=3
uso() {
  { echo "uso:"; sed -n '5,6s/^#//p' "$0"; } >&2
  exit 2
}
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || uso
  case $1 in
    --tramiza) tramiza=$2 ;;
    --repeticiones) reps=$2 ;;
    --segundos-reposo) segundos=$2 ;;
    --terminales) nterm=$2 ;;
    --intercambios) nint=$2 ;;
    --rafaga) nrafaga=$2 ;;
    --sueltos) nsueltos=$2 ;;
    *) uso ;;
  esac
  shift 2
done

# --- Builds -----------------------------------------------------------------------------------------

# win32 is the release build of the shipped program.
objetivos=(Zelno32 conductor bucle_desnudo ventana_desnuda)
[ -n "$tramiza" ] || objetivos+=(Tramiza)
(cd "$raiz" && cmake --preset win32 >/dev/null && cmake --build --preset win32 -j2 --target "${objetivos[@]}" >/dev/null)
b=$raiz/build/win32
conductor=$b/tools/conductor.exe
zelno32=$b/tools/Zelno32.exe
bucle=$b/bench/bucle_desnudo.exe
ventana=$b/bench/ventana_desnuda.exe
if [ -z "$tramiza" ]; then
  tramiza=$b/src/Tramiza.exe
elif [[ $tramiza =~ ^[A-Za-z]: ]]; then
  tramiza=$(winepath -u "$tramiza" 2>/dev/null)
fi
[ -f "$tramiza" ] || { echo "no existe $tramiza" >&2; exit 2; }
tramiza=$(realpath "$tramiza")

# --- Wine -------------------------------------------------------------------------------------------

export WINEPREFIX="${WINEPREFIX:-$HOME/.wine-tramiza-medir}"
export CONDUCTOR_ESCRITORIO=medir
# shellcheck source=scripts/sesion-tramiza.sh
source "$raiz/scripts/sesion-tramiza.sh"

trabajo=$(mktemp -d "${TMPDIR:-/tmp}/medir-wine.XXXXXX")
zelno=      # the running client simulator, and its folder
Zactual=
limpiar() {
  set +e
  [ "$tramiza_propio" = 1 ] && terminar_tramiza
  [ -n "$zelno" ] && parar_zelno
  entorno_wine_terminar
  rm -rf "$trabajo"
}
trap limpiar EXIT
entorno_wine_preparar >&2

aviso() { echo "[$(date +%T)] $*" >&2; }
fallo() {
  echo "FALLO: $*" >&2
  exit 1
}

# A pause without a new process: a read that times out on a FIFO nobody writes to.
mkfifo "$trabajo/dormir"
exec {dormir}<>"$trabajo/dormir"
pausa() { read -r -t "$1" -u "$dormir" _ || true; }

# --- Processes and their CPU ------------------------------------------------------------------------

# The Linux process of this prefix that runs the Windows program NAME.
pid_linux() {
  local p arg0
  for p in $(pgrep -u "$(id -u)" -f "$1" || true); do
    arg0=$(tr '\0' '\n' <"/proc/$p/cmdline" 2>/dev/null | head -1) || continue
    arg0=${arg0##*[/\\]}
    [ "${arg0,,}" = "${1,,}" ] || continue
    tr '\0' '\n' <"/proc/$p/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" || continue
    echo "$p"
    return 0
  done
  return 1
}
esperar_pid() {  # NAME
  local p
  for _ in $(seq 100); do
    p=$(pid_linux "$1") && { echo "$p"; return 0; }
    sleep 0.2
  done
  fallo "no aparecio el proceso de $1"
}

# utime + stime in ms.
cpu_ms() {
  local s
  s=$(<"/proc/$1/stat")
  read -r -a s <<<"${s##*) }"
  echo $(((s[11] + s[12]) * 1000 / $(getconf CLK_TCK)))
}
# Run time of the threads, in ns.
cpu_ns() {
  local f t=0 n
  for f in /proc/"$1"/task/*/schedstat; do
    if read -r n _ 2>/dev/null <"$f"; then t=$((t + n)); fi
  done
  echo "$t"
}
hilos() {
  local t=("/proc/$1/task"/*)
  echo "${#t[@]}"
}
ahora_us() { echo "${EPOCHREALTIME/[.,]/}"; }

# --- The client simulator and the program -----------------------------------------------------------

iniciar_zelno() {  # Z
  Zactual=$1
  wine_reintentando "$zelno32" --dir "$(win "$1")" --vida 86400000 >/dev/null 2>&1 </dev/null &
  zelno=$!
  esperar_pid Zelno32.exe >/dev/null
}
parar_zelno() {
  touch "$Zactual/_zelno_sim.stop"
  for _ in $(seq 100); do kill -0 "$zelno" 2>/dev/null || break; sleep 0.2; done
  zelno=
}

# Polling on at 1 s from the start; the program checks the client before each hand-off and would
# start it (serving the same folder) if it were missing.
iniciar_tramiza() {  # K Z
  local Kw Zw
  Kw=$(win "$1") Zw=$(win "$2")
  tramiza_ajustes "$Kw" "$Zw" 1 0 1 1 "$(win "$zelno32") --dir $Zw" || fallo "no se pueden escribir los ajustes"
  tramiza_iniciar "$tramiza" || fallo "no aparecio la ventana de Tramiza.exe"
  c esperar-consulta frmPuleo TramizaEstadoPrueba Ciclos gt 0 60000 >/dev/null || fallo "Tramiza.exe no sondea"
  pid_tramiza=$(esperar_pid Tramiza.exe)
}
terminar_tramiza() {
  local p
  if ! tramiza_salir mnuFileExit >/dev/null 2>&1; then
    # Ours: started by this script in its own prefix.
    p=$(pid_linux Tramiza.exe) && kill "$p"
    tramiza_limpiar
  fi
}

# Terminal folders TER01..TERnn under K.
carpeta() { printf '%s/TER%02d' "$1" "$2"; }  # K N
terminales() {  # K N
  local i
  for i in $(seq "$2"); do mkdir -p "$(carpeta "$1" "$i")"; done
}

# A request's files, before its "C": CLICAB.ZLN of 336 bytes (the company code at 193-198) and
# PRAXIS.ZLN, both naming the request by ID, so no request repeats the one before.
preparar_solicitud() {  # FOLDER ID
  printf '%s\r\n%*s%s%*s' "$2" $((190 - ${#2})) "" PASTEU 138 "" >"$1/CLICAB.ZLN"
  printf 'PRAXIS %s\r\n' "$2" >"$1/PRAXIS.ZLN"
}
# Written in place by the shell itself: a whole burst takes a few milliseconds.
marcar_c() { printf C >"$1/STATUS.ZLN"; }

# Waits until every FOLDER's STATUS.ZLN says "S" and its SERESP.ZLN names the request; sets
# listo[FOLDER] to the time it was seen, in us. Polls every 50 ms.
declare -A listo
esperar_respuestas() {  # TIMEOUT_S FOLDER...
  local limite=$(($(ahora_us) + $1 * 1000000)) d l pendientes restantes
  shift
  pendientes=("$@")
  while [ ${#pendientes[@]} -gt 0 ]; do
    restantes=()
    for d in "${pendientes[@]}"; do
      l=
      read -r -n1 l 2>/dev/null <"$d/STATUS.ZLN" || true
      if [ "$l" = S ]; then listo[$d]=$(ahora_us); else restantes+=("$d"); fi
    done
    pendientes=("${restantes[@]}")
    [ "$(ahora_us)" -lt "$limite" ] || fallo "sin respuesta en ${pendientes[*]}"
    [ ${#pendientes[@]} -eq 0 ] || pausa 0.05
  done
  for d in "$@"; do
    [ -f "$d/SERESP.ZLN" ] || fallo "$d respondio sin SERESP.ZLN"
  done
}
segundos_desde() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", (b - a) / 1e6 }'; }  # US0 US1

# --- Measurements -----------------------------------------------------------------------------------

declare -A valores  # "metric run" -> value

medir_rafaga() {  # RUN
  local r=$1 K Z d i t0 primero ultimo sueltos=()
  K=$trabajo/$r/rafaga/K Z=$trabajo/$r/rafaga/Z
  mkdir -p "$Z"
  terminales "$K" "$nrafaga"
  iniciar_zelno "$Z"
  iniciar_tramiza "$K" "$Z"
  d=$(carpeta "$K" 1)
  for i in $(seq "$nsueltos"); do
    preparar_solicitud "$d" "R$r-SUELTA-$i"
    t0=$(ahora_us)
    marcar_c "$d"
    esperar_respuestas 300 "$d"
    sueltos+=("$(segundos_desde "$t0" "${listo[$d]}")")
    pausa 1.3
  done
  valores["suelta $r"]=$(mediana "${sueltos[@]}")
  aviso "run $r: single exchange ${sueltos[*]} s"

  local carpetas=()
  for i in $(seq "$nrafaga"); do
    d=$(carpeta "$K" "$i")
    preparar_solicitud "$d" "R$r-RAFAGA-$i"
    carpetas+=("$d")
  done
  t0=$(ahora_us)
  for d in "${carpetas[@]}"; do marcar_c "$d"; done
  aviso "run $r: $nrafaga requests written in $(segundos_desde "$t0" "$(ahora_us)") s"
  esperar_respuestas 900 "${carpetas[@]}"
  primero=${listo[${carpetas[0]}]} ultimo=$primero
  for d in "${carpetas[@]}"; do
    if ((listo[$d] < primero)); then primero=${listo[$d]}; fi
    if ((listo[$d] > ultimo)); then ultimo=${listo[$d]}; fi
  done
  valores["rafaga $r"]=$(segundos_desde "$t0" "$ultimo")
  valores["rafaga1 $r"]=$(segundos_desde "$t0" "$primero")
  aviso "run $r: burst of $nrafaga answered in ${valores["rafaga $r"]} s (first in ${valores["rafaga1 $r"]} s)"
  terminar_tramiza
  parar_zelno
}

# One round: a request in each of the first N terminals of K, numbered after FROM, all marked "C"
# together; returns once every one says "S".
ronda_de_intercambios() {  # K RUN FROM N
  local K=$1 r=$2 desde=$3 cuantos=$4 i d carpetas=()
  for i in $(seq "$cuantos"); do
    d=$(carpeta "$K" "$i")
    preparar_solicitud "$d" "R$r-INTERCAMBIO-$((desde + i))"
    carpetas+=("$d")
  done
  for d in "${carpetas[@]}"; do marcar_c "$d"; done
  esperar_respuestas 900 "${carpetas[@]}"
}

medir_reposo_e_intercambios() {  # RUN
  local r=$1 K Z i n k pid_bucle ciclos0 ciclos1 a0 a1 b0 b1 h0 h1 s0 s1 t0 t1
  K=$trabajo/$r/reposo/K Z=$trabajo/$r/reposo/Z
  mkdir -p "$Z"
  terminales "$K" "$nterm"
  for i in $(seq "$nterm"); do printf S >"$(carpeta "$K" "$i")/STATUS.ZLN"; done
  iniciar_zelno "$Z"
  iniciar_tramiza "$K" "$Z"

  # The bare loop beside it, over the same folders, for a little longer than the measurement.
  wine_reintentando "$bucle" --dir "$(win "$K")" --vueltas $((segundos + 15)) >/dev/null 2>&1 </dev/null &
  local lanzador_bucle=$!
  pid_bucle=$(esperar_pid bucle_desnudo.exe)
  sleep 5
  ciclos0=$(c consulta frmPuleo TramizaEstadoPrueba Ciclos | tr -d '\r')
  h0="$(hilos "$pid_tramiza")/$(hilos "$pid_bucle")"
  a0=$(cpu_ns "$pid_tramiza") b0=$(cpu_ns "$pid_bucle") s0=$(cpu_ms "$pid_tramiza") t0=$(ahora_us)
  sleep "$segundos"
  a1=$(cpu_ns "$pid_tramiza") b1=$(cpu_ns "$pid_bucle") s1=$(cpu_ms "$pid_tramiza") t1=$(ahora_us)
  h1="$(hilos "$pid_tramiza")/$(hilos "$pid_bucle")"
  ciclos1=$(c consulta frmPuleo TramizaEstadoPrueba Ciclos | tr -d '\r')
  [ "$h0" = "$h1" ] || aviso "run $r: threads changed during the idle measurement ($h0 -> $h1)"
  wait "$lanzador_bucle" || true
  local seg
  seg=$(segundos_desde "$t0" "$t1")
  valores["reposo_ms $r"]=$(awk -v a="$a0" -v b="$a1" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')
  valores["bucle_ms $r"]=$(awk -v a="$b0" -v b="$b1" 'BEGIN { printf "%.1f", (b - a) / 1e6 }')
  valores["razon $r"]=$(awk -v a=$((a1 - a0)) -v b=$((b1 - b0)) 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  valores["hora $r"]=$(awk -v a=$((a1 - a0)) -v s="$seg" 'BEGIN { printf "%.1f", a / 1e9 / s * 3600 }')
  valores["reposo_stat $r"]=$((s1 - s0))
  valores["ciclos $r"]=$((ciclos1 - ciclos0))
  aviso "run $r: idle ${seg} s, $((ciclos1 - ciclos0)) ticks: Tramiza ${valores["reposo_ms $r"]} ms" \
    "(stat $((s1 - s0)) ms), bare loop ${valores["bucle_ms $r"]} ms, ratio ${valores["razon $r"]}"
  local reposo_ns_por_tick
  reposo_ns_por_tick=$(awk -v a=$((a1 - a0)) -v n=$((ciclos1 - ciclos0)) 'BEGIN { printf "%.0f", a / n }')

  # Exchanges, in rounds of one request per terminal.
  ciclos0=$(c consulta frmPuleo TramizaEstadoPrueba Ciclos | tr -d '\r')
  s0=$(cpu_ms "$pid_tramiza") t0=$(ahora_us)
  n=0
  while [ "$n" -lt "$nint" ]; do
    k=$((nint - n < nterm ? nint - n : nterm))
    ronda_de_intercambios "$K" "$r" "$n" "$k"
    n=$((n + k))
  done
  s1=$(cpu_ms "$pid_tramiza") t1=$(ahora_us)
  # A program that serves the terminals one after another makes no ticks while it serves them.
  ciclos1=$(c consulta frmPuleo TramizaEstadoPrueba Ciclos | tr -d '\r')
  seg=$(segundos_desde "$t0" "$t1")
  valores["intercambio $r"]=$(awk -v c=$((s1 - s0)) -v n="$nint" 'BEGIN { printf "%.1f", c / n }')
  valores["intercambio_neto $r"]=$(awk -v c=$((s1 - s0)) -v n="$nint" -v t="$reposo_ns_por_tick" \
    -v k=$((ciclos1 - ciclos0)) 'BEGIN { printf "%.1f", (c - t * k / 1e6) / n }')
  valores["intercambios_s $r"]=$seg
  valores["intercambio_ciclos $r"]=$((ciclos1 - ciclos0))

  # Then three more rounds (over 12 s: each takes the 4 s of waits at least), with a message to the
  # main window every 100 ms for the first 8 s, timed until it is answered. Kept apart from the
  # figures above: each message wakes the window, and that CPU is the probe's, not the exchanges'.
  # Their CPU per exchange is reported beside, probe included. A fixed count of rounds, so that
  # bench/contar-peticiones.sh can take differences between runs.
  local latencia=$trabajo/$r/latencia sonda sondeados=0 c0 c1
  c latencia frmPuleo 8000 100 >"$latencia" 2>&1 &
  sonda=$!
  c0=$(cpu_ms "$pid_tramiza")
  for i in 1 2 3; do
    k=$((nint < nterm ? nint : nterm))
    ronda_de_intercambios "$K" "$r" "$((n + sondeados))" "$k"
    sondeados=$((sondeados + k))
  done
  c1=$(cpu_ms "$pid_tramiza")
  valores["intercambio_sondeado $r"]=$(awk -v c=$((c1 - c0)) -v n="$sondeados" 'BEGIN { printf "%.1f", c / n }')
  wait "$sonda" || true
  local medida
  medida=$(tr -d '\r' <"$latencia")
  [[ $medida =~ maximo_ms=([0-9]+)\ sin_respuesta=([0-9]+) ]] || fallo "latencia sin medir: $medida"
  valores["latencia $r"]=${BASH_REMATCH[1]}
  [ "${BASH_REMATCH[2]}" = 0 ] || aviso "run $r: ${BASH_REMATCH[2]} messages to the window got no answer"
  aviso "run $r: $nint exchanges in $seg s, $((ciclos1 - ciclos0)) ticks, Tramiza $((s1 - s0)) ms of CPU;" \
    "$sondeados more with the window probed, $((c1 - c0)) ms"
  terminar_tramiza
  parar_zelno
}

# Start-up: each program started 3 times, one at a time, the bare window first; the seconds from the
# launch until its main window is there (as the conductor finds it, for both alike), and the CPU of
# its process one second later (the run time of its threads, in ms), its first tick included for
# Tramiza.exe.
medir_arranque() {  # RUN
  local r=$1 K Z i p t0 seg_t=() seg_v=() cpu_t=() cpu_v=()
  K=$trabajo/$r/arranque/K Z=$trabajo/$r/arranque/Z
  mkdir -p "$Z"
  terminales "$K" "$nterm"
  for i in $(seq "$nterm"); do printf S >"$(carpeta "$K" "$i")/STATUS.ZLN"; done
  iniciar_zelno "$Z"
  tramiza_ajustes "$(win "$K")" "$(win "$Z")" 1 0 1 1 "$(win "$zelno32") --dir $(win "$Z")" ||
    fallo "no se pueden escribir los ajustes"
  for i in 1 2 3; do
    t0=$(ahora_us)
    tramiza_lanzar "$(win "$ventana")"
    c esperar-ventana VentanaDesnuda - 60000 >/dev/null || fallo "no aparecio la ventana desnuda"
    seg_v+=("$(segundos_desde "$t0" "$(ahora_us)")")
    p=$(esperar_pid ventana_desnuda.exe)
    pausa 1
    cpu_v+=("$(($(cpu_ns "$p") / 1000000))")
    c cerrar VentanaDesnuda >/dev/null
    c esperar-procesos ventana_desnuda.exe 0 30000 >/dev/null || fallo "la ventana desnuda no termina"
    tramiza_esperar_escritorios

    t0=$(ahora_us)
    tramiza_iniciar "$tramiza" || fallo "no aparecio la ventana de Tramiza.exe"
    seg_t+=("$(segundos_desde "$t0" "$(ahora_us)")")
    p=$(esperar_pid Tramiza.exe)
    pausa 1
    cpu_t+=("$(($(cpu_ns "$p") / 1000000))")
    terminar_tramiza
  done
  parar_zelno
  valores["arranque_s $r"]=$(mediana "${seg_t[@]}")
  valores["arranque_desnuda_s $r"]=$(mediana "${seg_v[@]}")
  valores["arranque_razon_s $r"]=$(awk -v a="${valores["arranque_s $r"]}" -v b="${valores["arranque_desnuda_s $r"]}" \
    'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  valores["arranque_cpu $r"]=$(mediana "${cpu_t[@]}")
  valores["arranque_desnuda_cpu $r"]=$(mediana "${cpu_v[@]}")
  valores["arranque_razon_cpu $r"]=$(awk -v a="${valores["arranque_cpu $r"]}" \
    -v b="${valores["arranque_desnuda_cpu $r"]}" 'BEGIN { printf "%.2f", (b > 0 ? a / b : 0) }')
  aviso "run $r: start-up Tramiza ${seg_t[*]} s, ${cpu_t[*]} ms of CPU; bare window ${seg_v[*]} s, ${cpu_v[*]} ms"
}

# Every run starts with no records of exchanges in the prefix, as a shop's program folder holds
# records only for its own tills: each run's terminal folders are new, and the records of earlier
# runs' folders would pile up there by the thousand (under Wine, a file made anew in a folder costs
# a look through every name in it).
olvidar_fichas() {
  local d
  for d in "$WINEPREFIX"/drive_c/users/*/AppData/Local/Tramiza; do
    [ -d "$d" ] && rm -rf "$d/Intercambios" "$d/NoEntregadas"
  done
  return 0
}

mediana() {
  printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END {
    if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

carga() { sed 's/^.*load average: //' <(uptime); }

# --- Runs and the table -----------------------------------------------------------------------------

aviso "measuring $tramiza in $WINEPREFIX, $reps runs"
cargas=("$(carga)")
for r in $(seq "$reps"); do
  olvidar_fichas
  medir_arranque "$r"
  medir_rafaga "$r"
  medir_reposo_e_intercambios "$r"
  cargas+=("$(carga)")
done

fila() {  # LABEL METRIC
  local r vs=() linea
  linea=$(printf '%-44s' "$1")
  for r in $(seq "$reps"); do
    vs+=("${valores["$2 $r"]}")
    linea+=$(printf ' %9s' "${valores["$2 $r"]}")
  done
  printf '%s %9s\n' "$linea" "$(mediana "${vs[@]}")"
}

echo
echo "Tramiza.exe: $tramiza"
echo "load average (1, 5, 15 min) at start and after each run: $(printf '[%s] ' "${cargas[@]}")"
cabecera=$(printf '%-44s' "")
for r in $(seq "$reps"); do cabecera+=$(printf ' %9s' "run $r"); done
printf '%s %9s\n' "$cabecera" median
fila "single exchange, s" suelta
fila "burst of $nrafaga: all answered, s" rafaga
fila "burst of $nrafaga: first answered, s" rafaga1
fila "idle $nterm terminals ${segundos} s: Tramiza CPU, ms" reposo_ms
fila "idle: bare loop CPU, same seconds, ms" bucle_ms
fila "idle: ratio Tramiza / bare loop" razon
fila "idle: ticks counted" ciclos
fila "idle: Tramiza CPU per hour, s" hora
fila "start-up: Tramiza, to its window, s" arranque_s
fila "start-up: bare window, to its window, s" arranque_desnuda_s
fila "start-up: ratio of the times" arranque_razon_s
fila "start-up: Tramiza CPU 1 s after, ms" arranque_cpu
fila "start-up: bare window CPU 1 s after, ms" arranque_desnuda_cpu
fila "start-up: ratio of the CPU" arranque_razon_cpu
fila "CPU per exchange ($nint on $nterm terminals), ms" intercambio
fila "  net of its ticks meanwhile, ms" intercambio_neto
fila "  ticks meanwhile" intercambio_ciclos
fila "  time for the $nint exchanges, s" intercambios_s
fila "  with a message to the window every 100 ms, ms" intercambio_sondeado
fila "window: longest answer to a message, ms" latencia
