#!/bin/sh
# Checks of the installed tree. The first argument says which:
#   stage STAGE BUILD CMAKE            install BUILD into STAGE (DESTDIR) with the prefix /usr
#   tree STAGE [REFERENCE]             layout, libraries, desktop and AppStream files, and the
#                                      API reference when REFERENCE is ON
#   game STAGE                         the game through the launcher, and the player's copy
#   example-cmake|example-pkg-config STAGE SOURCE CMAKE CXX SANITIZE [PROGRAM]
#                                      an example game against the installed engine, run with
#                                      --headless (PROGRAM: sprite_demo unless named)
WHAT=$1
STAGE=$2
ROOT="$STAGE/usr"
# The library folder: lib, or lib/<triplet> where the build was configured for /usr.
LIB=$(dirname "$(find "$ROOT" -name libZanEngine.so 2>/dev/null | head -n 1)")
fail() { echo "FAIL: $*"; [ -n "$PID" ] && kill -TERM "$PID" 2>/dev/null; exit 1; }

stage() {
  BUILD=$1 CMAKE=$2
  rm -rf "$STAGE"
  DESTDIR="$STAGE" "$CMAKE" --install "$BUILD" --prefix /usr >"$STAGE.log" 2>&1 ||
    fail "install failed: $(tail -n 5 "$STAGE.log")"
  echo "PASS"
}

# A shared library: real file, SONAME link and development link, and its recorded SONAME.
check_library() {
  name=$1
  lib="$LIB/lib$name.so"
  [ -L "$lib" ] || fail "lib$name.so is not a symlink"
  soname=$(readelf -d "$lib" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  case "$soname" in lib$name.so.[0-9]*) ;; *) fail "lib$name has no versioned SONAME ($soname)" ;; esac
  [ -L "$LIB/$soname" ] || fail "$soname is not a symlink"
  real=$(readlink -f "$lib")
  [ -f "$real" ] && [ ! -L "$real" ] || fail "lib$name.so leads to no file"
  case "$(basename "$real")" in "$soname".*) ;; *) fail "lib$name: $real is not $soname.<version>" ;; esac
  [ "$(readlink -f "$LIB/$soname")" = "$real" ] || fail "$soname and lib$name.so differ"
}

