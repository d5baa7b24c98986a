#!/usr/bin/env bash
# Cross-builds Kelvory for 64-bit Windows into out-win/ (the programs in out-win/bin/)
# with MinGW-w64. windows-deps.sh installs the toolchain and builds, once, googletest,
# Qt and libjpeg-turbo for the window, and the gdaladdo.exe the zip carries; the
# pictures and the help document are made by this machine's build in out/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/windows-deps.sh
[ -f out/build.ninja ] || bash scripts/setup.sh
cmake --build out --target kelvory-pictures kelvory-helppdf

cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
cmake -S . -B out-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$cache/googletest;$cache/qt6;$cache/libjpeg-turbo" \
  -DQT_HOST_PATH=/usr -DQt6HostInfo_DIR=/usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo \
  -DKELVORY_HOST_TOOLS="$PWD/out/app/tools" -DKELVORY_WIN_GDALADDO="$cache/gdal/bin/gdaladdo.exe"
cmake --build out-win --parallel "${KELVORY_JOBS:-2}"
