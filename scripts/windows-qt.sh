#!/usr/bin/env bash
# Builds the window's libraries for 64-bit Windows from Debian's own sources, with the
# MinGW-w64 toolchain, into the cache folder beside googletest; each is reused while
# its Debian version is unchanged:
#   libjpeg-turbo (the pictures), static, a few seconds;
#   Qt (qtbase: Core, Gui, Widgets, Test, PrintSupport) with the host tools of
#   qt6-base-dev-tools, about 20 minutes on 2 cores.
# A stamp holds the Debian version and the recipe's own: a changed recipe rebuilds.
# Needs root (or sudo) for apt-get and, where apt has none, a deb-src entry.
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
source scripts/debian-sources.sh
# The window's translations are made by this machine's lrelease (qt6-l10n-tools).
install_packages qt6-base-dev qt6-base-dev-tools qt6-l10n-tools qt6-tools-dev libjpeg62-turbo-dev dpkg-dev
jpeg_version=$(version_of libjpeg62-turbo-dev)
# Raise the recipe number whenever the options below change what is built.
qt_source_version=$(version_of qt6-base-dev)
qt_version="recipe 2; qt6-base $qt_source_version"
if up_to_date "$jpeg_prefix" "$jpeg_version" && up_to_date "$qt_prefix" "$qt_version"; then
  exit 0
fi

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
quietly() { quiet_step "$work/step" "$@"; }

if ! up_to_date "$jpeg_prefix" "$jpeg_version"; then
  echo "Building libjpeg-turbo $jpeg_version for Windows into $jpeg_prefix"
  fetch_source libjpeg-turbo "$jpeg_version" "$work/libjpeg-turbo" >/dev/null
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

# Qt builds in a folder of its own, kept until Qt is installed: a build that was stopped
# (a time limit, a killed run) goes on next time from where it stopped, as long as the
# stamp is the same. One that cannot go on (its source or toolchain file moved) starts
# afresh.
qt_work=$cache/qt6-work
configure_qt() {
  rm -rf "$qt_work"
  fetch_source qt6-base "$qt_source_version" "$qt_work" >/dev/null
  mkdir -p "$qt_work/build"
  # Only what the window and its tests load: the modules above, the windows and
  # offscreen platforms, the windowsvista style. Left out: the Concurrent, Xml, Sql,
  # Network, DBus and OpenGL modules; the JPEG plugin and Qt's copy of libjpeg (the
  # window decodes its pictures with libjpeg-turbo); the Direct2D platform plugin, a
  # second build of the windows platform (Direct2D itself stays on: Gui's DirectWrite
  # fonts need it). Debian's source has no wintab, so no tablet events.
  (cd "$qt_work/build" && quietly "$qt_work/src/configure" -prefix "$qt_prefix" -release -opensource \
    -confirm-license -xplatform win32-g++ -device-option CROSS_COMPILE=x86_64-w64-mingw32- \
    -qt-host-path /usr -nomake examples -nomake tests \
    -qt-zlib -qt-libpng -no-libjpeg -qt-pcre -qt-freetype -qt-harfbuzz \
    -no-dbus -no-opengl -no-icu -no-feature-sql -no-feature-network -no-feature-tabletevent \
    -no-feature-concurrent -no-feature-xml -no-feature-jpeg -no-feature-direct2d1_1 \
    -- -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR= \
    -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
    -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo)
  echo "$qt_version" >"$qt_work/.version"
}
build_qt() { quietly cmake --build "$qt_work/build" --parallel "$jobs"; }

if ! up_to_date "$qt_prefix" "$qt_version"; then
  if up_to_date "$qt_work" "$qt_version"; then
    echo "Building Qt $qt_source_version for Windows into $qt_prefix, on from a stopped build"
    if ! build_qt; then
      echo "The stopped build of Qt cannot go on; it starts afresh"
      configure_qt
      build_qt
    fi
  else
    echo "Building Qt $qt_source_version for Windows into $qt_prefix (about 20 minutes)"
    configure_qt
    build_qt
  fi
  rm -rf "$qt_prefix"
  quietly cmake --install "$qt_work/build"
  echo "$qt_version" >"$qt_prefix/.version"
  rm -rf "$qt_work"
fi
