# Sourced by test.sh and demo.sh, with WINEPREFIX set: the Wine prefix (64-bit with 32-bit
# support) is made once, before anything runs in it, and its server is kept up for the run.
# Sets own_wineserver when this script started the server, so the caller stops it, and only then.
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Creating the Wine prefix $WINEPREFIX"
  WINEARCH=win64 wineboot --init >/dev/null 2>&1
  wineserver -w
fi
bash scripts/wine-fonts.sh
# Is this prefix's server already up (the user's own Wine session)? Then it is not ours to stop.
# (Its socket sits in a folder named after the prefix's device and inode.)
servidor="server-$(printf '%x-%x' $(stat -c '%d %i' "$WINEPREFIX"))"
own_wineserver=1
for s in /tmp/wine-*/"$servidor"/socket /tmp/.wine-"$(id -u)"/"$servidor"/socket; do [ -S "$s" ] && own_wineserver=; done
# The server and Wine's own services start here, detached from the callers' pipes: a service
# started by a test would inherit that test's output pipe, and ctest would wait for it forever.
wineserver -p >/dev/null 2>&1 </dev/null || true  # already up is fine
wine cmd /c exit >/dev/null 2>&1 </dev/null || true
