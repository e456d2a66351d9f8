#!/bin/sh
# Draws the window icon data/IDI_SMALL.png: a red balloon on a string.
set -e
OUT=${1:-"$(dirname "$0")/../data/IDI_SMALL.png"}
/usr/bin/convert -size 32x32 xc:none \
  -fill '#d83a3a' -stroke '#7a1414' -strokewidth 1 -draw 'ellipse 16,12 10,11 0,360' \
  -fill '#f5a0a0' -stroke none -draw 'ellipse 12,8 3,4 0,360' \
  -fill '#7a1414' -draw 'polygon 14,23 18,23 16,26' \
  -stroke '#404040' -fill none -draw 'bezier 16,26 12,28 20,29 16,31' \
  -strip "PNG32:$OUT"
