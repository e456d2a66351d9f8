#!/bin/sh
# Escape pressed the moment the window appears, while the game is still starting, must end
# the game every time (three starts).
BIN=$1
DATA=$2
[ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
cp -r "$DATA" "$WORK/data"
cd "$WORK/data" || exit 1
fail() { echo "FAIL: $*"; kill -TERM "$PID" 2>/dev/null; exit 1; }

for try in 1 2 3; do
  "$BIN" >"$WORK/out" 2>&1 &
  PID=$!
  WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
  [ -n "$WIN" ] || fail "the game window did not appear"
  xdotool mousemove --window "$WIN" 400 300 key Escape
  for i in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$PID" 2>/dev/null && fail "start $try: Escape was lost"
  wait "$PID"
  STATUS=$?
  [ "$STATUS" -eq 0 ] || fail "start $try: exit status $STATUS"
done
echo "PASS"
rm -rf "$WORK"
