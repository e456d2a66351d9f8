#!/bin/sh
# Makes the example's two sounds: click.wav, a 0.15 s tick for the button, and music.ogg, a
# 6 s loop of plucked notes for the stream (longer than two 64 KiB chunks of decoded sound, so
# the stream has to refill while it plays). Both are committed; this is their recipe.
# Needs sox and vorbis-tools.
set -eu
cd "$(dirname "$0")"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
# The same seed every run, so remade files do not change.
sox() { command sox -R "$@"; }

sox -n -r 22050 -c 1 -b 16 click.wav synth 0.15 sine 1760 fade t 0 0.15 0.12 gain -6

# Three bars of C, A minor and G, two notes a second.
i=0
for note in C4 E4 G4 E4 A3 C4 E4 C4 G3 B3 D4 B3; do
  sox -n -r 22050 -c 1 -b 16 "$TMP/$(printf %02d $i).wav" synth 0.5 pluck "$note" gain -8
  i=$((i + 1))
done
sox "$TMP"/*.wav "$TMP/music.wav"
oggenc -Q --serial 1 -q -1 -o music.ogg "$TMP/music.wav"
