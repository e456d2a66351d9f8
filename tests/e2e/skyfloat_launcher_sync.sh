#!/bin/sh
# The launcher's sync of the player's copy, against a small installation of its own whose
# "game" only says where it ran: links planted in the copy, a second launcher at the same
# time, a file cut short, leftovers of a killed start, a full and a read-only disk.
# $1 is the launcher's source (tools/skyfloat.in).
SOURCE=$1
WORK=$(mktemp -d)
MOUNTED=""
cleanup() {
  [ -n "$MOUNTED" ] && umount "$MOUNTED" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

INST="$WORK/inst"
DATA="$INST/share/skyfloat"
mkdir -p "$INST/bin" "$DATA/image" "$DATA/many"
sed -e 's#@ZAN_LAUNCHER_TO_DATA@#../share/skyfloat#' -e 's#@ZAN_LAUNCHER_TO_PROGRAM@#game#' \
  "$SOURCE" >"$INST/bin/skyfloat"
printf '#!/bin/sh\necho "ran in $(pwd -P)"\n' >"$INST/bin/game"
chmod +x "$INST/bin/game"
echo "[全局]" >"$DATA/Autoexec.cfg"
echo "[设置]" >"$DATA/Level01.cfg"
head -c 300000 /dev/urandom >"$DATA/image/sky.png"
for i in $(seq 1 120); do echo "$i" >"$DATA/many/$i.txt"; done

export XDG_DATA_HOME="$WORK/home"
COPY="$XDG_DATA_HOME/skyfloat"
launch() { sh "$INST/bin/skyfloat" >"$WORK/out" 2>"$WORK/err"; }
temporaries() { find "$COPY" -name '.skyfloat-new.*' -o -name '.installed-files.?*' -o -name '*.new'; }

# A first start copies everything, and says how far it got while it does.
launch || fail "first start: $(cat "$WORK/err")"
grep -q "ran in $COPY" "$WORK/out" || fail "the game did not run in the copy: $(cat "$WORK/out")"
grep -q "123 of 123 files copied" "$WORK/err" ||
  fail "no progress on standard error: $(cat "$WORK/err")"
cmp -s "$DATA/image/sky.png" "$COPY/image/sky.png" || fail "picture not copied"
[ -z "$(temporaries)" ] || fail "temporaries left: $(temporaries)"

# Each case: what is planted, what the launcher must say, and what must stay untouched.
echo "outside" >"$WORK/outside.cfg"
mkdir -p "$WORK/elsewhere"
for case in file-link new-link folder-link; do
  rm -rf "$COPY" && launch || fail "fresh copy for $case"
  case $case in
  file-link) rm "$COPY/Level01.cfg" && ln -s "$WORK/outside.cfg" "$COPY/Level01.cfg" ;;
  new-link) rm "$COPY/Level01.cfg" && ln -s "$WORK/outside.cfg" "$COPY/Level01.cfg.new" ;;
  folder-link)
    rm -rf "$COPY/image" && ln -s "$WORK/elsewhere" "$COPY/image" ;;
  esac
  launch
  rc=$?
  [ "$(cat "$WORK/outside.cfg")" = outside ] || fail "$case: wrote through the link"
  [ -z "$(ls -A "$WORK/elsewhere")" ] || fail "$case: wrote into the linked folder"
  case $case in
  new-link)
    [ $rc -eq 0 ] || fail "$case: refused to start: $(cat "$WORK/err")"
    [ -f "$COPY/Level01.cfg" ] && [ ! -L "$COPY/Level01.cfg" ] ||
      fail "$case: the link was installed as the file"
    cmp -s "$DATA/Level01.cfg" "$COPY/Level01.cfg" || fail "$case: file not restored"
    ;;
  *)
    [ $rc -ne 0 ] || fail "$case: started through a link"
    grep -q "is a link" "$WORK/err" || fail "$case: no clear message: $(cat "$WORK/err")"
    ! grep -q "ran in" "$WORK/out" || fail "$case: the game ran"
    ;;
  esac
done

# A second launcher waits for the first: while the copy is locked nothing is written.
rm -rf "$COPY" && launch || fail "fresh copy for the lock"
rm "$COPY/Level01.cfg"
exec 8<"$COPY"
flock 8
sh "$INST/bin/skyfloat" >"$WORK/out" 2>"$WORK/err" 8<&- &
PID=$!
for i in $(seq 1 50); do grep -q waiting "$WORK/err" && break; sleep 0.1; done
grep -q waiting "$WORK/err" || fail "no word of waiting for the other start: $(cat "$WORK/err")"
[ ! -e "$COPY/Level01.cfg" ] || fail "wrote into a copy another start holds"
exec 8<&-
wait $PID || fail "the waiting start failed: $(cat "$WORK/err")"
[ -f "$COPY/Level01.cfg" ] || fail "the waiting start did not restore the file"

# A file cut short is restored though the recorded checksums say it was done; a file the
# player changed is kept; leftovers of a killed start are removed.
head -c 1000 "$DATA/image/sky.png" >"$COPY/image/sky.png"
echo "窗口模式=0" >>"$COPY/Autoexec.cfg"
mkdir -p "$COPY/.skyfloat-new.AbC123/image"
head -c 1000 "$DATA/image/sky.png" >"$COPY/.skyfloat-new.AbC123/image/sky.png"
head -c 1000 "$DATA/image/sky.png" >"$COPY/image/sky.png.new"
: >"$COPY/.installed-files.XyZ987"
launch || fail "repair start: $(cat "$WORK/err")"
cmp -s "$DATA/image/sky.png" "$COPY/image/sky.png" || fail "the file cut short was not restored"
grep -q "cut short" "$WORK/err" || fail "no word of the restored file: $(cat "$WORK/err")"
grep -q "窗口模式=0" "$COPY/Autoexec.cfg" || fail "the player's change was lost"
[ -z "$(temporaries)" ] || fail "leftovers not removed: $(temporaries)"

# A full disk and a read-only one are named as such, and leave no half file in the copy.
TINY="$WORK/tiny"
mkdir -p "$TINY"
if ! mount -t tmpfs -o size=128k tmpfs "$TINY" 2>/dev/null; then
  echo "cannot mount a small tmpfs here: full and read-only disks skipped"
  echo "PASS"
  exit 0
fi
MOUNTED=$TINY
export XDG_DATA_HOME="$TINY"
COPY="$TINY/skyfloat"
launch && fail "started on a full disk"
grep -q "is full" "$WORK/err" || fail "the full disk was not named: $(cat "$WORK/err")"
! grep -q "cannot read the game's data" "$WORK/err" || fail "blamed the data on a full disk"
[ -z "$(temporaries)" ] || fail "temporaries left on the full disk: $(temporaries)"
[ ! -e "$COPY/image/sky.png" ] || cmp -s "$DATA/image/sky.png" "$COPY/image/sky.png" ||
  fail "a half file was put in place"
mount -o remount,ro "$TINY" || fail "cannot make the tmpfs read-only"
launch && fail "started on a read-only disk"
grep -q "read-only" "$WORK/err" || fail "the read-only disk was not named: $(cat "$WORK/err")"
echo "PASS"
