#!/bin/sh
# Makes the small seed files of the WAV and Ogg fuzz targets (fuzz/corpus/fuzz_wav, fuzz_ogg)
# with sox and oggenc: one file per encoding the loaders meet, each a few hundred bytes.
set -e
ROOT=$(cd "$(dirname "$0")/.." && pwd)
WAV="$ROOT/fuzz/corpus/fuzz_wav"
OGG="$ROOT/fuzz/corpus/fuzz_ogg"
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$WAV" "$OGG"

sox -n -r 8000 -c 1 -b 16 "$WAV/pcm16_mono.wav" synth 0.02 sine 440
sox -n -r 8000 -c 2 -b 8 -e unsigned "$WAV/pcm8_stereo.wav" synth 0.02 sine 440
sox -n -r 8000 -c 1 -e ima-adpcm "$WAV/ima_adpcm.wav" synth 0.05 sine 440
sox -n -r 8000 -c 1 -b 32 -e floating-point "$WAV/float.wav" synth 0.01 sine 440
sox -n -r 8000 -c 3 -b 16 "$WAV/three_channels.wav" synth 0.01 sine 440

# A sampler chunk with one loop before 16 bytes of 16-bit mono data: sox writes none.
{
  printf 'RIFF\174\000\000\000WAVEfmt \020\000\000\000\001\000\001\000'
  printf '\100\037\000\000\200\076\000\000\002\000\020\000'
  printf 'smpl\074\000\000\000'
  printf '\000\000\000\000\000\000\000\000\000\000\000\000\074\000\000\000'
  printf '\000\000\000\000\000\000\000\000\000\000\000\000\001\000\000\000'
  printf '\000\000\000\000'
  printf '\000\000\000\000\000\000\000\000\000\000\000\000\007\000\000\000'
  printf '\000\000\000\000\000\000\000\000'
  printf 'data\020\000\000\000'
  printf '\000\000\377\077\000\100\377\077\000\000\001\300\000\300\001\300'
} > "$WAV/sampler_loop.wav"

sox -n -r 8000 -c 1 -b 16 "$TMP/mono.wav" synth 0.1 sine 440
sox -n -r 11025 -c 2 -b 16 "$TMP/stereo.wav" synth 0.1 sine 440 sine 660
sox -n -r 8000 -c 3 -b 16 "$TMP/three.wav" synth 0.05 sine 440
for f in mono stereo three; do
  oggenc -Q -q 0 -o "$OGG/$f.ogg" "$TMP/$f.wav"
done
