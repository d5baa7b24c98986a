#!/usr/bin/env bash
# Installs what Kelvory needs to build, run, test and package on Debian 12, then
# configures and builds it into out/ (the programs are then in out/bin/). Safe to run
# again: it installs only what is missing. Installing needs root or sudo.
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
  dpkg-dev lintian
  jq
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "Installing: ${missing[*]}"
  as_root=()
  if [ "$(id -u)" -ne 0 ]; then
    # A minimal Debian has no sudo: say what is needed instead of failing on a missing command.
    if ! command -v sudo >/dev/null; then
      echo "Installing these Debian packages needs root, and there is no sudo here. Either run" >&2
      echo "this script as root, or run as root:" >&2
      echo "  apt-get update && apt-get install --no-install-recommends ${missing[*]}" >&2
      echo "and then this script again." >&2
      exit 1
    fi
    as_root=(sudo)
  fi
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

cmake -S . -B out -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build out --parallel "$(nproc)"
