#!/usr/bin/env bash
# Installs every Debian package Kavelo needs (skipping what is present) and
# configures the build trees. Safe to run any number of times.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  nlohmann-json3-dev libicu-dev
  qt6-base-dev libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev librapidcheck-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev libxcb-xinput-dev
  libxcb-composite0-dev libxcb-image0-dev libxcb-xtest0-dev libxcb-xkb-dev libxcb-keysyms1-dev libxcb-res0-dev
  libxkbcommon-dev libxkbcommon-x11-dev
  xvfb xauth openbox xterm x11-apps x11-utils x11-xserver-utils
  xfwm4 dbus-daemon xcompmgr trayer imagemagick xdg-utils
  fonts-inter fonts-dejavu-core fonts-material-design-icons-iconfont
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVELO_WERROR=ON >/dev/null
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVELO_SANITIZE=ON -DKAVELO_WERROR=ON >/dev/null
