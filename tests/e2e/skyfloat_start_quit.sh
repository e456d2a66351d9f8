#!/bin/sh
# Starts Skyfloat from a copy of data/, waits for its window, checks that a second copy is
# refused, quits with Escape, and checks the exit status and the run log.
BIN=$1
DATA=$2
HOW=$3          # escape, or close (with the close helper as $4)
CLOSER=$4
[ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
cp -r "$DATA" "$WORK/data"
cd "$WORK/data" || exit 1
fail() { echo "FAIL: $*"; kill -TERM "$PID" 2>/dev/null; exit 1; }

"$BIN" >"$WORK/first.out" 2>&1 &
PID=$!
WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
[ -n "$WIN" ] || fail "the game window did not appear"
echo "window $WIN"

if [ "$HOW" = escape ]; then
# A second copy shows the refusal and exits once it is dismissed.
"$BIN" >"$WORK/second.out" 2>&1 &
PID2=$!
# The box is found by its caption in the window tree (its name is not searchable by xdotool).
BOX=""
for i in $(seq 1 40); do
  BOX=$(xwininfo -root -tree | grep '"错误"' | awk '{print $1}' | head -n 1)
  [ -n "$BOX" ] && break
  sleep 0.25
done
[ -n "$BOX" ] || fail "the second copy showed no message box"
grep -q '应用程序已经启动!' "$WORK/second.out" || fail "refusal text missing: $(cat "$WORK/second.out")"
# Without a window manager the keyboard follows the pointer: point at the box, press Return;
# failing that, click its button.
for i in 1 2 3 4 5 6; do
  kill -0 "$PID2" 2>/dev/null || break
  xdotool mousemove --window "$BOX" 100 50 key Return >/dev/null 2>&1
  sleep 0.5
  kill -0 "$PID2" 2>/dev/null || break
  xdotool mousemove --window "$BOX" 100 75 click 1 >/dev/null 2>&1
  sleep 0.5
done
if kill -0 "$PID2" 2>/dev/null; then
  kill -TERM "$PID2"; fail "the second copy did not exit after its message box"
fi
wait "$PID2"; [ $? -eq 0 ] || fail "the second copy exited with an error"
kill -0 "$PID" 2>/dev/null || fail "the first copy died"

# Escape acts on release and ends the game.
xdotool mousemove --window "$WIN" 400 300 >/dev/null 2>&1
xdotool key Escape
else
"$CLOSER" "$WIN" || fail "could not ask the window to close"
fi
for i in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
kill -0 "$PID" 2>/dev/null && fail "the game did not end ($HOW)"
wait "$PID"
STATUS=$?
[ "$STATUS" -eq 0 ] || fail "exit status $STATUS"

LOG=$(iconv -f GBK -t UTF-8 "运行日志.htm") || fail "no run log"
last=0
for text in "KOV 引擎启动.." "window 类注册成功" "窗体创建成功" "OPENAL 音频设备创建成功" \
            "DirectInput8 设备创建成功" \
            "系统启动成功" "关闭中.." "结束"; do
  pos=$(printf '%s' "$LOG" | grep -b -o -F "$text" | head -n 1 | cut -d: -f1)
  [ -n "$pos" ] || fail "run log lacks '$text'"
  [ "$pos" -gt "$last" ] || [ "$last" -eq 0 ] || fail "run log has '$text' out of order"
  last=$pos
done
printf '%s' "$LOG" | tail -c 30 | grep -q '</html>$' || fail "run log has no foot"
echo "PASS"
rm -rf "$WORK"
