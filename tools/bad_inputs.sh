#!/bin/sh
# Damages one data file at a time (cut in half, random bytes, a 2 GB sparse file, a file of
# another kind) and plays the headless game through the menu into a level with it. Prints a
# Markdown row per case: the game's exit and the warnings and errors of its run log.
#   tools/bad_inputs.sh [build folder]
set -u
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
cmake --build "$BUILD" -j2 --target skyfloat_drive >/dev/null || exit 1
export ALSOFT_DRIVERS=null SDL_AUDIODRIVER=dummy SKYFLOAT_DRIVE_KEEP=1
TMP=$(mktemp -d)
trap 'rm -rf "$TMP"' EXIT
head -c 4096 /dev/urandom >"$TMP/garbage"

# The run log's warning and error rows, "kind: message (source)", one per distinct message.
log_rows() {
    iconv -f GBK -t UTF-8 "$1" 2>/dev/null | sed 's/<tr/\n<tr/g' |
        sed -n 's#.*<td>\(错误\|警告\)</td><td><b>\([^<]*\)</b></td><td>\([^<]*\)</td>.*#\1: \2 (\3)#p' |
        sort -u | paste -sd ';' | sed 's/;/; /g'
}

# case FILE DAMAGE: a data copy with FILE damaged, one run, one row.
run_case() {
    file=$1 damage=$2
    data=$TMP/data
    rm -rf "$data" && cp -rs "$ROOT/data" "$data" && rm "$data/$file"
    case $damage in
    truncated) head -c $(($(stat -c %s "$ROOT/data/$file") / 2)) "$ROOT/data/$file" >"$data/$file" ;;
    garbage) cp "$TMP/garbage" "$data/$file" ;;
    huge) truncate -s 2G "$data/$file" ;;
    wrong-kind) cp "$ROOT/data/$3" "$data/$file" ;;
    stray-closes)
        awk 'BEGIN { for (p = 1; p <= 3; ++p) for (i = 0; i < 40000; ++i) printf (p == 2 ? "<x>" : "</x>") }' \
            >"$data/$file" ;;
    frames-max) sed 's/Frames="[0-9]*"/Frames="2147483647"/' "$ROOT/data/$file" >"$data/$file" ;;
    nan-spawn) sed 's/\(Name="出生点1" PositionX=\)"[^"]*"/\1"nan"/' "$ROOT/data/$file" >"$data/$file" ;;
    unknown-anim)
        iconv -f GBK -t UTF-8 "$ROOT/data/$file" | sed 's/^飞_左=小鸟_左/飞_左=没有这个动画/' |
            iconv -f UTF-8 -t GBK >"$data/$file" ;;
    markup-title)
        iconv -f GBK -t UTF-8 "$ROOT/data/$file" | sed 's/^标题=.*/标题=<script>alert(1)<\/script>/' |
            iconv -f UTF-8 -t GBK >"$data/$file" ;;
    esac
    out=$("$BUILD/bin/skyfloat_drive" "$data" play 45 2>&1)
    rc=$?
    dir=$(echo "$out" | sed -n 's/^run log in //p')
    screens=$(echo "$out" | grep -c ' s  ')
    rows=$(log_rows "$dir/运行日志.htm")
    # Settings read before the run log opens are reported on standard error only.
    early=$(echo "$out" | grep '^配置文件' | sort -u | while read -r line; do
        case "$rows" in *"$line"*) ;; *) echo "警告: $line (standard error)" ;; esac
    done | paste -sd ';' | sed 's/;/; /g')
    rows=$(echo "$rows${rows:+${early:+; }}$early")
    rm -rf "$dir"
    echo "| \`$file\` | $damage | exit $rc, $screens screens | ${rows:-none} |"
}

echo "| file | damage | game | warnings and errors |"
echo "|---|---|---|---|"
for d in truncated garbage huge; do
    for f in Autoexec.cfg resource_MainMenu.xml MainMenu.xml Level01.xml MainMenu.cfg \
        image/sky.png image/btn_single.png music/背景音乐.ogg sound/鼠标选择.ogg; do
        run_case "$f" $d
    done
done
run_case Autoexec.cfg wrong-kind image/sky.png
run_case resource_MainMenu.xml wrong-kind image/sky.png
run_case MainMenu.xml wrong-kind resource_MainMenu.xml
run_case Level01.xml wrong-kind music/关卡音乐.ogg
run_case image/sky.png wrong-kind sound/鼠标选择.ogg
run_case music/背景音乐.ogg wrong-kind image/sky.png
run_case sound/鼠标选择.ogg wrong-kind Level01.xml
# Hostile edits: stray closing tags before deep nesting, one number raised to its limit, a
# NaN spawn point, an unknown animation name, markup in the window title.
run_case resource_MainMenu.xml stray-closes
run_case Level01.xml stray-closes
run_case resource_Level01.xml frames-max
run_case Level01.xml nan-spawn
run_case character.cfg unknown-anim
run_case Autoexec.cfg markup-title
