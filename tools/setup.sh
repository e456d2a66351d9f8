#!/bin/sh
# Installs every Debian package the project needs to build, run and test, and any further
# packages named as arguments (the fuzz and memory-check scripts ask for theirs).
# Safe to run again: apt-get skips what is already installed.
set -e

PACKAGES="build-essential cmake pkg-config git
  libsdl2-dev libepoxy-dev libfreetype-dev libfontconfig-dev fonts-wqy-zenhei
  libpng-dev libjpeg62-turbo-dev libstb-dev libopenal-dev libsndfile1-dev libvorbis-dev
  libtinyxml-dev zlib1g-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  xvfb xauth xdotool x11-apps x11-utils xfonts-base imagemagick sox vorbis-tools
  desktop-file-utils appstream doxygen $*"

missing=""
for p in $PACKAGES; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO="sudo"
echo "Installing:$missing"
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $missing
