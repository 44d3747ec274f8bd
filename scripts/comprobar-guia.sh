#!/usr/bin/env bash
# The staff guide's tables against the code, both ways: every checkpoint, every message box and every
# installer message that the code can show has its row, and no row names one that it cannot.
#
#   scripts/comprobar-guia.sh [GUIDE]    (default docs/guia-tienda.md)
#
# What the code can show is read from the code itself, never from a list kept by hand:
# - the checkpoints from the table in src/bridge/puntos_control.h, which is the only way a turn can
#   name its step (a literal outside it does not compile). The table must also hold exactly the
#   literals that the cycle's steps use, so that no checkpoint stays in it after its step is gone;
# - the titles and texts of the program's boxes from src/config/textos_mensajes.h ({...} stands for
#   what a text takes from the moment; a line break is written as a blank). A box whose words are
#   written anywhere else in src/ is an error of its own;
# - the installer's and uninstaller's boxes from installer/tramiza.nsi: the first paragraph of each
#   MessageBox, $INSTDIR written {carpeta} and ${X} written {x}.
# In the guide, a table follows a line "<!-- comprobar-guia: puntos-control -->" (its first column is
# the checkpoint), "<!-- comprobar-guia: mensajes -->" (the `quoted` parts of its first column are
# titles, of its second column texts) or "<!-- comprobar-guia: instalador -->" (the `quoted` parts of
# its first column). Blanks at either end of a quoted part do not count.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

guia=${1:-docs/guia-tienda.md}
puntos_h=src/bridge/puntos_control.h
mensajes_h=src/config/textos_mensajes.h
nsi=installer/tramiza.nsi
for f in "$guia" "$puntos_h" "$mensajes_h" "$nsi"; do
  [ -f "$f" ] || { echo "comprobar-guia: $f is missing" >&2; exit 2; }
done

fallos=0
falla() { echo "FAILED: $*"; fallos=$((fallos + 1)); }

# Lines between "// BEGIN what" and "// END what" of a file.
bloque() {  # FILE WHAT
  sed -n "\\|// BEGIN $2\$|,\\|// END $2\$|p" "$1"
}

# The rows of the tables that follow the marker, one cell per line for column COLUMN (1-based).
celdas() {  # MARKER COLUMN
  awk -v marca="<!-- comprobar-guia: $1 -->" -v col="$2" '
    $0 == marca { dentro = 1; tabla = 0; next }
    dentro && /^\|/ { tabla = 1; n = split($0, c, "|"); if (col + 1 <= n) print c[col + 1]; next }
    dentro && tabla { dentro = 0 }
  ' "$guia"
}

# Every `quoted` part of the lines read, trimmed, one per line.
citas() {
  grep -o '`[^`]*`' | sed -E 's/^`[[:space:]]*//; s/[[:space:]]*`$//'
}

# Compares two sorted, unique lists: what the code has and the guide lacks, and the other way.
comparar() {  # WHAT CODE_LIST GUIDE_LIST
  local falta sobra
  falta=$(comm -23 <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed '/^$/d')
  sobra=$(comm -13 <(printf '%s\n' "$2") <(printf '%s\n' "$3") | sed '/^$/d')
  [ -z "$falta" ] || while IFS= read -r x; do falla "$1 the code can show, missing from $guia: $x"; done <<<"$falta"
  [ -z "$sobra" ] || while IFS= read -r x; do falla "$1 in $guia that the code cannot show: $x"; done <<<"$sobra"
  echo "$1: $(printf '%s\n' "$2" | sed '/^$/d' | wc -l) in the code, $(printf '%s\n' "$3" | sed '/^$/d' | wc -l) in the guide"
}

export LC_ALL=C

