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
csv=$scratch/times.csv

echo "== reader alone: 10,000 files"
"$bin/kelvory-bench-reader" "$files"
hyperfine --style basic --warmup 1 --runs "${RUNS:-10}" --export-csv "$csv" \
  -n kelvory-reader "'$bin/kelvory-bench-reader' '$files' > /dev/null" \
  -n tiffinfo "find '$files' -name '*.tif' -print0 | xargs -0 tiffinfo > /dev/null 2>&1"

echo
echo "Ratio of mean wall times:"
ratios "$csv" "reader-vs-tiffinfo:kelvory-reader:tiffinfo"
