#!/bin/sh
# Remakes the README's screenshots: every screen from the headless frame, the menu and the
# wait screen at 7:00, 12:00 and 20:00. Needs a configured build/ and ImageMagick.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
OUT=$ROOT/docs/screenshots
cmake --build "$BUILD" -j2 --target skyfloat_shots
TMP=$(mktemp -d)
ALSOFT_DRIVERS=null "$BUILD/bin/skyfloat_shots" "$ROOT/data" "$TMP" >/dev/null
mkdir -p "$OUT"
for f in splash1 splash2 menu_07 menu_12 menu_20 wait_07 wait_12 wait_20; do
  /usr/bin/convert "$TMP/$f.ppm" -resize 50% "$OUT/$f.png"
done
rm -rf "$TMP"
echo "screenshots in $OUT"
