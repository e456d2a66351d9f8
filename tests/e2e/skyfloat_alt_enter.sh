#!/bin/sh
# Alt+Enter in the real game with no window manager: the 800 x 600 window becomes full
# screen (covering the 1280 x 720 display, the picture centred between black bars), and a
# second Alt+Enter brings back the framed 800 x 600 window.
BIN=$1
DATA=$2
if [ -z "$ZAN_OWN_DISPLAY" ]; then
  command -v xvfb-run >/dev/null || { echo "xvfb-run missing: skipped"; exit 77; }
  ZAN_OWN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1280x720x24" sh "$0" "$@"
fi
command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
cp -r "$DATA" "$WORK/data"
cd "$WORK/data" || exit 1
fail() { echo "FAIL: $*"; kill -TERM "$PID" 2>/dev/null; exit 1; }
geometry() { xwininfo -id "$WIN" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}'; }
brightest() { /usr/bin/convert "$WORK/shot.png" -crop "$1" -format '%[fx:int(255*maxima)]' info:; }
# Waits up to five seconds for the window to take the given size.
await() {
  for i in $(seq 1 25); do [ "$(geometry)" = "$1" ] && return 0; sleep 0.2; done
  return 1
}

"$BIN" >"$WORK/out" 2>&1 &
PID=$!
WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
[ -n "$WIN" ] || fail "the game window did not appear"
await 800x600 || fail "the window starts as $(geometry), not 800x600"
sleep 1
xdotool key alt+Return
await 1280x720 || fail "Alt+Enter left the window at $(geometry)"
sleep 1
/usr/bin/import -window root "$WORK/shot.png" || fail "no screenshot"
[ "$(brightest 960x720+160+0)" -gt 64 ] || fail "full screen shows no picture"
[ "$(brightest 160x720+0+0)" -eq 0 ] || fail "something drawn in the left bar"
[ "$(brightest 160x720+1120+0)" -eq 0 ] || fail "something drawn in the right bar"
xdotool key alt+Return
await 800x600 || fail "the second Alt+Enter left the window at $(geometry)"
kill -0 "$PID" 2>/dev/null || fail "the game ended"
xdotool key Escape
for i in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PID" 2>/dev/null && fail "the game did not end"
wait "$PID"
echo "PASS"
rm -rf "$WORK"
