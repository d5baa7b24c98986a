#!/usr/bin/env bash
# The Windows build's one-time parts, each cached outside the work tree and reused
# while its versions and recipe stay the same: the toolchain, Wine and googletest
# (windows-setup.sh), then Qt (windows-qt.sh) and GDAL's programs (windows-gdal.sh)
# side by side. The two builds share no file, and each has steps that leave a core
# idle (downloads, unpacking, Qt's configure, linking) that the other fills. GDAL's
# build says what it did when both are done. Safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."

# Installs everything both builds install, so that neither waits for apt.
bash scripts/windows-setup.sh

log=$(mktemp)
trap 'rm -f "$log"' EXIT
bash scripts/windows-gdal.sh >"$log" 2>&1 &
gdal=$!
qt_status=0
bash scripts/windows-qt.sh || qt_status=$?
gdal_status=0
wait "$gdal" || gdal_status=$?
cat "$log"
if [ "$qt_status" -ne 0 ] || [ "$gdal_status" -ne 0 ]; then
  echo "the Windows build's libraries: Qt's build ended with status $qt_status, GDAL's with $gdal_status" >&2
  exit 1
fi
