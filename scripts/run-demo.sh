#!/usr/bin/env bash
# Starts the editor on the demo shop. Without a display it runs under Xvfb,
# writes a screenshot to the build folder and exits.
set -euo pipefail
BUILD=${1:-build}
BIN="$BUILD/bin/VakoEdit"
if [ -n "${DISPLAY:-}" ]; then
  exec "$BIN"
fi
[ -n "${XDG_RUNTIME_DIR:-}" ] || export XDG_RUNTIME_DIR=$(mktemp -d)
SHOT="$(cd "$BUILD" && pwd)/screenshot.png"
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  "$0" & pid=$!
  for i in $(seq 1 50); do
    sleep 0.2
    xwininfo -root -tree 2>/dev/null | grep -q "Skarv-Editor" && break
  done
  sleep 1
  import -window root "$1"
  kill $pid 2>/dev/null || true
  wait $pid 2>/dev/null || true
' "$BIN" "$SHOT"
echo "Ingen skjerm: skjermbildet av Skarv-Editor ligger i $SHOT"
