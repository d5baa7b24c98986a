#!/usr/bin/env bash
# What a build in place writes to the disk and how long it takes, against plain
# gdaladdo in place run two at a time (xargs -P2), -r average: 8 files of 1750 x 1750
# RGB (9 MB), 8 of 4000 x 4000 RGB (48 MB), one photo-like LZW file of SIZE x SIZE
# (default 12000, about 570 MB). Device writes are write_bytes less
# cancelled_write_bytes of the shell that ran the command (its tools included): bytes
# dirtied and then dropped unwritten (a scratch file's holes punched, a file removed
# before writeback) reach no disk. OTHER_BIN, when set, is another build's folder of
# programs compared beside this one (for example one with another way for small files).
source "$(dirname "$0")/lib.sh"

size=${SIZE:-12000}
rounds=${ROUNDS:-5}
pristine=$scratch/pristine
work=$scratch/work
mkdir -p "$pristine/one"
gdal_create -q -of GTiff -outsize 1750 1750 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 \
  "$scratch/nine.tif"
copies "$scratch/nine.tif" 8 "$pristine/nine" small
gdal_create -q -of GTiff -outsize 4000 4000 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 \
  "$scratch/big.tif"
copies "$scratch/big.tif" 8 "$pristine/big" big
photo_like "$size" "$pristine/one/one.tif"

# The factors kelvory chooses for each set: a level per halving down to ~100 pixels.
declare -A factors=([nine]="2 4 8 16" [big]="2 4 8 16 32" [one]="2 4 8 16 32 64 128")

device_writes() {
  bash -c "$reset" > /dev/null
  bash -c "$1 > /dev/null; awk '/^write_bytes/ { w = \$2 } /^cancelled_write_bytes/ { c = \$2 } END { printf \"%.1f\", (w - c) / 1e6 }' /proc/\$\$/io"
}

for set in nine big one; do
  reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$TMPDIR' && cp -r '$pristine/$set' '$work' && sync"
  plain="ls '$work'/*.tif | xargs -P2 -I{} gdaladdo -q -r average {} ${factors[$set]}"
  kelvory="'$bin/kelvory-batch' -q -r average '$work'/*.tif"
  commands=(gdaladdo "$plain" kelvory "$kelvory")
  [ -n "${OTHER_BIN:-}" ] && commands+=(other "'$OTHER_BIN/kelvory-batch' -q -r average '$work'/*.tif")
  echo "== $set: $(ls "$pristine/$set" | wc -l) file(s), $(du -sm "$pristine/$set" | cut -f1) MB, page cache warm"
  measure "$rounds" "${commands[@]}"
  if [ -n "${OTHER_BIN:-}" ]; then
    ratios "kelvory/gdaladdo:kelvory:gdaladdo" "other/gdaladdo:other:gdaladdo"
  else
    ratios "kelvory/gdaladdo:kelvory:gdaladdo"
  fi
  line="Device writes (MB): gdaladdo $(device_writes "$plain"), kelvory $(device_writes "$kelvory")"
  [ -n "${OTHER_BIN:-}" ] && line+=", other $(device_writes "'$OTHER_BIN/kelvory-batch' -q -r average '$work'/*.tif")"
  echo "$line"
done
