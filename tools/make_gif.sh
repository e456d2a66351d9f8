#!/bin/sh
# Makes docs/match.gif: a few seconds of a two-player match from the headless frames, half
# size, 48 colours, 15 frames a second. Needs ImageMagick.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${BUILD:-$ROOT/build}
cmake --build "$BUILD" -j2 --target skyfloat_drive >/dev/null
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy "$BUILD/bin/skyfloat_drive" "$ROOT/data" frames 36 "$TMP" >/dev/null
# Skip the first second, while the birds come in.
ls "$TMP"/f*.ppm | tail -n +16 | head -n 100 >"$TMP/list"
mkdir -p "$ROOT/docs"
convert -delay 7 -loop 0 $(cat "$TMP/list") -resize 50% +dither -colors 48 -layers Optimize \
    "$ROOT/docs/match.gif"
ls -l "$ROOT/docs/match.gif"
