#!/bin/sh
# The launcher without HOME: it refuses with a clear message instead of writing under "/",
# unless XDG_DATA_HOME names an absolute folder, where the game then runs from its own copy.
# $1 is a launcher configured with this build's data and program.
LAUNCHER=$1
[ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
cd "$WORK" || exit 1
fail() { echo "FAIL: $*"; [ -n "$PID" ] && kill -TERM "$PID" 2>/dev/null; exit 1; }

for xdg in "" "relative/data"; do
  env -u HOME XDG_DATA_HOME="$xdg" sh "$LAUNCHER" >"$WORK/out" 2>&1
  [ $? -ne 0 ] || fail "started without HOME (XDG_DATA_HOME='$xdg')"
  grep -q "HOME is not set" "$WORK/out" || fail "no clear message: $(cat "$WORK/out")"
done
[ -z "$(ls -A "$WORK" | grep -v -e '^run$' -e '^out$')" ] || fail "made files: $(ls "$WORK")"

env -u HOME XDG_DATA_HOME="$WORK/xdg" sh "$LAUNCHER" >"$WORK/out" 2>&1 &
PID=$!
WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
[ -n "$WIN" ] || fail "the game window did not appear: $(cat "$WORK/out")"
xdotool mousemove --window "$WIN" 400 300 key Escape
for i in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PID" 2>/dev/null && fail "the game did not end"
wait "$PID"
[ $? -eq 0 ] || fail "exit status $?"
[ -f "$WORK/xdg/skyfloat/Autoexec.cfg" ] || fail "no copy of the data in XDG_DATA_HOME"
[ -f "$WORK/xdg/skyfloat/运行日志.htm" ] || fail "the game did not run from its copy"
echo "PASS"
rm -rf "$WORK"
