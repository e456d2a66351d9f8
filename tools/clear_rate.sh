#!/bin/sh
# How often a one-player bot clears each level: RUNS matches a level, each its own process.
#   tools/clear_rate.sh [RUNS [DARING]]      (needs a built build/bin/test_level)
# DARING is the percent of two-second spells the bot spends going after the nearest monster
# instead of keeping high and safe (0: always careful).
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BIN=${BUILD:-$ROOT/build}/bin/test_level
RUNS=${1:-20}
DARING=${2:-0}
for level in 1 2 3 4; do
  cleared=0
  lives=0
  seed=1
  while [ "$seed" -le "$RUNS" ]; do
    line=$(ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy ZAN_CLEAR_LEVEL=$level ZAN_CLEAR_SEED=$seed \
        ZAN_CLEAR_DARING=$DARING "$BIN" --gtest_also_run_disabled_tests \
        --gtest_filter='*BotClearRate*' | grep '^level ')
    case $line in *cleared*) cleared=$((cleared + 1)) ;; esac
    lives=$((lives + ${line##*lives }))
    seed=$((seed + 1))
  done
  echo "level $level: cleared $cleared of $RUNS, lives left $lives"
done
