#!/bin/sh
# How Skyfloat ends when it is not asked through its window: SIGHUP and SIGQUIT, a display
# that goes away, and a window size that cannot be opened. Each must leave a closing row and
# a record of why in the run log, or an exit status that says it failed.
BIN=$1
DATA=$2
[ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }

WORK=$(mktemp -d)
export XDG_RUNTIME_DIR="$WORK/run"
mkdir -p "$XDG_RUNTIME_DIR"
PID=""
XPID=""
cleanup() {
  [ -n "$PID" ] && kill -KILL "$PID" 2>/dev/null
  [ -n "$XPID" ] && kill -TERM "$XPID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

# fresh_copy: a clean copy of the data to run in.
fresh_copy() {
  rm -rf "$WORK/data" && cp -r "$DATA" "$WORK/data" && cd "$WORK/data" || exit 1
}
log_text() { iconv -f GBK -t UTF-8 "$WORK/data/运行日志.htm" 2>/dev/null; }
wait_end() {
  for i in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$PID" 2>/dev/null && fail "$1: the game did not end"
  wait "$PID"
  STATUS=$?
  PID=""
}
closed_with() {
  log_text | grep -q "$2" || fail "$1: no record of why: $(log_text | tail -c 600)"
  log_text | grep -q '<td>结束</b>\|<b>结束</b>' || fail "$1: no closing row"
  [ "$(tail -c 7 "$WORK/data/运行日志.htm")" = "</html>" ] || fail "$1: the page has no foot"
}

for sig in HUP QUIT; do
  fresh_copy
  "$BIN" >"$WORK/out" 2>&1 &
  PID=$!
  WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
  [ -n "$WIN" ] || fail "SIG$sig: the game window did not appear"
  kill -"$sig" "$PID"
  wait_end "SIG$sig"
  closed_with "SIG$sig" "收到信号 SIG$sig"
done

# A display of its own, taken away while the game runs.
if command -v Xvfb >/dev/null; then
  fresh_copy
  exec 5>"$WORK/displayfd"
  Xvfb -displayfd 5 -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  XPID=$!
  exec 5>&-
  for i in $(seq 1 50); do [ -s "$WORK/displayfd" ] && break; sleep 0.1; done
  OWN=":$(head -n 1 "$WORK/displayfd")"
  [ "$OWN" != ":" ] || fail "no display of its own"
  DISPLAY=$OWN "$BIN" >"$WORK/out" 2>&1 &
  PID=$!
  WIN=$(DISPLAY=$OWN timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
  [ -n "$WIN" ] || fail "lost display: the game window did not appear"
  kill -TERM "$XPID"
  wait "$XPID" 2>/dev/null
  XPID=""
  wait_end "lost display"
  [ "$STATUS" -ne 0 ] || fail "lost display: exit status 0"
  closed_with "lost display" "与显示服务器的连接已断开"
else
  echo "Xvfb missing: the lost display skipped"
fi

# A size no window can have ends the game with a failing status and a clear message.
for width in 0 -5; do
  fresh_copy
  printf '[全局]\r\n窗口宽度=%s\r\n' "$width" | iconv -f UTF-8 -t GBK >Autoexec.cfg
  timeout 60 "$BIN" >"$WORK/out" 2>&1
  STATUS=$?
  [ "$STATUS" -ne 0 ] && [ "$STATUS" -ne 124 ] || fail "width $width: exit status $STATUS"
  grep -q "cannot open a window" "$WORK/out" || fail "width $width: no message: $(cat "$WORK/out")"
done
echo "PASS"
