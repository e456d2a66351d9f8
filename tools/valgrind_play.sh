#!/bin/sh
# Two minutes of scripted play (menu, the one-player and the two-player level, back and
# forth between the screens) on the virtual clock under valgrind memcheck. Fails on any
# error and on any byte definitely lost. tools/valgrind.supp holds the suppressions, for
# third-party libraries only.
#   tools/valgrind_play.sh [seconds]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
seconds=${1:-120}
"$ROOT/tools/setup.sh" valgrind
[ -f "$BUILD/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD" -j2 --target skyfloat_drive
log=$(mktemp)
ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy nice valgrind --tool=memcheck --leak-check=full \
    --errors-for-leak-kinds=definite --show-leak-kinds=definite --error-exitcode=3 \
    --suppressions="$ROOT/tools/valgrind.supp" --log-file="$log" \
    "$BUILD/bin/skyfloat_drive" "$ROOT/data" play "$seconds" && rc=0 || rc=$?
grep -E "ERROR SUMMARY|definitely lost|indirectly lost|possibly lost|still reachable" "$log"
[ $rc -eq 0 ] || { echo "valgrind run failed ($rc); full log: $log"; exit 1; }
rm -f "$log"
