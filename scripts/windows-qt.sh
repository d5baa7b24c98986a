#!/usr/bin/env bash
# Builds Qt (qtbase: Core, Gui, Widgets, Test, PrintSupport) for 64-bit Windows from
# Debian's own qt6-base source, with the MinGW-w64 toolchain and the host tools of
# qt6-base-dev-tools, into the cache folder beside googletest; reused when present.
# About 20 minutes on 2 cores. Needs root for the deb-src entry and apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
prefix=$cache/qt6
version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
if [ "$(cat "$prefix/.version" 2>/dev/null)" = "$version" ]; then exit 0; fi

if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  cat >/etc/apt/sources.list.d/kelvory-debian-src.sources <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
[ -n "$(apt-cache showsrc qt6-base 2>/dev/null)" ] || apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends dpkg-dev qt6-base-dev-tools >/dev/null

sources=$cache/qt6-src
rm -rf "$sources" && mkdir -p "$sources"
(cd "$sources" && apt-get source -qq --download-only qt6-base && dpkg-source -x ./*.dsc src >/dev/null)
build=$cache/qt6-build
rm -rf "$build" && mkdir -p "$build"
# Direct2D stays on (PrintSupport links against it); Debian's source has no wintab, so
# no tablet events.
cd "$build"
"$sources/src/configure" -prefix "$prefix" -release -opensource -confirm-license \
  -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -qt-host-path /usr \
  -nomake examples -nomake tests \
  -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
  -no-dbus -no-opengl -no-icu -no-feature-sql -no-feature-network -no-feature-tabletevent \
  -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
  -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo
cmake --build . --parallel "${KELVORY_JOBS:-2}"
rm -rf "$prefix"
cmake --install .
echo "$version" >"$prefix/.version"
rm -rf "$build" "$sources"
