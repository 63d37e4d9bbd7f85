#!/usr/bin/env bash
# Installs what building, running and testing p_ortav needs, from Debian 12 packages only.
# Safe to run again: apt-get skips what is already there.
set -euo pipefail

packages=(
  build-essential g++ cmake ninja-build pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev libgl-dev
  libyaml-cpp-dev
  xvfb xauth fonts-dejavu-core
  poppler-utils
  clang libclang-rt-14-dev
  binutils
  dpkg-dev file
  locales-all qt6-translations-l10n
  python3-pyvisa
  libqt6sql6-sqlite libqt6sql6-psql postgresql
  qt6-wayland
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
