#!/usr/bin/env bash
# Builds the libFuzzer targets (preset fuzz: clang, ASan, UBSan) and runs each one over a scratch
# copy of its seeds in tests/fuzz/semillas/<target>/, SECONDS seconds each (default 5; 0 for no time
# limit). Any further arguments go to every target as libFuzzer options, e.g. for a long run:
#   scripts/fuzz.sh 0 -runs=1000000
# Prints one line per target; fails when a target fails to build, crashes, leaks, hangs or breaks
# one of its checks. The input that did it is kept in build/fuzz/hallazgos/.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1

segundos=${1:-5}
shift $(( $# > 0 ? 1 : 0 ))
case "$segundos" in ''|*[!0-9]*) echo "usage: scripts/fuzz.sh [SECONDS] [libFuzzer options...]"; exit 2 ;; esac

build=build/fuzz
echo "=== fuzz: configure and build"
if ! { cmake --preset fuzz >/dev/null && cmake --build --preset fuzz -j "$(nproc)" >/dev/null; }; then
  echo "fuzz: the build failed"
  cmake --build --preset fuzz 2>&1 | tail -30
  exit 1
fi

export ASAN_OPTIONS="${ASAN_OPTIONS:-detect_leaks=1}"
export UBSAN_OPTIONS="${UBSAN_OPTIONS:-print_stacktrace=1}"

targets=(
  fuzz_letra_status
  fuzz_ficha_intercambio
  fuzz_codigo_empresa_clicab
  fuzz_tabla_empresas
  fuzz_respuesta_error_comunicacion
  fuzz_conversiones_numero
  fuzz_listas_recientes
  fuzz_archivo_ajustes
  fuzz_titular_cerrojo
)
limite=()
[ "$segundos" -gt 0 ] && limite=(-max_total_time="$segundos")

mkdir -p "$build/hallazgos" "$build/registros" "$build/lineas"
# One target over a fresh scratch corpus from its seeds (the source tree is only read); its line goes
# to lineas/TARGET, and the exit code says whether it held.
correr() {  # TARGET
  local target=$1 corpus="$build/corpus/$1" registro="$build/registros/$1.log" inicio=$SECONDS rc entradas
  rm -rf "$corpus" && mkdir -p "$corpus" && cp tests/fuzz/semillas/"$target"/* "$corpus"/
  rm -f "$build/hallazgos/$target-"*
  "$build/tests/fuzz/$target" "${limite[@]}" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$build/hallazgos/$target-" "${opciones[@]}" "$corpus" >"$registro" 2>&1
  rc=$?
  entradas=$(sed -n 's/^stat::number_of_executed_units: *//p' "$registro" | tail -1)
  if [ $rc -eq 0 ] && [ -n "$entradas" ]; then
    printf '%-34s ok      %10s inputs in %ss\n' "$target" "$entradas" $((SECONDS - inicio))
  else
    printf '%-34s FAILED  (exit %s) after %s inputs; log: %s\n' "$target" "$rc" "${entradas:-?}" "$registro"
    grep -E '^(==[0-9]+==ERROR|SUMMARY|artifact_prefix|Test unit written|.*no se cumple)' "$registro" | head -10 | sed 's/^/    /'
    return 1
  fi
}
opciones=("$@")

# As many targets at once as there are cores; the lines in the order of the list.
status=0
pendientes=()
for target in "${targets[@]}"; do
  if [ ${#pendientes[@]} -ge "$(nproc)" ]; then
    wait "${pendientes[0]}" || status=1
    pendientes=("${pendientes[@]:1}")
  fi
  correr "$target" >"$build/lineas/$target" &
  pendientes+=($!)
done
for pid in "${pendientes[@]}"; do wait "$pid" || status=1; done
for target in "${targets[@]}"; do cat "$build/lineas/$target"; done
exit $status
