#!/bin/sh
# A refused second copy shows its message box from a helper process; stopping the refused
# copy (politely or not) must take the helper and its box along.
BIN=$1
DATA=$2
[ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
cp -r "$DATA" "$WORK/data"
cd "$WORK/data" || exit 1
fail() { echo "FAIL: $*"; kill -TERM "$PID" $PID2 $KIDS 2>/dev/null; exit 1; }
boxes() { xwininfo -root -tree | grep -c '"错误"'; }

"$BIN" >"$WORK/first.out" 2>&1 &
PID=$!
timeout 30 xdotool search --sync --name '^Skyfloat$' >/dev/null || fail "the game window did not appear"

for SIG in TERM KILL; do
  "$BIN" >"$WORK/second.out" 2>&1 &
  PID2=$!
  for i in $(seq 1 40); do [ "$(boxes)" -gt 0 ] && break; sleep 0.25; done
  [ "$(boxes)" -gt 0 ] || fail "the second copy showed no message box"
  KIDS=$(ps -o pid= --ppid "$PID2")
  kill -"$SIG" "$PID2"
  wait "$PID2" 2>/dev/null
  PID2=""
  for i in $(seq 1 20); do
    alive=""
    for k in $KIDS; do kill -0 "$k" 2>/dev/null && alive="$alive $k"; done
    [ -z "$alive" ] && [ "$(boxes)" -eq 0 ] && break
    sleep 0.25
  done
  [ -z "$alive" ] || fail "SIG$SIG left the box's process$alive running"
  [ "$(boxes)" -eq 0 ] || fail "SIG$SIG left the message box on screen"
  KIDS=""
done

kill -0 "$PID" 2>/dev/null || fail "the first copy died"
kill -TERM "$PID"
wait "$PID"
echo "PASS"
rm -rf "$WORK"
