#!/bin/sh
# Takes the README's screenshots of the real game under Xvfb: both splash cards, then the menu,
# the one-player wait screen and a one-player level at three hours of the day. Writes JPEG
# files to docs/screenshots/. Needs Xvfb, xdotool and ImageMagick.
#   tools/screenshots.sh [build/bin/Skyfloat]
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
bin=${1:-$root/build/bin/Skyfloat}
[ -x "$bin" ] || { echo "no game at $bin (build it first)" >&2; exit 1; }
if [ -z "$ZAN_SHOTS_INNER" ]; then
  ZAN_SHOTS_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$bin"
fi

out=$root/docs/screenshots
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export XDG_RUNTIME_DIR="$work/run" ALSOFT_DRIVERS=null
mkdir -p "$XDG_RUNTIME_DIR"

# The settings files are GBK; their start hour is rewritten through UTF-8.
set_hour() { # DATA HOUR
  for cfg in "$1"/MainMenu.cfg "$1"/LevelWait.cfg "$1"/Level01.cfg; do
    iconv -f GBK -t UTF-8 "$cfg" | sed "s/^开始时间=.*/开始时间=$2/" | iconv -f UTF-8 -t GBK > "$cfg.new"
    mv "$cfg.new" "$cfg"
  done
}
click() { # X Y BUTTON: press and release in different frames, as a hand would
  xdotool mousemove --window "$win" "$1" "$2"
  sleep 0.3
  xdotool mousedown "$3"
  sleep 0.2
  xdotool mouseup "$3"
}
shot() {
  /usr/bin/import -window "$win" -quality 88 "$out/$1.jpg"
}
start() { # DATA
  (cd "$1" && exec "$bin" > "$work/game.out" 2>&1) &
  pid=$!
  win=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
  [ -n "$win" ] || { echo "the game window did not appear: $(cat "$work/game.out")" >&2; exit 1; }
}
stop() {
  # Without a window manager the keyboard follows the pointer.
  xdotool mousemove --window "$win" 400 300 key Escape
  for i in $(seq 1 25); do kill -0 "$pid" 2>/dev/null || break; sleep 0.2; done
  kill -TERM "$pid" 2>/dev/null || true
  # the next copy starts only once this one is gone
  wait "$pid" || true
}

# The splash cards fade in over 2 s of their 5.
cp -r "$root/data" "$work/splash"
start "$work/splash"
sleep 2.6; shot splash_studio
sleep 5; shot splash_engine
stop

for hour in 9 18 23; do
  data="$work/h$hour"
  cp -r "$root/data" "$data"
  set_hour "$data" "$hour"
  start "$data"
  sleep 1; click 400 300 1      # skip the splash
  sleep 4; shot "menu_$hour"
  click 400 320 1               # one player
  sleep 4; shot "wait_$hour"
  click 640 430 1               # start
  sleep 5; shot "level_$hour"
  stop
done
echo "screenshots in $out"
