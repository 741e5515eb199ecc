#!/usr/bin/env bash
# Installs every Debian package Kavelo needs (skipping what is present) and
# configures the build trees. Safe to run any number of times.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config lld
  nlohmann-json3-dev libicu-dev liblz4-dev
  qt6-base-dev libqt6svg6
  libgtest-dev libgmock-dev libbenchmark-dev librapidcheck-dev
  libxcb1-dev libxcb-ewmh-dev libxcb-icccm4-dev libxcb-randr0-dev libxcb-xinput-dev
  libxcb-composite0-dev libxcb-image0-dev libxcb-xtest0-dev libxcb-xkb-dev libxcb-keysyms1-dev libxcb-res0-dev libxcb-record0-dev
  libxcb-damage0-dev
  libxkbcommon-dev libxkbcommon-x11-dev
  xvfb xauth openbox xterm x11-apps x11-utils x11-xserver-utils
  xfwm4 dbus-daemon xcompmgr mutter kwin-x11 kwin-style-breeze i3-wm trayer imagemagick xdg-utils zenity
  gedit gnome-calculator kcalc mousepad firefox-esr
  fonts-inter fonts-dejavu-core fonts-material-design-icons-iconfont
)

# One query for the whole list: the check is all a run costs once the
# packages are present.
declare -A installed
while read -r name state; do
  [ "$state" = "install ok installed" ] && installed[$name]=1
done < <(dpkg-query -W -f='${Package} ${Status}\n' "${packages[@]}" 2>/dev/null)
missing=()
for p in "${packages[@]}"; do
  [ -n "${installed[$p]:-}" ] || missing+=("$p")
done

if ((${#missing[@]})); then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The normal tree compiles every file as written (no precompiled headers, no
# batches, so a missing include fails there) and builds the benchmarks; the
# sanitizer tree precompiles the heavy headers, compiles files in batches and
# leaves the benchmarks out.
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
echo "== set-up: configure =="
# CI's disk is shared and nobody debugs there: line tables only.
lines=OFF
[ -n "${CI:-}" ] && lines=ON
cmake -S "$root" -B "$root/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKAVELO_WERROR=ON \
  -DKAVELO_PCH=OFF -DKAVELO_BENCHMARKS=ON -DKAVELO_LINE_TABLES=$lines >/dev/null
cmake -S "$root" -B "$root/build-asan" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DKAVELO_SANITIZE=ON -DKAVELO_WERROR=ON \
  -DKAVELO_PCH=ON -DKAVELO_UNITY=ON -DKAVELO_BENCHMARKS=OFF -DKAVELO_LINE_TABLES=$lines >/dev/null
