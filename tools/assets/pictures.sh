#!/bin/sh
# World and interface pictures: art/world and art/ui rendered to data/image/.
# Run from the repository root (tools/make_assets.sh does). Needs rsvg-convert (librsvg2-bin)
# and the WenQuanYi Zen Hei font (fonts-wqy-zenhei) for the Chinese text.
set -e
command -v rsvg-convert >/dev/null || { echo "rsvg-convert missing (apt-get install librsvg2-bin)" >&2; exit 1; }
fc-list | grep -q "WenQuanYi Zen Hei" || { echo "font WenQuanYi Zen Hei missing (apt-get install fonts-wqy-zenhei)" >&2; exit 1; }

out=data/image
mkdir -p "$out"

# render SOURCE.svg NAME: the picture at the size its SVG declares
render() {
  rsvg-convert "$1" -o "$out/$2.png"
}

for name in sky sun moon far_islands clouds island leaf_platform leaf_platform_small crate water weather \
    blossom_platform stone_pillar snow_island ice_floe; do
  render "art/world/$name.svg" "$name"
done
for name in logo board board_two level_title leaves_top leaves_bottom splash_studio splash_engine \
    level_previews level_arrows; do
  render "art/ui/$name.svg" "$name"
done

# Buttons share one drawing per size; only the label differs.
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
button() { # TEMPLATE LABEL NAME
  sed "s/@LABEL@/$2/" "art/ui/$1.svg.in" > "$tmp/$3.svg"
  render "$tmp/$3.svg" "$3"
}
button button_wide 单人游戏 btn_single
button button_wide 双人游戏 btn_double
button button_wide 退出游戏 btn_quit
button button_small 开始 btn_start
button button_small 返回 btn_back

# The other levels' title badges: level 1's drawing with its number changed.
for n in 2 3 4; do
  sed "s/关卡 1/关卡 $n/" art/ui/level_title.svg > "$tmp/level_title$n.svg"
  render "$tmp/level_title$n.svg" "level_title$n"
done
