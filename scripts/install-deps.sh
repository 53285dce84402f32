#!/usr/bin/env bash
# Installs every Debian package the build, the application and the tests need (the journey tests: a
# private X server, xdotool, the accessibility bus and the system Python with pyatspi, ImageMagick; the X
# probe's Xlib, XTest and XDamage headers).
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
pkgs=(
  build-essential cmake ninja-build pkg-config git
  qt6-base-dev qt6-base-dev-tools libqt6svg6-dev qt6-l10n-tools qt6-translations-l10n
  qt6-image-formats-plugins libgl1-mesa-dev
  libfontconfig-dev libsqlite3-dev sqlite3 libgtest-dev libgmock-dev libbenchmark-dev
  bootstrap-icons fonts-inter fonts-jetbrains-mono fonts-noto-color-emoji
  libheif-dev libhunspell-dev hunspell-fr
  clang clang-format libclang-rt-14-dev
  libx11-dev libxtst-dev libxdamage-dev libxfixes-dev
  xvfb xdotool dbus-daemon dbus-bin at-spi2-core python3 python3-gi python3-pyatspi gir1.2-atspi-2.0 imagemagick
)
missing=()
for p in "${pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
