#!/usr/bin/env bash
# The 8 RGB files of 4000 x 4000 of big-files.sh with a cold page cache: the cache is
# dropped before every run, and every command ends with sync inside its timing, so
# that what each one wrote has reached the disk when its clock stops (kelvory syncs
# its results itself; the scripts would otherwise leave their writing to the kernel).
source "$(dirname "$0")/lib.sh"
drop_caches || exit 2

pristine=$scratch/pristine
mkdir -p "$pristine"
gdal_create -q -of GTiff -outsize 4000 4000 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 "$scratch/seed.tif"
copies "$scratch/seed.tif" 8 "$pristine" big
FACTORS="2 4 8 16 32"
export FACTORS DEST=$scratch/dest
rounds=${ROUNDS:-3}
work=$scratch/work
dest=$scratch/dest
reset="rm -rf '$work' '$dest' '$TMPDIR' && mkdir -p '$work' '$dest' '$TMPDIR' && cp '$pristine'/*.tif '$work'/ && sync && echo 3 > /proc/sys/vm/drop_caches"

echo "== 8 files of 4000 x 4000 RGB, page cache dropped before each run, sync timed (factors $FACTORS, $cores processes)"
measure "$rounds" \
  kelvory-in-place "'$bin/kelvory-batch' '$work'/*.tif > /dev/null; sync" \
  kelvory-dest "'$bin/kelvory-batch' --dest '$dest' '$work'/*.tif > /dev/null; sync" \
  kelvory-no-fsync "$nosync '$bin/kelvory-batch' '$work'/*.tif > /dev/null; sync" \
  xargs-raw "printf '%s\n' '$work'/*.tif | xargs -P $cores -I{} gdaladdo {} $FACTORS > /dev/null; sync" \
  xargs-dest "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-dest.sh'; sync"
ratios \
  "in-place/raw+sync:kelvory-in-place:xargs-raw" \
  "dest/its-script+sync:kelvory-dest:xargs-dest" \
  "in-place/without-fsync:kelvory-in-place:kelvory-no-fsync"

use_timed_tool
echo
echo "Breakdown, cold ($cores slots; gap: time per job outside gdaladdo, the final sync included):"
PATH=$timed/gdal:$PATH
breakdown kelvory-in-place "$cores" "'$timed/kelvory-batch' '$work'/*.tif > /dev/null; sync"
breakdown kelvory-no-fsync "$cores" "$nosync '$timed/kelvory-batch' '$work'/*.tif > /dev/null; sync"
breakdown xargs-raw "$cores" "printf '%s\n' '$work'/*.tif | xargs -P $cores -I{} gdaladdo {} $FACTORS > /dev/null; sync"
