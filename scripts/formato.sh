#!/usr/bin/env bash
# The layout of the C++ sources, as .clang-format gives it (clang-format from Debian's packages).
#
#   scripts/formato.sh              formats every tracked C++ source in place
#   scripts/formato.sh --comprobar  changes nothing; lists the files whose layout differs and exits
#                                   non-zero when there is one
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2

case ${1:-} in
  "") comprobar= ;;
  --comprobar) comprobar=1 ;;
  *) echo "uso: $0 [--comprobar]" >&2; exit 2 ;;
esac
command -v clang-format >/dev/null || { echo "clang-format is missing: run scripts/install-deps.sh" >&2; exit 2; }
[ -f .clang-format ] || { echo ".clang-format is missing" >&2; exit 2; }

# The sources git tracks; a copy of the tree without git has them under these folders.
if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t fuentes < <(git ls-files -- '*.cpp' '*.h')
else
  mapfile -t fuentes < <(find src tools tests bench -type f \( -name '*.cpp' -o -name '*.h' \) | sort)
fi

if [ -z "$comprobar" ]; then
  existentes=()
  for f in "${fuentes[@]}"; do [ -f "$f" ] && existentes+=("$f"); done
  [ ${#existentes[@]} -eq 0 ] || clang-format -i --style=file "${existentes[@]}"
  exit
fi

distintos=0
for f in "${fuentes[@]}"; do
  [ -f "$f" ] || continue
  if ! clang-format --style=file "$f" | cmp -s - "$f"; then
    echo "$f"
    distintos=$((distintos + 1))
  fi
done
if [ "$distintos" -ne 0 ]; then
  echo "$distintos files differ from .clang-format's layout" >&2
  exit 1
fi
