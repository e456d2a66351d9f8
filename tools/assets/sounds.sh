#!/bin/sh
# Makes the sound effects data/sound/<record name>.ogg: the menu's hover and select clicks,
# the level's start and time-up jingles (art/music/jingles.abc through the General MIDI
# sound font) and the actors' pops, spawns and deaths (synthesised with sox).
# Effects are mono, end in silence and peak below full scale, quieter for the ones that
# repeat often (hover, pop) so they never tire the ear or clip when several play at once.
# Needs sox, vorbis-tools, abcmidi, fluidsynth and fluid-soundfont-gm.
set -eu
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
OUT=${1:-"$ROOT/data/sound"}
FONT=/usr/share/sounds/sf2/FluidR3_GM.sf2
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
mkdir -p "$OUT"

# Repeatable: the same seed for noise and dither every run, so remade files do not change.
sox() { command sox -R "$@"; }

# The music is made beside the effects, into data/music.
sh "$ROOT/tools/assets/music.sh"

# part <file> <seconds> <sox synth and effect arguments...>: one mono synthesised piece.
part() {
  f=$1 len=$2
  shift 2
  sox -n -r 44100 -c 1 -b 16 "$TMP/$f.wav" synth "$len" "$@"
}

# finish <record name> <peak dB> <wav files...>: joins the pieces, trims the silent end,
# fades out the last few milliseconds, sets the peak and encodes.
finish() {
  name=$1 peak=$2
  shift 2
  sox "$@" "$TMP/joined.wav"
  sox "$TMP/joined.wav" "$TMP/trimmed.wav" reverse silence 1 0.005 -60d reverse
  sox "$TMP/trimmed.wav" "$TMP/final.wav" fade t 0.002 -0 0.02 gain -n "$peak"
  oggenc -Q --serial 1 -q 4 -o "$OUT/$name.ogg" "$TMP/final.wav"
}

# jingle <tune number> <record name> <peak dB>: a tune of jingles.abc rendered to mono.
jingle() {
  abc2midi "$ROOT/art/music/jingles.abc" "$1" -o "$TMP/j.mid" >/dev/null
  fluidsynth -ni -q -F "$TMP/j.wav" -r 44100 "$FONT" "$TMP/j.mid" >/dev/null 2>&1
  sox "$TMP/j.wav" "$TMP/jm.wav" remix - gain -3
  finish "$2" "$3" "$TMP/jm.wav"
}

# Menu: a soft rising tick on hover, a bright two-note pluck on a press.
part hover 0.06 sine 1500:2100 fade q 0.004 0.06 0.05
finish 鼠标盘旋 -14 "$TMP/hover.wav"
part sel1 0.07 pluck 1047 fade q 0.002 0.07 0.03
part sel2 0.20 pluck 1568 fade q 0.002 0.20 0.16
finish 鼠标选择 -8 "$TMP/sel1.wav" "$TMP/sel2.wav"

# Level start and time up.
jingle 1 开始声音01 -3
jingle 2 开始声音02 -3
jingle 3 开始声音03 -3
jingle 4 时间到01 -3
jingle 5 时间到02 -3
jingle 6 时间到03 -3

# A balloon touched: a short bright pop over a soft low thump.
part pop_n 0.09 whitenoise gain -8 highpass 900 fade q 0.001 0.09 0.085
part pop_t 0.10 sine 240:70 fade q 0.001 0.10 0.09
sox -m "$TMP/pop_n.wav" "$TMP/pop_t.wav" "$TMP/pop.wav"
finish 撞击01 -4 "$TMP/pop.wav"

# A bird appears: rising sparkles, three flavours.
part b1a 0.09 sine 1047 fade q 0.003 0.09 0.07
part b1b 0.09 sine 1319 fade q 0.003 0.09 0.07
part b1c 0.30 sine 1568 tremolo 22 50 fade q 0.003 0.30 0.25
finish 玩家出生01 -5 "$TMP/b1a.wav" "$TMP/b1b.wav" "$TMP/b1c.wav"
part b2 0.45 sine 500:1600 tremolo 18 60 fade q 0.01 0.45 0.2
sox "$TMP/b2.wav" "$TMP/b2e.wav" echo 0.8 0.7 60 0.35
finish 玩家出生02 -5 "$TMP/b2e.wav"
part b3a 0.07 triangle 784 fade q 0.002 0.07 0.05
part b3b 0.07 triangle 988 fade q 0.002 0.07 0.05
part b3c 0.07 triangle 1175 fade q 0.002 0.07 0.05
part b3d 0.28 triangle 1568 fade q 0.002 0.28 0.24
finish 玩家出生03 -6 "$TMP/b3a.wav" "$TMP/b3b.wav" "$TMP/b3c.wav" "$TMP/b3d.wav"

# A bird loses its balloons: falling whistles, three flavours.
part d1 0.65 sine 1400:350 tremolo 9 40 fade q 0.01 0.65 0.2
finish 玩家死亡01 -5 "$TMP/d1.wav"
part d2a 0.16 square 784:698 gain -8 lowpass 2500 fade q 0.005 0.16 0.06
part d2b 0.16 square 659:587 gain -8 lowpass 2500 fade q 0.005 0.16 0.06
part d2c 0.40 square 523:392 gain -8 lowpass 2500 fade q 0.005 0.40 0.30
finish 玩家死亡02 -8 "$TMP/d2a.wav" "$TMP/d2b.wav" "$TMP/d2c.wav"
part d3s 0.55 triangle 1100:220 fade q 0.005 0.55 0.2
part d3n 0.55 pinknoise gain -8 lowpass 1200 fade q 0.005 0.55 0.5 gain -6
sox -m "$TMP/d3s.wav" "$TMP/d3n.wav" "$TMP/d3.wav"
finish 玩家死亡03 -5 "$TMP/d3.wav"

# A monster arrives: low, wobbly and a little cheeky, three flavours.
part m1 0.45 sawtooth 90:180 gain -8 lowpass 900 tremolo 12 70 fade q 0.01 0.45 0.15
finish 怪物出生01 -5 "$TMP/m1.wav"
part m2 0.50 sine 180:520 tremolo 28 60 fade q 0.005 0.50 0.3
finish 怪物出生02 -5 "$TMP/m2.wav"
part m3a 0.16 square 110 gain -8 lowpass 700 fade q 0.005 0.16 0.06
part m3b 0.30 square 165:147 gain -8 lowpass 700 tremolo 10 50 fade q 0.005 0.30 0.2
finish 怪物出生03 -5 "$TMP/m3a.wav" "$TMP/m3b.wav"

# A monster's balloon is popped: a falling "bwoop" in a puff of air.
part x1 0.32 sine 420:70 fade q 0.002 0.32 0.2
part x2 0.35 brownnoise gain -8 lowpass 1500 fade q 0.002 0.35 0.33
sox -m "$TMP/x1.wav" "$TMP/x2.wav" "$TMP/x.wav"
finish 怪物死亡01 -4 "$TMP/x.wav"
