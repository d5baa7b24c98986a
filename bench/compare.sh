# Sourced by big-files.sh and small-files.sh once they have made $pristine and set
# $FACTORS, $rounds and $title: kelvory-batch against the plain ways of running gdaladdo.
work=$scratch/work
dest=$scratch/dest
export FACTORS DEST=$dest
reset="rm -rf '$work' '$dest' '$TMPDIR' && mkdir -p '$work' '$dest' '$TMPDIR' && cp '$pristine'/*.tif '$work'/"

echo "== $title (factors $FACTORS, $cores processes)"
measure "$rounds" \
  kelvory-in-place "'$bin/kelvory-batch' '$work'/*.tif > /dev/null" \
  kelvory-dest "'$bin/kelvory-batch' --dest '$dest' '$work'/*.tif > /dev/null" \
  kelvory-no-fsync "$nosync '$bin/kelvory-batch' '$work'/*.tif > /dev/null" \
  kelvory-dest-no-fsync "$nosync '$bin/kelvory-batch' --dest '$dest' '$work'/*.tif > /dev/null" \
  kelvory-no-empty-truncate "$no_empty_truncate '$bin/kelvory-batch' '$work'/*.tif > /dev/null" \
  xargs-raw "printf '%s\n' '$work'/*.tif | xargs -P $cores -I{} gdaladdo {} $FACTORS > /dev/null" \
  xargs-safe "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-safe.sh'" \
  xargs-dest "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-dest.sh'" \
  sequential "for f in '$work'/*.tif; do gdaladdo \"\$f\" $FACTORS > /dev/null; done"
ratios \
  "in-place/safe-script:kelvory-in-place:xargs-safe" \
  "in-place/raw-floor:kelvory-in-place:xargs-raw" \
  "dest/its-script:kelvory-dest:xargs-dest" \
  "in-place/sequential:kelvory-in-place:sequential" \
  "in-place/without-fsync:kelvory-in-place:kelvory-no-fsync" \
  "dest/without-fsync:kelvory-dest:kelvory-dest-no-fsync" \
  "dest-no-fsync/its-script:kelvory-dest-no-fsync:xargs-dest" \
  "in-place/no-empty-truncate:kelvory-in-place:kelvory-no-empty-truncate" \
  "no-empty-truncate/raw-floor:kelvory-no-empty-truncate:xargs-raw"

# The same commands once more with every gdaladdo timed: kelvory's from a program folder
# of its own, the scripts' through PATH.
use_timed_tool
echo
echo "Breakdown ($cores slots; gap: time per job outside gdaladdo):"
PATH=$timed/gdal:$PATH
breakdown kelvory-in-place "$cores" "'$timed/kelvory-batch' '$work'/*.tif > /dev/null"
breakdown kelvory-no-empty-truncate "$cores" "$no_empty_truncate '$timed/kelvory-batch' '$work'/*.tif > /dev/null"
breakdown kelvory-dest "$cores" "'$timed/kelvory-batch' --dest '$dest' '$work'/*.tif > /dev/null"
breakdown kelvory-dest-no-fsync "$cores" "$nosync '$timed/kelvory-batch' --dest '$dest' '$work'/*.tif > /dev/null"
breakdown xargs-raw "$cores" "printf '%s\n' '$work'/*.tif | xargs -P $cores -I{} gdaladdo {} $FACTORS > /dev/null"
breakdown xargs-safe "$cores" "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-safe.sh'"
breakdown xargs-dest "$cores" "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-dest.sh'"
breakdown sequential 1 "for f in '$work'/*.tif; do gdaladdo \"\$f\" $FACTORS > /dev/null; done"
