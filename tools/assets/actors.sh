#!/bin/sh
# Renders the actors' sheets of art/actors/*.svg to data/image/*.png with rsvg-convert:
# the two players' birds (the second is the first with a blue palette), the monster,
# the balloons, the head-up display pieces and digits, and the lightning.
# Needs librsvg2-bin.
set -eu
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${1:-"$ROOT/data/image"}
ART="$ROOT/art/actors"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$OUT"

render() {
  rsvg-convert --format=png -o "$OUT/$2" "$1"
}

render "$ART/bird.svg" bird_red.png
# Player two: the same bird in blue (body light and dark, wing light and dark, wing lines).
sed -e 's/#ff8a6a/#7cc6ff/g' -e 's/#d8402e/#2e72d6/g' -e 's/#e0523c/#3f8ae2/g' \
    -e 's/#a82a20/#1d4aa0/g' -e 's/#7a1c18/#16357a/g' "$ART/bird.svg" >"$TMP/bird_blue.svg"
render "$TMP/bird_blue.svg" bird_blue.png
render "$ART/monster.svg" monster.png
render "$ART/balloons.svg" balloons.png
render "$ART/hud.svg" hud.png
render "$ART/digits.svg" digits.png
render "$ART/lightning.svg" lightning.png
