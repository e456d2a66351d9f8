#!/bin/sh
# The long soak: an hour of random play through every screen on the virtual clock, then
# 2000 bodies for 10 000 physics steps. Fails on a crash, a non-finite position or more than
# 1 MB of resident growth after warm-up.
#   tools/soak.sh [seconds of play] [seed] [bodies] [steps]
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
[ -f "$BUILD/CMakeCache.txt" ] || cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo
nice cmake --build "$BUILD" -j2 --target skyfloat_drive zan_physics_soak

# "... resident A kB after warm-up, B kB at the end ..." -> B - A
growth() { sed -n 's/.*resident \([0-9-]*\) kB after warm-up, \([0-9-]*\) kB at the end.*/\2 \1/p' | awk '{print $1 - $2}'; }

export ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy
start=$(date +%s)
play=$(nice "$BUILD/bin/skyfloat_drive" "$ROOT/data" random "${1:-3600}" "${2:-1}" | tail -n 1)
echo "play:    $play ($(($(date +%s) - start)) s of wall time)"
g=$(echo "$play" | growth)
start=$(date +%s)
world=$(nice "$BUILD/bin/zan_physics_soak" "${3:-2000}" "${4:-10000}" | tail -n 1)
echo "physics: $world ($(($(date +%s) - start)) s of wall time)"
w=$(echo "$world" | growth)
echo "resident growth after warm-up: play ${g} kB, physics ${w} kB"
[ "$g" -lt 1024 ] && [ "$w" -lt 1024 ]
