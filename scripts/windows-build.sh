#!/usr/bin/env bash
# Cross-builds Kelvory for 64-bit Windows into out-win/ (the programs in out-win/bin/)
# with MinGW-w64; windows-setup.sh installs the toolchain and builds googletest first.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/windows-setup.sh
cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
prefixes="$cache/googletest"
[ -d "$cache/qt6" ] && prefixes="$prefixes;$cache/qt6"
cmake -S . -B out-win -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_PREFIX_PATH="$prefixes"
cmake --build out-win --parallel "${KELVORY_JOBS:-2}"
