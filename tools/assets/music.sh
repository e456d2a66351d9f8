#!/bin/sh
# Renders the music of art/music/*.abc to data/music/<record name>.ogg.
#   abc2midi -> fluidsynth (General MIDI sound font) -> fold the tail -> normalise -> oggenc
# Each piece ends with a silent part that only catches the ringing tail of its last notes;
# that tail is mixed back onto the start and the file is cut at the loop length, so the
# stream loops without a gap or a click, the way the piece sounds when it is played again.
# Needs abcmidi, fluidsynth, fluid-soundfont-gm, sox and vorbis-tools.
set -eu
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${1:-"$ROOT/data/music"}
FONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
RATE=44100
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$OUT"

# Repeatable: the same seed for noise and dither every run, so remade files do not change.
sox() { command sox -R "$@"; }

# render <abc source> <record name> <loop length in samples at 44.1 kHz>
render() {
  abc2midi "$ROOT/art/music/$1" -o "$TMP/piece.mid" >/dev/null
  fluidsynth -ni -q -F "$TMP/full.wav" -r $RATE "$FONT" "$TMP/piece.mid" >/dev/null 2>&1
  sox "$TMP/full.wav" "$TMP/head.wav" trim 0 "$3s"
  sox "$TMP/full.wav" "$TMP/tail.wav" trim "$3s"
  sox -m -v 1 "$TMP/head.wav" -v 1 "$TMP/tail.wav" "$TMP/loop.wav" gain -n -1
  oggenc -Q --serial 1 -q 3 -o "$OUT/$2.ogg" "$TMP/loop.wav"
}

# Menu and wait screens: 40 bars of 6/8 at 100 dotted crotchets a minute = 48 s.
render menu.abc 背景音乐 $((48 * RATE))
# Levels: 32 bars of 4/4 at 150 crotchets a minute = 51.2 s.
render level.abc 关卡音乐 $((512 * RATE / 10))
