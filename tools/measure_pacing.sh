#!/bin/sh
# Frame rate and processor use of the idle game in a window (or full screen), for the figures
# of frame pacing. Needs an X display (run it under xvfb-run), xdotool, and perf for counting
# frames: every pass of the frame loop ends with one relative one-millisecond sleep of the main
# thread, and Present's wait for the refresh is an absolute sleep, so perf counts both.
#   usage: tools/measure_pacing.sh BUILD_DIR VSYNC [SECONDS] [full]
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN="$(cd "$1" && pwd)/bin/Skyfloat"
VSYNC=$2
SECONDS_=${3:-10}
MODE=${4:-window}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$ROOT/data" "$WORK/data"
cd "$WORK/data"
iconv -f GBK -t UTF-8 Autoexec.cfg >utf8.cfg
sed -i "s/^VSYNC=.*/VSYNC=$VSYNC/" utf8.cfg
[ "$MODE" = full ] && sed -i 's/^窗口模式=.*/窗口模式=0/' utf8.cfg
iconv -f UTF-8 -t GBK utf8.cfg >Autoexec.cfg
export XDG_RUNTIME_DIR="$WORK"
export ALSOFT_DRIVERS=null

"$BIN" >/dev/null 2>&1 &
PID=$!
timeout 30 xdotool search --sync --name '^Skyfloat$' >/dev/null
sleep 2
ticks() { awk '{print $14 + $15}' "/proc/$PID/stat"; }
before=$(ticks)
perf stat --per-thread -x, -o "$WORK/perf.csv" \
  -e syscalls:sys_enter_clock_nanosleep --filter 'flags == 0' \
  -e syscalls:sys_enter_clock_nanosleep --filter 'flags == 1' \
  -p "$PID" -- sleep "$SECONDS_"
after=$(ticks)
kill -TERM "$PID"
wait "$PID" || true
# The main thread's counts: its name is the program's, with the process id.
frames=$(grep "^Skyfloat-$PID," "$WORK/perf.csv" | sed -n 1p | cut -d, -f2)
waits=$(grep "^Skyfloat-$PID," "$WORK/perf.csv" | sed -n 2p | cut -d, -f2)
echo "VSYNC=$VSYNC $MODE: $(echo "scale=1; $frames / $SECONDS_" | bc) frames per second," \
  "$(echo "scale=1; ($after - $before) * 100 / $(getconf CLK_TCK) / $SECONDS_" | bc) % of one core," \
  "$waits of $frames presentations waited for the refresh (load $(cut -d' ' -f1 /proc/loadavg))"
