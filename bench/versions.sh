#!/usr/bin/env bash
# Two builds of kelvory-batch side by side in one run, each in place with the levels
# appended: one big file (SIZE x SIZE RGB LZW, default 12000: about 570 MB) and 8 files
# of 4000 x 4000 RGB (48 MB) two at a time; then each one's device writes. OLD_BIN is
# the other build's folder of programs (a checkout's out/bin, with its gdal/gdaladdo):
#   git worktree add /tmp/old REV && cmake -S /tmp/old -B /tmp/old/out -G Ninja \
#     -DKELVORY_GUI=OFF && cmake --build /tmp/old/out --target kelvory-batch
#   OLD_BIN=/tmp/old/out/bin bench/versions.sh
source "$(dirname "$0")/lib.sh"

old=${OLD_BIN:?set OLD_BIN to the other build\'s out/bin}
[ -x "$old/kelvory-batch" ] || { echo "missing $old/kelvory-batch" >&2; exit 2; }
size=${SIZE:-12000}
rounds=${ROUNDS:-5}
pristine=$scratch/pristine
work=$scratch/work
mkdir -p "$pristine/one" "$pristine/eight"
photo_like "$size" "$pristine/one/big.tif"
gdal_create -q -of GTiff -outsize 4000 4000 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 \
  "$scratch/seed.tif"
copies "$scratch/seed.tif" 8 "$pristine/eight" big

# device_writes COMMAND: the bytes it and its tools wrote to the disk, in MB.
device_writes() {
  bash -c "$reset" > /dev/null
  bash -c "$1 > /dev/null; awk '/^write_bytes/ { w = \$2 } /^cancelled_write_bytes/ { c = \$2 } END { printf \"%.1f\", (w - c) / 1e6 }' /proc/\$\$/io"
}

for set in one eight; do
  reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$TMPDIR' && cp -r '$pristine/$set' '$work' && sync"
  echo "== $set: $(ls "$pristine/$set" | wc -l) file(s), $(du -sm "$pristine/$set" | cut -f1) MB, page cache warm"
  measure "$rounds" \
    old "'$old/kelvory-batch' '$work'/*.tif" \
    new "'$bin/kelvory-batch' '$work'/*.tif"
  ratios "new/old:new:old"
  echo "Device writes (MB): old $(device_writes "'$old/kelvory-batch' '$work'/*.tif"), new $(device_writes "'$bin/kelvory-batch' '$work'/*.tif")"
done
