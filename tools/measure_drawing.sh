#!/bin/sh
# Drawing cost in a window, 60 frames a second: a bare program that fills the window once per
# frame, the game's splash and its menu, each over SECONDS, RUNS times in turn. Prints the
# processor time per frame (user + system, all threads) and the share of one core. Needs an X
# display (run it under xvfb-run), xdotool and perf.
#   usage: tools/measure_drawing.sh BUILD_DIR [SECONDS] [RUNS]
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD="$(cd "$1" && pwd)"
SECONDS_=${2:-8}
RUNS=${3:-3}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp -r "$ROOT/data" "$WORK/data"
export XDG_RUNTIME_DIR="$WORK"
export ALSOFT_DRIVERS=null
HZ=$(getconf CLK_TCK)

ticks() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# Prints "frames ticks" of process $1 over SECONDS_, counting the main thread's relative
# sleeps (one per pass of the game's frame loop).
sample() {
  before=$(ticks "$1")
  perf stat --per-thread -x, -o "$WORK/perf.csv" \
    -e syscalls:sys_enter_clock_nanosleep --filter 'flags == 0' -p "$1" -- sleep "$SECONDS_"
  after=$(ticks "$1")
  echo "$(grep "^Skyfloat-$1," "$WORK/perf.csv" | sed -n 1p | cut -d, -f2) $((after - before))"
}

report() { # name frames ticks
  echo "$1: $(echo "scale=2; $3 * 1000 / $HZ / $2" | bc) ms per frame," \
    "$(echo "scale=1; $3 * 100 / $HZ / $SECONDS_" | bc) % of one core," \
    "$(echo "scale=1; $2 / $SECONDS_" | bc) frames per second"
}

run=1
while [ "$run" -le "$RUNS" ]; do
  "$BUILD/bin/zan_fill_once" >"$WORK/fill.out" &
  PID=$!
  timeout 30 xdotool search --sync --name '^FillOnce$' >/dev/null
  sleep 1
  before=$(ticks "$PID")
  sleep "$SECONDS_"
  after=$(ticks "$PID")
  kill -TERM "$PID"
  wait "$PID" || true
  # Its own frame count covers its whole life: the rate it kept, over the sampled time.
  report "run $run bare fill" "$((60 * SECONDS_))" "$((after - before))"

  (cd "$WORK/data" && exec "$BUILD/bin/Skyfloat" >/dev/null 2>&1) &
  PID=$!
  WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
  sleep 0.5
  set -- $(sample "$PID")
  report "run $run splash" "$1" "$2"
  xdotool mousemove --window "$WIN" 780 590 click 1
  sleep 2
  set -- $(sample "$PID")
  report "run $run menu" "$1" "$2"
  kill -TERM "$PID"
  wait "$PID" || true
  run=$((run + 1))
done
echo "(load $(cut -d' ' -f1 /proc/loadavg))"
