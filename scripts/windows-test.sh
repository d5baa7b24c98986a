#!/usr/bin/env bash
# Cross-builds Kelvory for Windows (windows-build.sh) and runs its Windows tests under
# Wine through CTest, in a Wine prefix of their own that is removed afterwards.
set -euo pipefail
cd "$(dirname "$0")/.."

wine_home=$(mktemp -d)
export KELVORY_WINEPREFIX=$wine_home/prefix
# The Wine server outlives the last program for a while: end it with the run.
trap 'WINEPREFIX=$KELVORY_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$wine_home"' EXIT

# The build lists each test program's tests by running it under Wine, too.
bash scripts/windows-build.sh
ctest --test-dir out-win --output-on-failure --timeout 300 -j "${KELVORY_JOBS:-2}"
