#!/bin/sh
# Full screen on a wide display with no window manager: the window covers the display and the
# 800 x 600 picture fills its height, centred, with black bars left and right (aspect kept).
# Runs on a virtual X server of its own, 1280 x 720, so the display's shape is known.
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
iconv -f GBK -t UTF-8 Autoexec.cfg | sed 's/^窗口模式=.*/窗口模式=0/' | iconv -f UTF-8 -t GBK >full.cfg
mv full.cfg Autoexec.cfg
fail() { echo "FAIL: $*"; kill -TERM "$PID" 2>/dev/null; exit 1; }
# Brightest channel value (0-255) inside a rectangle WxH+X+Y of the screenshot.
brightest() { /usr/bin/convert "$WORK/shot.png" -crop "$1" -format '%[fx:int(255*maxima)]' info:; }

"$BIN" >"$WORK/out" 2>&1 &
PID=$!
WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
[ -n "$WIN" ] || fail "the game window did not appear"
sleep 1
xdotool key F1   # the frame-rate text, at the picture's top left corner
sleep 1.5
/usr/bin/import -window root "$WORK/shot.png" || fail "no screenshot"
GEOMETRY=$(xwininfo -id "$WIN" | awk '/Width:/{w=$2} /Height:/{h=$2} END{print w "x" h}')
[ "$GEOMETRY" = "1280x720" ] || fail "the window is $GEOMETRY, not the display's 1280x720"
# The picture is 960 x 720 at x = 160; the text sits in its top left corner.
[ "$(brightest 300x40+160+0)" -gt 128 ] || fail "the picture's top left corner shows nothing"
[ "$(brightest 160x720+0+0)" -eq 0 ] || fail "something drawn in the left bar"
[ "$(brightest 160x720+1120+0)" -eq 0 ] || fail "something drawn in the right bar"
[ "$(brightest 150x40+0+0)" -eq 0 ] || fail "the picture is not scaled into place"
xdotool key Escape
for i in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PID" 2>/dev/null && fail "the game did not end"
wait "$PID"
echo "PASS"
rm -rf "$WORK"
