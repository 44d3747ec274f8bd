#!/usr/bin/env bash
# Runs shellcheck at warning level over every shell script of the tree: the files ending in .sh and
# those whose first line runs a shell. Lists what it checked; fails on the first warning.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 2
command -v shellcheck >/dev/null || { echo "shellcheck is missing: run scripts/install-deps.sh" >&2; exit 2; }

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
  mapfile -t archivos < <(git ls-files --cached --others --exclude-standard)
else
  mapfile -t archivos < <(find . -path ./build -prune -o -type f -print | sed 's|^\./||')
fi
guiones=()
for f in "${archivos[@]}"; do
  [ -f "$f" ] || continue
  case $f in
    build/*) ;;
    *.sh) guiones+=("$f") ;;
    *) if head -n1 "$f" 2>/dev/null | grep -qE '^#!.*\b(ba|da)?sh\b'; then guiones+=("$f"); fi ;;
  esac
done
echo "shellcheck: ${#guiones[@]} scripts"
shellcheck --severity=warning --external-sources "${guiones[@]}"
