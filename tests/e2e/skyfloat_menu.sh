#!/bin/sh
# The real Skyfloat in a real window: the splash, then the menu whose logo and buttons match
# the headless frame, a button lit by the pointer resting on it, "单人游戏" to the wait screen
# and "返回" back, with the menu music recorded by OpenAL Soft's wave writer and found audible.
BIN=$1
SHOTS=$2
DATA=$3
[ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
for tool in xdotool sox /usr/bin/import /usr/bin/compare; do
  command -v "$tool" >/dev/null || { echo "$tool missing: skipped"; exit 77; }
done

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR" "$WORK/ref"
cp -r "$DATA" "$WORK/data"
fail() { echo "FAIL: $*"; kill -TERM "$PID" 2>/dev/null; exit 1; }

ALSOFT_DRIVERS=null "$SHOTS" "$DATA" "$WORK/ref" >/dev/null || fail "no headless reference"

cat >"$WORK/alsoft.conf" <<CONF
[general]
drivers = wave
channels = mono
sample-type = int16
[wave]
file = $WORK/out.wav
CONF

cd "$WORK/data" || exit 1
ALSOFT_CONF="$WORK/alsoft.conf" ALSOFT_DRIVERS= "$BIN" >"$WORK/game.out" 2>&1 &
PID=$!
WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
[ -n "$WIN" ] || fail "the game window did not appear"
# Parks the pointer away from the buttons, so no hover colours the comparisons.
rest() { xdotool mousemove --window "$WIN" 20 20; }
rest

shot() { /usr/bin/import -window "$WIN" "ppm:$WORK/$1.ppm" 2>/dev/null; }
# Root-mean-square difference (0..1) of a region of a screenshot and of a reference picture
# (whose crops are made once). With LEVEL=-auto-level both are stretched to full range first,
# so a picture half faded in over black matches the picture itself.
differs() { # shot ref w h x y
  /usr/bin/convert "$WORK/$1.ppm" -crop "$3x$4+$5+$6" +repage $LEVEL "ppm:$WORK/a.ppm"
  cut="$WORK/ref/$2-$3-$4-$5-$6$LEVEL.ppm"
  [ -f "$cut" ] || /usr/bin/convert "$WORK/ref/$2.ppm" -crop "$3x$4+$5+$6" +repage $LEVEL "ppm:$cut"
  /usr/bin/compare -metric RMSE "$WORK/a.ppm" "$cut" null: 2>&1 | sed 's/.*(\(.*\))/\1/'
}
close() { awk -v d="$1" -v t="$2" 'BEGIN { exit !(d < t) }'; }
# Waits up to $2 seconds for every listed region to match the reference $1.
matches() { # ref seconds regions...
  ref=$1; secs=$2; shift 2
  regions="$*"
  i=0
  while [ "$i" -lt "$((secs * 4))" ]; do
    shot now
    ok=1
    for r in $regions; do
      d=$(differs now "$ref" $(echo "$r" | tr , ' '))
      close "$d" 0.08 || { ok=0; break; }
    done
    [ "$ok" = 1 ] && return 0
    sleep 0.1; i=$((i + 1))
  done
  echo "last difference $d in $r against $ref"
  return 1
}

# The first card, at whatever stage of its fade; then the menu some ten seconds in.
LEVEL=-auto-level
matches splash1 8 "400,300,200,150" || fail "the splash did not show"
LEVEL=
rest
LOGO="500,110,150,95"
BUTTONS="230,70,285,285 230,70,285,375 230,70,285,465"
matches menu_start 15 $LOGO $BUTTONS || fail "the menu is not where the headless frame has it"

# A pointer that only moves (no button) lights the button it rests on, and no other.
lit() { # region: waits up to 2 s for it to stand out from the unlit menu
  i=0
  while [ "$i" -lt 8 ]; do
    shot now
    close "$(differs now menu_start $(echo "$1" | tr , ' '))" 0.08 || return 0
    sleep 0.1; i=$((i + 1))
  done
  return 1
}
xdotool mousemove --window "$WIN" 400 410
lit "230,70,285,375" || fail "moving the pointer onto 双人游戏 did not light it"
matches menu_start 1 "230,70,285,285 230,70,285,465" || fail "the other buttons lit too"
rest
matches menu_start 5 $LOGO $BUTTONS || fail "the button stayed lit after the pointer left"

# Input is polled once a frame and the release is judged where the pointer is then: hold the
# button as a person does, and stay a moment after letting go.
click() { xdotool mousemove --window "$WIN" "$1" "$2" mousedown 1 sleep 0.15 mouseup 1 sleep 0.15; }
click 400 320
matches wait_start 5 "480,220,160,190" || fail "单人游戏 did not lead to the wait screen"
click 180 430
rest
matches menu_start 5 $LOGO $BUTTONS || fail "返回 did not lead back to the menu"

xdotool keydown Escape sleep 0.2 keyup Escape
# Until it has exited (a zombie waits for us to collect it), for up to 30 s.
i=0
while [ "$i" -lt 150 ] && ps -o stat= -p "$PID" | grep -qv Z; do sleep 0.2; i=$((i + 1)); done
ps -o stat= -p "$PID" | grep -qv Z && fail "the game did not end on Escape"
wait "$PID"
STATUS=$?
[ "$STATUS" -eq 0 ] || fail "the game did not end cleanly on Escape (status $STATUS)"

RMS=$(sox "$WORK/out.wav" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }')
[ -n "$RMS" ] || fail "no recording: $(cat "$WORK/game.out")"
echo "music RMS amplitude $RMS"
close 0.01 "$RMS" || fail "the menu music is not audible (RMS $RMS)"
echo "PASS"
rm -rf "$WORK"
