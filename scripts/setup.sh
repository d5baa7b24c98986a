#!/usr/bin/env bash
# Installs what Kelvory needs to build, run, test and package on Debian 12, then
# configures and builds it into out/ (the programs are then in out/bin/). Safe to run
# again: it installs only what is missing. Installing needs root or sudo.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libjpeg62-turbo-dev libgtest-dev
  qt6-l10n-tools qt6-tools-dev
  gdal-bin libtiff-tools
  clang libclang-rt-14-dev
  xvfb xauth x11-apps x11-utils xdotool openbox imagemagick fonts-dejavu-core
  hyperfine
  fonts-dejavu-extra
  qt6-translations-l10n
  qttools5-dev-tools
  xdg-utils
  dpkg-dev lintian
  jq
  acl
)

source scripts/install-packages.sh
install_packages "${packages[@]}"

cmake -S . -B out -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build out --parallel "$(nproc)"
