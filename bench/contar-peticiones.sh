#!/usr/bin/env bash
# Counts the requests that Tramiza.exe makes to the Wine server, beside bucle_desnudo.exe (the bare
# loop of bench/medir-wine.sh): per idle tick and per exchange. A second measurement beside the CPU
# times of bench/medir-wine.sh: under Wine nearly every file call, wait and message is a request, and
# their number does not move with the machine's load, where CPU times on a shared machine vary by a
# third from one run to the next.
#
#   bench/contar-peticiones.sh [--tramiza PATH] [--terminales 10] [--intercambios 40]
#
# Three runs of bench/medir-wine.sh with the server tracing every request (WINEDEBUG=+server): idle
# 10 s and 10 exchanges; idle 40 s and 10 exchanges; idle 10 s and 10 + --intercambios exchanges.
# The differences give the requests of one idle tick (Tramiza.exe, and the bare loop's round over the
# same terminals) and of one exchange, by kind. The trace makes every request slower: the times that
# bench/medir-wine.sh prints meanwhile mean nothing here.
set -euo pipefail
export LC_ALL=C

raiz=$(cd "$(dirname "$0")/.." && pwd)
tramiza=() nterm=10 nint=40
while [ $# -gt 0 ]; do
  [ $# -ge 2 ] || { sed -n '8p' "$0" >&2; exit 2; }
  case $1 in
    --tramiza) tramiza=(--tramiza "$2") ;;
    --terminales) nterm=$2 ;;
    --intercambios) nint=$2 ;;
    *) sed -n '8p' "$0" >&2; exit 2 ;;
  esac
  shift 2
done

export WINEPREFIX=${WINEPREFIX:-$HOME/.wine-tramiza-medir}
trabajo=$(mktemp -d "${TMPDIR:-/tmp}/contar-peticiones.XXXXXX")
trap 'WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true; rm -rf "$trabajo"' EXIT

# Requests by program and kind, from a server trace: "PROGRAM KIND COUNT" lines, the processes of one
# program added up. A thread belongs to the process of its first request, or of the thread that made it.
contar() {  # TRACE
  awk '
    match($0, /^[0-9a-f]+: /) {
      tid = substr($0, 1, RLENGTH - 2)
      resto = substr($0, RLENGTH + 1)
      if (resto !~ /^[a-z_0-9]+\(/) next
      pedido = resto; sub(/\(.*/, "", pedido)
      respuesta = (index(resto, pedido "() = ") == 1)
      if (pedido == "init_first_thread" && respuesta && match(resto, /pid=[0-9a-f]+/))
        pid[tid] = substr(resto, RSTART + 4, RLENGTH - 4)
      if (pedido == "new_thread" && respuesta && (tid in pid) && match(resto, / tid=[0-9a-f]+/))
        pid[substr(resto, RSTART + 5, RLENGTH - 5)] = pid[tid]
      if (pedido == "get_startup_info" && respuesta && (tid in pid) && !(pid[tid] in nombre) &&
          match(resto, /imagepath=L"[^"]*"/)) {
        n = substr(resto, RSTART + 11, RLENGTH - 12); sub(/.*\\/, "", n)
        nombre[pid[tid]] = n
      }
      # A program started from Linux has no start-up record: its name is that of the first
      # program file it opens, its own.
      if (pedido == "create_file" && !respuesta && (tid in pid) && !(pid[tid] in nombre) &&
          match(resto, /name=L"[^"]*\.[eE][xX][eE]"/)) {
        n = substr(resto, RSTART + 7, RLENGTH - 8); sub(/.*\\/, "", n)
        nombre[pid[tid]] = n
      }
      if (!respuesta && (tid in pid)) cuenta[pid[tid] SUBSEP pedido]++
    }
    END {
      for (k in cuenta) {
        split(k, p, SUBSEP)
        if (p[1] in nombre) suma[nombre[p[1]] SUBSEP p[2]] += cuenta[k]
      }
      for (k in suma) {
        split(k, p, SUBSEP)
        print p[1], p[2], suma[k]
      }
    }' "$1"
}

# One run of bench/medir-wine.sh under the trace: the counts, and the idle ticks it counted.
medir() {  # NAME IDLE_S EXCHANGES
  local traza=$trabajo/$1.traza
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  sleep 1
  WINEDEBUG=+server wineserver -p >/dev/null 2>"$traza" </dev/null
  WINEDEBUG=+server bash "$raiz/bench/medir-wine.sh" "${tramiza[@]}" --repeticiones 1 --terminales "$nterm" \
    --segundos-reposo "$2" --intercambios "$3" --rafaga 1 --sueltos 1 >"$trabajo/$1.salida" 2>&1 ||
    { cat "$trabajo/$1.salida" >&2; exit 1; }
  WINEPREFIX=$WINEPREFIX wineserver -k 2>/dev/null || true
  sleep 1
  contar "$traza" >"$trabajo/$1.cuenta"
  awk '/^idle: ticks counted/ { print $4 }' "$trabajo/$1.salida" >"$trabajo/$1.ciclos"
}

echo "counting, three runs of bench/medir-wine.sh under the server's trace..." >&2
medir base 10 10
medir reposo 40 10
medir intercambios 10 $((10 + nint))

# Per unit: (count in run B - count in run A) / units, by kind, for the program named.
por() {  # PROGRAM RUN_A RUN_B UNITS
  awk -v prog="$1" -v u="$4" '
    FILENAME == ARGV[1] && $1 == prog { a[$2] = $3 }
    FILENAME == ARGV[2] && $1 == prog { b[$2] = $3 }
    END {
      for (k in b) { d = (b[k] - a[k]) / u; t += d; if (d >= 0.05 || d <= -0.05) printf "  %8.1f  %s\n", d, k }
      for (k in a) if (!(k in b)) { d = -a[k] / u; t += d }
      printf "  %8.1f  total\n", t
    }' "$trabajo/$2.cuenta" "$trabajo/$3.cuenta" | sort -k1,1gr
}

ticks=$(($(cat "$trabajo/reposo.ciclos") - $(cat "$trabajo/base.ciclos")))
echo "requests to the Wine server, $nterm terminals"
echo "one idle tick of Tramiza.exe ($ticks ticks):"
por Tramiza.exe base reposo "$ticks"
echo "one round of the bare loop over the same terminals (30 rounds):"
por bucle_desnudo.exe base reposo 30
echo "one exchange of Tramiza.exe ($nint exchanges):"
por Tramiza.exe base intercambios "$nint"
