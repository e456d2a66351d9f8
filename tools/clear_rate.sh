#!/bin/sh
# How often a one-player bot clears each level: RUNS matches a level, each its own process.
#   tools/clear_rate.sh [RUNS]      (needs a built build/bin/test_level)
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${BUILD:-$ROOT/build}/bin/test_level
RUNS=${1:-20}
for level in 1 2 3 4; do
  cleared=0
  seed=1
  while [ "$seed" -le "$RUNS" ]; do
    if ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy ZAN_CLEAR_LEVEL=$level ZAN_CLEAR_SEED=$seed \
        "$BIN" --gtest_also_run_disabled_tests --gtest_filter='*BotClearRate*' | grep -q cleared; then
      cleared=$((cleared + 1))
    fi
    seed=$((seed + 1))
  done
  echo "level $level: cleared $cleared of $RUNS"
done
