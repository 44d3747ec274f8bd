#!/usr/bin/env bash
# Installs the Debian packages that the builds and tests need, and only those that are missing.
# Safe to run again: it does nothing when everything is already there.
set -euo pipefail

packages=(
  cmake make g++ googletest libgtest-dev libbenchmark-dev
  clang libclang-rt-dev llvm
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  wine wine64 wine32:i386 fonts-wine
  clang-format shellcheck
  xvfb xauth x11-utils imagemagick
  nsis
)

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
need_update=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi
# An apt cache without lists (fresh machine) or without i386 lists needs an update first.
if ! ls /var/lib/apt/lists/*_binary-i386_Packages* >/dev/null 2>&1 || \
   ! ls /var/lib/apt/lists/*_binary-amd64_Packages* >/dev/null 2>&1; then
  need_update=1
fi
[ $need_update -eq 1 ] && as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
