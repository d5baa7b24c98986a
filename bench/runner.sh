#!/usr/bin/env bash
# The runner alone: 200 files through 2 slots with a stand-in tool that lives 50 ms
# (it copies a prepared file with its levels over the one it is given and sleeps),
# against the ideal 200 x 50 ms / 2 = 5 s, and against xargs -P 2 running the same
# stand-in (what starting 200 processes costs anyway).
source "$(dirname "$0")/lib.sh"

# A program folder of its own, so that kelvory-batch finds the sleeping tool there.
program=$scratch/program
mkdir -p "$program/gdal"
cp "$bin/kelvory-batch" "$program/kelvory-batch"
cp "$bin/kelvory-bench-sleep" "$program/gdal/gdaladdo"

pristine=$scratch/pristine
gdal_create -q -of GTiff -outsize 300 300 -bands 1 -ot Byte "$scratch/seed.tif"
copies "$scratch/seed.tif" 200 "$pristine" f
# What gdaladdo would make of each file (shorter side 300: two levels, 2 4). The
# runner checks the levels after every run; the stand-in copies this over its file.
cp "$scratch/seed.tif" "$scratch/built.tif"
gdaladdo -q "$scratch/built.tif" 2 4
export KELVORY_BENCH_BUILT=$scratch/built.tif
work=$scratch/work
reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$work' '$TMPDIR' && cp '$pristine'/*.tif '$work'/"
mkdir -p "$scratch/dest"

echo "== runner alone: 200 files, 2 slots, a stand-in tool that lives 50 ms"
measure "${ROUNDS:-5}" \
  kelvory-in-place "'$program/kelvory-batch' --jobs 2 '$work'/*.tif > /dev/null" \
  kelvory-dest "'$program/kelvory-batch' --jobs 2 --dest '$scratch/dest' '$work'/*.tif > /dev/null" \
  kelvory-no-fsync "$nosync '$program/kelvory-batch' --jobs 2 '$work'/*.tif > /dev/null" \
  xargs-sleep "printf '%s\n' '$work'/*.tif | xargs -P 2 -n 1 '$bin/kelvory-bench-sleep'"
ratios \
  "in-place/ideal:kelvory-in-place:5" \
  "dest/ideal:kelvory-dest:5" \
  "no-fsync/ideal:kelvory-no-fsync:5" \
  "xargs/ideal:xargs-sleep:5"

echo "Breakdown (2 slots, 200 jobs; ideal: tool 50 ms, gap 0):"
breakdown kelvory-in-place 2 "'$program/kelvory-batch' --jobs 2 '$work'/*.tif > /dev/null"
breakdown kelvory-dest 2 "'$program/kelvory-batch' --jobs 2 --dest '$scratch/dest' '$work'/*.tif > /dev/null"
breakdown kelvory-no-fsync 2 "$nosync '$program/kelvory-batch' --jobs 2 '$work'/*.tif > /dev/null"
breakdown xargs-sleep 2 "printf '%s\n' '$work'/*.tif | xargs -P 2 -n 1 '$bin/kelvory-bench-sleep'"
