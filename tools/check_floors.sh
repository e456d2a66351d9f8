#!/bin/sh
# Keeps game/ in floors: core, world, actors, scenes, app, each using only the floors below it
# and its own, and no two files depending on each other, directly or around a loop.
#   tools/check_floors.sh [game-library.a]
# Without the library only the include lines are read; with it, what each object file uses
# from the others (its undefined symbols that another defines) counts as well.
set -eu
ROOT=$(cd "$(dirname "$0")/.." && pwd)
GAME=$ROOT/game
ARCHIVE=${1:-}
if [ -n "$ARCHIVE" ]; then
    [ -f "$ARCHIVE" ] || { echo "no library at $ARCHIVE"; exit 1; }
    ARCHIVE=$(cd "$(dirname "$ARCHIVE")" && pwd)/$(basename "$ARCHIVE")
fi
FLOORS="core world actors scenes app"
EDGES=$(mktemp)
trap 'rm -f "$EDGES" "$EDGES".*' EXIT
status=0

floor_of() {
    i=0
    for f in $FLOORS; do
        [ "$f" = "$1" ] && { echo $i; return; }
        i=$((i + 1))
    done
    echo -1
}

cd "$GAME"
for file in $(find . -name '*.h' -o -name '*.cpp' | sed 's|^\./||' | sort); do
    folder=${file%%/*}
    own=$(floor_of "$folder")
    if [ "$folder" = "$file" ] || [ "$own" -lt 0 ]; then
        echo "$file: outside the floors ($FLOORS)"
        status=1
        continue
    fi
    for inc in $(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*"\([^"]*\)".*/\1/p' "$file"); do
        case $inc in
        */*) ;;
        *) continue ;; # the engine's own headers
        esac
        target=$(floor_of "${inc%%/*}")
        if [ "$target" -lt 0 ] || [ ! -f "$inc" ]; then
            echo "$file: includes $inc, which is no file of the game's floors"
            status=1
        elif [ "$target" -gt "$own" ]; then
            echo "$file: includes $inc from a higher floor"
            status=1
        fi
        echo "$file $inc" >>"$EDGES"
    done
done

if [ -n "$ARCHIVE" ]; then
    # Object files are named after their sources, whose names are unique across the floors.
    find . -name '*.cpp' | sed 's|^\./||' >"$EDGES.sources"
    nm -A "$ARCHIVE" >"$EDGES.symbols"
    awk -v sources="$EDGES.sources" '
        BEGIN {
            while ((getline line < sources) > 0) {
                n = split(line, part, "/")
                unit[part[n] ".o"] = line
            }
        }
        {
            split($1, where, ":")
            object = where[2]
            if (!(object in unit))
                next
            if ($2 == "U")
                uses[unit[object], $3] = 1
            else if ($2 ~ /^[TDBR]$/)
                owner[$3] = unit[object]
        }
        END {
            for (key in uses) {
                split(key, k, SUBSEP)
                if ((k[2] in owner) && owner[k[2]] != k[1])
                    print k[1], owner[k[2]]
            }
        }' "$EDGES.symbols" | sort -u >"$EDGES.linked"
    while read -r from to; do
        if [ "$(floor_of "${to%%/*}")" -gt "$(floor_of "${from%%/*}")" ]; then
            echo "$from uses what $to defines, a higher floor"
            status=1
        fi
    done <"$EDGES.linked"
    cat "$EDGES.linked" >>"$EDGES"
fi

if ! sort -u "$EDGES" | tsort >/dev/null 2>"$EDGES.loop"; then
    echo "files depending on each other:"
    grep -v 'input contains a loop' "$EDGES.loop" | sed 's/^tsort: /  /'
    status=1
fi
[ $status -eq 0 ] && echo "game/ keeps its floors: $(sort -u "$EDGES" | wc -l) dependencies, none upward, no loop"
exit $status
