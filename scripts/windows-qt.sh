#!/usr/bin/env bash
# Builds the window's libraries for 64-bit Windows from Debian's own sources, with the
# MinGW-w64 toolchain, into the cache folder beside googletest; each is reused while
# its Debian version is unchanged:
#   libjpeg-turbo (the pictures), static, a few seconds;
#   Qt (qtbase: Core, Gui, Widgets, Test, PrintSupport) with the host tools of
#   qt6-base-dev-tools, about 20 minutes on 2 cores.
# Needs root (or sudo) for the deb-src entry and apt-get.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${KELVORY_JOBS:-2}
cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
mkdir -p "$cache"

# The Debian source version an installed package was built from, for the cache's stamp.
version_of() { dpkg-query -W -f='${source:Version}' "$1"; }
up_to_date() { [ "$(cat "$1/.version" 2>/dev/null)" = "$2" ]; }

jpeg_prefix=$cache/libjpeg-turbo
qt_prefix=$cache/qt6
# The builds follow the versions of this machine's own Qt and libjpeg, whose host tools
# and headers they use.
source scripts/install-packages.sh
install_packages qt6-base-dev qt6-base-dev-tools libjpeg62-turbo-dev dpkg-dev
jpeg_version=$(version_of libjpeg62-turbo-dev)
qt_version=$(version_of qt6-base-dev)
if up_to_date "$jpeg_prefix" "$jpeg_version" && up_to_date "$qt_prefix" "$qt_version"; then
  exit 0
fi

as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  "${as_root[@]}" tee /etc/apt/sources.list.d/kelvory-debian-src.sources >/dev/null <<'SRC'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb-src
URIs: http://deb.debian.org/debian-security
Suites: bookworm-security
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SRC
fi
[ -n "$(apt-cache showsrc qt6-base 2>/dev/null)" ] || "${as_root[@]}" apt-get update -qq

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
# Runs a step quietly; when it fails, the end of what it said is shown.
quietly() {
  "$@" >"$work/step.log" 2>&1 || { tail -n 60 "$work/step.log" >&2; return 1; }
}
# Unpacks a Debian source package into $work/NAME/src; apt has checked the files
# against the signed archive index.
unpack_source() {
  mkdir -p "$work/$1"
  local as_downloader=()  # apt's own download user cannot write into a root's private folder
  [ "$(id -u)" -ne 0 ] || as_downloader=(-o APT::Sandbox::User=root)
  (cd "$work/$1" && quietly apt-get source -qq "${as_downloader[@]}" --download-only "$1=$2" &&
    quietly dpkg-source --no-check -x ./*.dsc src)
}

if ! up_to_date "$jpeg_prefix" "$jpeg_version"; then
  echo "Building libjpeg-turbo $jpeg_version for Windows into $jpeg_prefix"
  unpack_source libjpeg-turbo "$jpeg_version"
  # Static, no SIMD (no nasm needed): the window decodes a few small pictures.
  quietly cmake -S "$work/libjpeg-turbo/src" -B "$work/libjpeg-turbo/build" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$jpeg_prefix" \
    -DENABLE_SHARED=OFF -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
  quietly cmake --build "$work/libjpeg-turbo/build" --parallel "$jobs"
  rm -rf "$jpeg_prefix"
  quietly cmake --install "$work/libjpeg-turbo/build"
  echo "$jpeg_version" >"$jpeg_prefix/.version"
fi

if ! up_to_date "$qt_prefix" "$qt_version"; then
  echo "Building Qt $qt_version for Windows into $qt_prefix (about 20 minutes)"
  unpack_source qt6-base "$qt_version"
  mkdir -p "$work/qt6-base/build"
  cd "$work/qt6-base/build"
  # Direct2D stays on (PrintSupport links against it); Debian's source has no wintab,
  # so no tablet events.
  quietly "$work/qt6-base/src/configure" -prefix "$qt_prefix" -release -opensource -confirm-license \
    -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- -qt-host-path /usr \
    -nomake examples -nomake tests \
    -qt-zlib -qt-libpng -qt-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
    -no-dbus -no-opengl -no-icu -no-feature-sql -no-feature-network -no-feature-tabletevent \
    -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo
  quietly cmake --build . --parallel "$jobs"
  rm -rf "$qt_prefix"
  quietly cmake --install .
  echo "$qt_version" >"$qt_prefix/.version"
fi
