#!/bin/sh
# Installs what is missing, builds, and starts Skyfloat from data/.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
"$ROOT/tools/setup.sh"
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$ROOT/build" -j"$(nproc)" --target Skyfloat
if [ -z "$DISPLAY" ] && [ -z "$WAYLAND_DISPLAY" ] && [ -z "$SDL_VIDEODRIVER" ]; then
  echo "Skyfloat is built, but this machine has no display to open its window on." >&2
  echo "Start it from a desktop session, or under a virtual one:" >&2
  echo "  cd data && xvfb-run -a -s '-screen 0 1024x768x24' ../build/bin/Skyfloat" >&2
  exit 1
fi
cd "$ROOT/data"
exec "$ROOT/build/bin/Skyfloat"
