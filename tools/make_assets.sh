#!/bin/sh
# Remakes the game's pictures and sounds in data/ from their sources in art/.
# Each recipe file under tools/assets/ is run when present; the results are committed, so
# playing and testing need none of the tools used here.
set -e
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
for recipe in pictures actors sounds; do
  script="tools/assets/$recipe.sh"
  if [ -f "$script" ]; then
    echo "== $recipe"
    sh "$script"
  fi
done
