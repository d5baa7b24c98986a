#!/usr/bin/env bash
# Cross-builds Kelvory for Windows (windows-build.sh) and runs its Windows tests under
# Wine through CTest, in a Wine prefix of their own that is removed afterwards; then
# the zip's programs as a user starts them: kelvory-batch.exe without its tool, and
# kelvory.exe on a virtual X screen (windows-window-test.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

wine_home=$(mktemp -d)
export KELVORY_WINEPREFIX=$wine_home/prefix
# The Wine server outlives the last program for a while: end it with the run.
trap 'WINEPREFIX=$KELVORY_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true; rm -rf "$wine_home"' EXIT

# The build lists each test program's tests by running it under Wine, too.
bash scripts/windows-build.sh
ctest --test-dir out-win --output-on-failure --timeout 300 -j "${KELVORY_JOBS:-2}"

# The zip's program starts under Wine, finds no tool in its empty gdal\ folder and
# says where it looked.
bash scripts/windows-package.sh >/dev/null
zip=$(ls out-win/kelvory-*-win64.zip)
mkdir "$wine_home/unpacked"
(cd "$wine_home/unpacked" && cmake -E tar xf "$OLDPWD/$zip")
batch=$(ls "$wine_home"/unpacked/kelvory-*-win64/kelvory-batch.exe)
bash cmake/wine-run.sh "$batch" --version
status=0
message=$(bash cmake/wine-run.sh "$batch" "$batch" 2>&1) || status=$?
if [ "$status" -ne 2 ] || ! grep -q 'looked for .*\\gdal\\gdaladdo.exe' <<<"$message"; then
  echo "the zip's kelvory-batch.exe did not report its missing tool (status $status): $message" >&2
  exit 1
fi
echo "the zip's kelvory-batch.exe starts under Wine"
bash scripts/windows-window-test.sh
