#!/usr/bin/env bash
# Installs the Windows cross toolchain (MinGW-w64, posix thread model), Wine with its
# fonts, nsis for the installer, and what the window's check under Wine uses (Xvfb,
# xwininfo, xdotool) on
# Debian 12, and what windows-qt.sh and windows-gdal.sh build with (the host's Qt
# tools, libjpeg, GDAL, PROJ and sqlite3 whose versions they follow, tcl, Debian's
# sources), so that those two can run side by side without apt; then builds googletest
# for Windows into a cache folder outside the work tree, reused when it is already
# there. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 fonts-wine nsis googletest cmake ninja-build
          xvfb x11-utils xdotool imagemagick gdal-bin qttools5-dev-tools
          qt6-base-dev qt6-base-dev-tools libjpeg62-turbo-dev dpkg-dev tcl sqlite3 libproj25 libsqlite3-0)
source scripts/install-packages.sh
source scripts/debian-sources.sh
install_packages "${packages[@]}"
ensure_deb_src

cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
gtest_prefix=$cache/googletest
gtest_version=$(dpkg-query -W -f='${Version}' googletest)
if [ "$(cat "$gtest_prefix/.version" 2>/dev/null)" != "$gtest_version" ]; then
  echo "Building googletest $gtest_version for Windows into $gtest_prefix"
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  cmake -S /usr/src/googletest -B "$work" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$gtest_prefix" \
    -Dgtest_disable_pthreads=OFF -DBUILD_GMOCK=OFF >/dev/null
  cmake --build "$work" --parallel "${KELVORY_JOBS:-2}"
  rm -rf "$gtest_prefix"
  cmake --install "$work" >/dev/null
  echo "$gtest_version" >"$gtest_prefix/.version"
fi
