#!/usr/bin/env bash
# Debian's Wine does not find its own fonts (Marlett for the title-bar buttons, Tahoma for the
# dialogs) from a prefix; copying them into the prefix's Fonts folder makes windows and
# screenshots look as they do on Windows. Only the looks change.
set -u
prefix="${WINEPREFIX:-$HOME/.wine-tramiza}"
destino="$prefix/drive_c/windows/Fonts"
[ -d /usr/share/wine/fonts ] && [ -d "$destino" ] || exit 0
for f in /usr/share/wine/fonts/*.ttf /usr/share/wine/fonts/*.ttc; do
  [ -e "$f" ] && [ ! -e "$destino/$(basename "$f")" ] && cp "$f" "$destino/"
done
exit 0
