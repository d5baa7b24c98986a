# Sourced by big-files.sh and small-files.sh once they have made $pristine and set
# $FACTORS, $runs and $title: kelvory-batch against the plain ways of running gdaladdo.
work=$scratch/work
dest=$scratch/dest
export FACTORS DEST=$dest
reset="rm -rf '$work' '$dest' '$TMPDIR' && mkdir -p '$work' '$dest' '$TMPDIR' && cp '$pristine'/*.tif '$work'/"
csv=$scratch/times.csv

echo "== $title (factors $FACTORS, $cores processes)"
hyperfine --style basic --runs "$runs" --prepare "$reset" --export-csv "$csv" \
  -n kelvory-in-place "'$bin/kelvory-batch' '$work'/*.tif > /dev/null" \
  -n kelvory-dest "'$bin/kelvory-batch' --dest '$dest' '$work'/*.tif > /dev/null" \
  -n xargs-raw "printf '%s\n' '$work'/*.tif | xargs -P $cores -I{} gdaladdo {} $FACTORS > /dev/null" \
  -n xargs-safe "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-safe.sh'" \
  -n xargs-dest "printf '%s\n' '$work'/*.tif | xargs -P $cores -n 1 '$bench_dir/one-dest.sh'" \
  -n sequential "for f in '$work'/*.tif; do gdaladdo \"\$f\" $FACTORS > /dev/null; done"

echo
echo "Ratios of mean wall times (lower is better for kelvory):"
ratios "$csv" \
  "in-place-vs-safe-script:kelvory-in-place:xargs-safe" \
  "in-place-vs-raw-floor:kelvory-in-place:xargs-raw" \
  "dest-vs-its-script:kelvory-dest:xargs-dest" \
  "in-place-vs-sequential:kelvory-in-place:sequential"
