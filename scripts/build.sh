#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what Vireltan needs on Debian 12 (compiler, CMake, libraries, Qt,
# and help2man and file for the manual page and the Debian package), then
# configures and builds everything into ./build.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  libxlsxwriter-dev libfreexl-dev libzip-dev libexpat1-dev libigraph-dev libhts-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libeigen3-dev libspectra-dev
  plink1.9
  qt6-base-dev qt6-charts-dev libqt6opengl6-dev qt6-svg-dev
  xvfb xauth fonts-dejavu-core
  help2man file
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update
  $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
cmake --build build -j"$(nproc)"