tree() {
  [ -d "$ROOT" ] || fail "nothing staged"
  [ "$(ls "$ROOT/bin")" = "skyfloat" ] || fail "bin holds more than the launcher: $(ls "$ROOT/bin")"
  prog="$ROOT/libexec/skyfloat/Skyfloat"
  [ -x "$prog" ] || fail "the program is not in libexec/skyfloat"
  # The program finds the engine relative to itself, so the staged tree runs as installed.
  rpath=$(readelf -d "$prog" | sed -n 's/.*R.*PATH).*\[\$ORIGIN\/\(.*\)\]/\1/p')
  [ -n "$rpath" ] && [ "$(cd "$(dirname "$prog")/$rpath" 2>/dev/null && pwd -P)" = "$(cd "$LIB" && pwd -P)" ] ||
    fail "the program does not find the engine: $(readelf -d "$prog" | grep PATH)"
  check_library ZanEngine
  check_library ZanPlatform
  readelf -d "$LIB/libZanEngine.so" | grep -q 'NEEDED.*\[libZanPlatform\.so\.[0-9]*\]' ||
    fail "the engine does not ask for the platform library by its SONAME"

  [ -f "$ROOT/share/skyfloat/Autoexec.cfg" ] || fail "no game data"
  page="$ROOT/share/man/man6/skyfloat.6"
  [ -f "$page" ] || fail "no manual page"
  if command -v man >/dev/null; then
    said=$(man --warnings -E UTF-8 -l "$page" 2>&1 >/dev/null)
    [ -z "$said" ] || fail "the manual page has faults: $said"
  fi
  [ ! -e "$ROOT/share/skyfloat/运行日志.htm" ] || fail "a run log was installed as data"
  [ -f "$ROOT/include/ZanEngine/ZanEngine.h" ] && [ -f "$ROOT/include/ZanEngine/ZanHeadless.h" ] ||
    fail "headers missing"
  if [ "$REFERENCE" = ON ]; then
    ref="$ROOT/share/doc/ZanEngine/html"
    [ -f "$ref/index.html" ] || fail "no API reference in share/doc/ZanEngine/html"
    [ -f "$ref/classCZanEngine.html" ] || fail "the API reference has no page for CZanEngine"
  fi
  for f in ZanEngineConfig.cmake ZanEngineConfigVersion.cmake ZanEngineTargets.cmake; do
    [ -f "$LIB/cmake/ZanEngine/$f" ] || fail "no $f"
  done
  pc="$LIB/pkgconfig/zanengine.pc"
  grep -qx 'prefix=/usr' "$pc" || fail "zanengine.pc names another prefix: $(head -n 1 "$pc")"
  # Nothing installed may remember the staging folder.
  leaks=$(grep -rlF -e "$STAGE" "$ROOT" 2>/dev/null)
  [ -z "$leaks" ] || fail "files name the staging folder: $leaks"

  id=org.zanengine.Skyfloat
  desktop="$ROOT/share/applications/$id.desktop"
  grep -qx 'Exec=skyfloat' "$desktop" || fail "the desktop entry does not start the launcher"
  grep -qx "Icon=$id" "$desktop" || fail "the desktop entry names another icon"
  for size in 16 32 48 64 128 256; do
    png="$ROOT/share/icons/hicolor/${size}x$size/apps/$id.png"
    [ "$(/usr/bin/identify -format '%m %wx%h' "$png" 2>/dev/null)" = "PNG ${size}x$size" ] ||
      fail "no $size x $size icon"
  done
  [ -f "$ROOT/share/icons/hicolor/scalable/apps/$id.svg" ] || fail "no scalable icon"
  metainfo="$ROOT/share/metainfo/$id.metainfo.xml"
  [ -f "$metainfo" ] || fail "no AppStream file"
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$desktop" || fail "desktop entry rejected"
  else
    echo "desktop-file-validate missing (desktop-file-utils): the desktop entry is not validated"
  fi
  if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$metainfo" || fail "AppStream file rejected"
  else
    echo "appstreamcli missing (appstream): the AppStream file is not validated"
  fi
  echo "PASS"
}

# Starts the launcher, waits for the game's window, quits with Escape.
play_once() {
  env -u XDG_DATA_HOME HOME="$WORK/home" "$ROOT/bin/skyfloat" >"$WORK/out" 2>&1 &
  PID=$!
  WIN=$(timeout 30 xdotool search --sync --name '^Skyfloat$' | head -n 1)
  [ -n "$WIN" ] || fail "the game window did not appear: $(cat "$WORK/out")"
  xdotool mousemove --window "$WIN" 400 300 key Escape
  for i in $(seq 1 50); do kill -0 "$PID" 2>/dev/null || break; sleep 0.2; done
  kill -0 "$PID" 2>/dev/null && fail "the game did not end on Escape"
  wait "$PID"
  status=$?
  PID=""
  [ "$status" -eq 0 ] || fail "exit status $status: $(cat "$WORK/out")"
}

