#!/usr/bin/env bash
# Starts the editor on the demo shop. Without a display it runs under Xvfb,
# writes a screenshot to the build folder and exits.
set -euo pipefail
BUILD=${1:-build}
BIN="$BUILD/bin/VakoEdit"
# The demo's own per-user settings in the build folder, made on the first run and kept as
# the user leaves them: colouring on and the toolpath panel shown. It opens a milling
# program of the demo shop on the milling machine (machine 2).
CONFIG="$(mkdir -p "$BUILD/demo-config" && cd "$BUILD/demo-config" && pwd)"
if [ ! -f "$CONFIG/Vako.conf" ]; then
  printf '[Personal]\nVakoEdit\\TekstFormatering=1\nVakoEdit\\Verktoybane=1\n' >"$CONFIG/Vako.conf"
fi
export XDG_CONFIG_HOME="$CONFIG"
PROGRAM=""
for p in Fres/LOMME.NC Fres/FLENS.NC; do
  [ -f "$BUILD/shop/$p" ] && PROGRAM="$(cd "$BUILD/shop" && pwd)/$p" && break
done
ARGS=()
[ -n "$PROGRAM" ] && ARGS=("$PROGRAM" 2)
if [ -n "${DISPLAY:-}" ]; then
  exec "$BIN" "${ARGS[@]}"
fi
[ -n "${XDG_RUNTIME_DIR:-}" ] || export XDG_RUNTIME_DIR=$(mktemp -d)
SHOT="$(cd "$BUILD" && pwd)/screenshot.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$0" "${@:2}" & pid=$!
  for i in $(seq 1 50); do
    sleep 0.2
    xwininfo -root -tree 2>/dev/null | grep -q "Skarv-Editor" && break
  done
  sleep 1
  import -window root "$1"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' "$BIN" "$SHOT" "${ARGS[@]}"
echo "Ingen skjerm: skjermbildet av Skarv-Editor ligger i $SHOT"
