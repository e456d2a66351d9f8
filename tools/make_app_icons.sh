#!/bin/sh
# Renders the application icon art/icon/skyfloat.svg into the hicolor sizes under
# dist/icons/. Needs rsvg-convert (librsvg2-bin); the PNGs are committed, so building and
# installing do not.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
SVG="$ROOT/art/icon/skyfloat.svg"
for size in 16 22 24 32 48 64 128 256 512; do
  dir="$ROOT/dist/icons/hicolor/${size}x${size}/apps"
  mkdir -p "$dir"
  rsvg-convert -w "$size" -h "$size" "$SVG" -o "$dir/org.zanengine.Skyfloat.png"
done
mkdir -p "$ROOT/dist/icons/hicolor/scalable/apps"
cp "$SVG" "$ROOT/dist/icons/hicolor/scalable/apps/org.zanengine.Skyfloat.svg"
