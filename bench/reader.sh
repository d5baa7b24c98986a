#!/usr/bin/env bash
# The reader alone: the structure of 10,000 files (four directories each) read in one
# process, as a build reads them, with libtiff's tiffinfo on the same files as a
# yardstick (it reads every tag and prints them).
source "$(dirname "$0")/lib.sh"
command -v tiffinfo >/dev/null || { echo "missing tiffinfo: run ./scripts/setup.sh first" >&2; exit 2; }

gdal_create -q -of GTiff -outsize 512 512 -bands 1 -ot Byte "$scratch/seed.tif"
gdaladdo -q "$scratch/seed.tif" 2 4 8
files=$scratch/files
copies "$scratch/seed.tif" 10000 "$files" r

echo "== reader alone: 10,000 files"
"$bin/kelvory-bench-reader" "$files"
measure "${ROUNDS:-7}" \
  kelvory-reader "'$bin/kelvory-bench-reader' '$files' > /dev/null" \
  tiffinfo "find '$files' -name '*.tif' -print0 | xargs -0 tiffinfo > /dev/null 2>&1"
ratios "reader/tiffinfo:kelvory-reader:tiffinfo"