game() {
  [ -n "$DISPLAY" ] || { echo "no X display: skipped"; exit 77; }
  command -v xdotool >/dev/null || { echo "xdotool missing: skipped"; exit 77; }
  WORK=$(mktemp -d)
  export XDG_RUNTIME_DIR="$WORK/run"
  mkdir -p "$XDG_RUNTIME_DIR" "$WORK/home"
  # A private copy of the staged tree, so this test may play the part of an update.
  cp -R "$ROOT" "$WORK/usr"
  ROOT="$WORK/usr"
  DATA="$ROOT/share/skyfloat"
  COPY="$WORK/home/.local/share/skyfloat"
  printf 'first\n' >"$DATA/notes.txt"

  play_once
  [ -f "$COPY/Autoexec.cfg" ] || fail "no copy of the data in ~/.local/share/skyfloat"
  [ -f "$COPY/运行日志.htm" ] || fail "the game did not write its run log in the copy"
  cmp -s "$DATA/Autoexec.cfg" "$COPY/Autoexec.cfg" || fail "the copy differs from the data"

  # The player changes a setting and deletes a file; then a newer version is installed that
  # changes the same settings file and another one, and brings a new file.
  printf '[player]\r\n' >>"$COPY/Autoexec.cfg"
  cp "$COPY/Autoexec.cfg" "$WORK/mine.cfg"
  rm "$COPY/IDI_SMALL.png"
  printf '[newer]\r\n' >>"$DATA/Autoexec.cfg"
  printf 'second\n' >"$DATA/notes.txt"
  mkdir -p "$DATA/more"
  printf 'new\n' >"$DATA/more/new.txt"

  play_once
  cmp -s "$COPY/Autoexec.cfg" "$WORK/mine.cfg" || fail "the player's settings were overwritten"
  grep -q "kept your changed .*Autoexec.cfg" "$WORK/out" || fail "no word of the kept file: $(cat "$WORK/out")"
  [ "$(cat "$COPY/notes.txt")" = second ] || fail "an unchanged file was not updated"
  [ -f "$COPY/more/new.txt" ] || fail "a new file did not reach the copy"
  cmp -s "$DATA/IDI_SMALL.png" "$COPY/IDI_SMALL.png" || fail "a deleted file was not restored"
  [ -f "$COPY/运行日志.htm" ] || fail "no run log after the update"
  echo "PASS"
  rm -rf "$WORK"
}

example() {
  WAY=$1 SOURCE=$2 CMAKE=$3 CXX=$4 SANITIZE=$5 PROGRAM=${6:-sprite_demo}
  # One folder per example and way, so the example tests may run side by side.
  BUILD_DIR="$STAGE-example-$(basename "$SOURCE")-$WAY"
  rm -rf "$BUILD_DIR" "$BUILD_DIR-pc"
  set -- -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_BUILD_TYPE=RelWithDebInfo
  if [ "$WAY" = cmake ]; then
    set -- "$@" -DCMAKE_PREFIX_PATH="$ROOT"
  else
    # The staged file names its final prefix; pointed at the staging folder instead, the rest
    # of it (folders, flags, libraries, requirements) must hold as installed.
    mkdir -p "$BUILD_DIR-pc"
    sed "s|^prefix=.*|prefix=$ROOT|" "$LIB/pkgconfig/zanengine.pc" >"$BUILD_DIR-pc/zanengine.pc"
    export PKG_CONFIG_PATH="$BUILD_DIR-pc"
    set -- "$@" -DUSE_PKG_CONFIG=ON
  fi
  case "$SANITIZE" in
  ON | on | 1 | TRUE | true) set -- "$@" -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined" ;;
  esac
  "$CMAKE" -S "$SOURCE" -B "$BUILD_DIR" "$@" >"$BUILD_DIR.log" 2>&1 &&
    "$CMAKE" --build "$BUILD_DIR" >>"$BUILD_DIR.log" 2>&1 ||
    fail "the example did not build: $(tail -n 20 "$BUILD_DIR.log")"
  # Installed for real, the engine would lie in the linker's own folders; staged, it is named.
  (cd "$BUILD_DIR" && LD_LIBRARY_PATH="$LIB" "./$PROGRAM" --headless) ||
    fail "$PROGRAM --headless failed its own check"
  echo "PASS"
  rm -rf "$BUILD_DIR" "$BUILD_DIR.log" "$BUILD_DIR-pc"
}

case "$WHAT" in
stage) stage "$3" "$4" ;;
tree) REFERENCE=$3; tree ;;
game) game ;;
example-cmake) example cmake "$3" "$4" "$5" "$6" "$7" ;;
example-pkg-config) example pkg-config "$3" "$4" "$5" "$6" "$7" ;;
*) fail "unknown check $WHAT" ;;
esac