# --- Checkpoints ---
puntos=$(bloque "$puntos_h" "puntos control" | grep -o '"[^"]*"' | tr -d '"' | sort -u)
[ -n "$puntos" ] || falla "no checkpoint table in $puntos_h"
# The literals of the steps: the files of a turn (those that include its steps' header) use no other
# number in quotes.
mapfile -t pasos < <(grep -l '#include "bridge/pasos_turno.h"' src/bridge/*.cpp)
usados=$(grep -ho '"[0-9][0-9.]*"' "${pasos[@]}" | tr -d '"' | sort -u)
while IFS= read -r p; do
  [ -n "$p" ] && falla "checkpoint $p is in $puntos_h, but no step of ${pasos[*]} sets it"
done < <(comm -23 <(printf '%s\n' "$puntos") <(printf '%s\n' "$usados"))
filas=$(celdas puntos-control 1 | sed -E 's/^[[:space:]]+//; s/[[:space:]]+$//' | grep -E '^[0-9]+(\.[0-9]+)?$' | sort -u)
duplicadas=$(celdas puntos-control 1 | sed -E 's/^[[:space:]]+//; s/[[:space:]]+$//' |
  grep -E '^[0-9]+(\.[0-9]+)?$' | sort | uniq -d)
[ -z "$duplicadas" ] || falla "checkpoints with more than one row in $guia: $(echo "$duplicadas" | tr '\n' ' ')"
comparar "checkpoint" "$puntos" "$filas"

# --- The program's message boxes ---
# Each definition from its name to its ";", its literals joined; \" is a quote, a line break a blank.
definiciones=$(bloque "$mensajes_h" mensajes | awk '
  /inline constexpr char k/ { nombre = $0; sub(/.*inline constexpr char /, "", nombre); sub(/\[.*/, "", nombre); texto = "" }
  { linea = $0
    while (match(linea, /"([^"\\]|\\.)*"/)) { texto = texto substr(linea, RSTART + 1, RLENGTH - 2); linea = substr(linea, RSTART + RLENGTH) } }
  /;[[:space:]]*$/ && nombre != "" { print nombre "\t" texto; nombre = "" }
' | sed -E 's/\\r\\n/ /g; s/\\r/ /g; s/\\"/"/g')
recortar() { sed -E 's/^[[:space:]]+//; s/[[:space:]]+$//' | sort -u; }
titulos=$(awk -F'\t' '$1 ~ /^kTitulo/ { print $2 }' <<<"$definiciones" | recortar)
textos=$(awk -F'\t' '$1 ~ /^kTexto/ { print $2 }' <<<"$definiciones" | recortar)
[ -n "$titulos" ] && [ -n "$textos" ] || falla "no titles or texts in $mensajes_h"
comparar "message title" "$titulos" "$(celdas mensajes 1 | citas | recortar)"
comparar "message text" "$textos" "$(celdas mensajes 2 | citas | recortar)"

# Words of a box written outside the header: a call that shows a box, up to its ";", holding a literal
# with letters in it.
while IFS= read -r f; do
  awk -v f="$f" '
    /(MostrarMensaje|MostrarSinAnotar|Caja|MessageBoxA|BloqueoConAviso)\(/ && !/^[[:space:]]*\/\// { dentro = 1; desde = FNR; texto = "" }
    dentro { texto = texto $0; if ($0 ~ /;[[:space:]]*$/ || $0 ~ /\{[[:space:]]*$/ || FNR - desde > 8) {
      dentro = 0
      while (match(texto, /"([^"\\]|\\.)*"/)) {
        if (substr(texto, RSTART, RLENGTH) ~ /[[:alpha:]][[:alpha:]]/) {
          print "FAILED: " f ":" desde ": the words of a box belong in src/config/textos_mensajes.h"; break
        }
        texto = substr(texto, RSTART + RLENGTH)
      } } }
  ' "$f"
done < <(find src -name '*.cpp' -o -name '*.h' | grep -v "^$mensajes_h\$" | sort) >"${TMPDIR:-/tmp}/comprobar-guia.$$"
if [ -s "${TMPDIR:-/tmp}/comprobar-guia.$$" ]; then
  cat "${TMPDIR:-/tmp}/comprobar-guia.$$"
  fallos=$((fallos + $(wc -l <"${TMPDIR:-/tmp}/comprobar-guia.$$")))
fi
rm -f "${TMPDIR:-/tmp}/comprobar-guia.$$"

# --- The installer's boxes ---
instalador=$(awk '
  /^!define (TEXTO_[A-Z_]+|MULTIUSER_INIT_TEXT_[A-Z_]+) "/ {
    nombre = $2; texto = $0; sub(/^[^"]*"/, "", texto); sub(/"[^"]*$/, "", texto); def[nombre] = texto
    if (nombre ~ /^MULTIUSER_INIT_TEXT_/) print texto
  }
  /^[[:space:]]*MessageBox / {
    texto = $0; sub(/^[^"]*"/, "", texto); sub(/" \/SD.*$/, "", texto); sub(/"[^"]*$/, "", texto)
    if (match(texto, /^\$\{[A-Z_]+\}$/)) texto = def[substr(texto, 3, length(texto) - 3)]
    print texto
  }
' "$nsi" | sed -E 's/\$\\r\$\\n.*//; s/\$INSTDIR/{carpeta}/g; s/\$\{([A-Z_]+)\}/{\L\1}/g' | recortar)
[ -n "$instalador" ] || falla "no MessageBox in $nsi"
comparar "installer message" "$instalador" "$(celdas instalador 1 | citas | recortar)"

if [ "$fallos" -ne 0 ]; then
  echo "comprobar-guia: $fallos differences between $guia and the code"
  exit 1
fi
echo "comprobar-guia: $guia has a row for each checkpoint and message of the code, and none other"
