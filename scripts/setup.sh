#!/usr/bin/env bash
# Installs what Kelvory needs to build, run and test on Debian 12, then configures and
# builds it into out/. Safe to run again: it installs only what is missing.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libjpeg62-turbo-dev libgtest-dev
  gdal-bin libtiff-tools
  clang libclang-rt-14-dev
  xvfb xauth x11-apps imagemagick fonts-dejavu-core
  hyperfine
  fonts-dejavu-extra
  qt6-translations-l10n
  xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B out -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build out --parallel "$(nproc)"
