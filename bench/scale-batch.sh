#!/usr/bin/env bash
# kelvory-batch over many small files, as a nightly job runs it:
#   FILES=100000 bench/scale-batch.sh [tool|standin|dest]...   (default: all three)
# The files are single-band LZW rasters of 300 x 300 in folders of 1000: the smallest
# square the level rule gives levels to (2 and 4), so that each file starts the tool
# and its start-up is most of the work. (256 x 256 needs no level: nothing would run.)
#   tool     kelvory-batch FOLDER against find | xargs -P <cores> gdaladdo FILE 2 4, side by
#            side, ROUNDS rounds (default 1), files put back before every run; the ratio
#            and each command's peak memory (/usr/bin/time -v).
#   standin  the same build with a stand-in tool that ends at once (SleepTool.cpp with
#            KELVORY_BENCH_LIFE_MS=0), without syncs: what kelvory itself costs a file,
#            and its peak memory; run at several FILES to see whether either grows.
#   dest     a --dest build with the stand-in, then the timed second run over the same
#            files, all of whose copies are up to date (no tool is started): wall time
#            and peak memory, ROUNDS runs.
# Needs about 4 KB of disk a file for each copy of the files (sources, work, copies).
source "$(dirname "$0")/lib.sh"

files=${FILES:-100000}
rounds=${ROUNDS:-1}
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(tool standin dest)

# A stand-in program folder: kelvory-batch finds the stand-in as its gdal/gdaladdo.
program=$scratch/program
mkdir -p "$program/gdal"
cp "$bin/kelvory-batch" "$program/kelvory-batch"
cp "$bin/kelvory-bench-sleep" "$program/gdal/gdaladdo"

gdal_create -q -of GTiff -outsize 300 300 -bands 1 -ot Byte -burn 7 -co COMPRESS=LZW "$scratch/seed.tif"
cp "$scratch/seed.tif" "$scratch/built.tif"
gdaladdo -q "$scratch/built.tif" 2 4
export KELVORY_BENCH_BUILT=$scratch/built.tif KELVORY_BENCH_LIFE_MS=0

pristine=$scratch/pristine
for ((first = 0; first < files; first += 1000)); do
  left=$((files - first < 1000 ? files - first : 1000))
  copies "$scratch/seed.tif" "$left" "$pristine/d$(printf %04d $((first / 1000)))" f
done
echo "== $files files of 300 x 300 in $(ls "$pristine" | wc -l) folders; load average $(cut -d' ' -f1-3 /proc/loadavg)"

work=$scratch/work
dest=$scratch/dest
reset="rm -rf '$work' '$dest' '$TMPDIR' && mkdir -p '$dest' '$TMPDIR' && cp -r '$pristine' '$work'"

# peak LABEL COMMAND: runs the command once under /usr/bin/time -v and prints its wall
# time, its peak memory (the largest of the process and the children it waited for)
# and the load average before it.
peak() {
  local label=$1 command=$2 log=$scratch/time.log load
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  /usr/bin/time -v -o "$log" bash -c "$command"
  awk -v label="$label" -v load="$load" '
    /Elapsed/ { wall = $NF } /Maximum resident/ { kb = $NF }
    END { printf "  %-22s wall %s, peak %.1f MB, load average %s\n", label, wall, kb / 1024, load }' "$log"
}

for part in "${parts[@]}"; do
  case $part in
    tool)
      echo "== the build against xargs -P $cores gdaladdo ($rounds rounds)"
      measure "$rounds" \
        kelvory-batch "'$bin/kelvory-batch' '$work' > /dev/null" \
        xargs-gdaladdo "find '$work' -name '*.tif' | sort | xargs -P $cores -I{} gdaladdo {} 2 4 > /dev/null"
      ratios "kelvory/xargs:kelvory-batch:xargs-gdaladdo"
      echo "Peak memory, one more run each:"
      bash -c "$reset"
      peak kelvory-batch "'$bin/kelvory-batch' '$work' > /dev/null"
      bash -c "$reset"
      peak xargs-gdaladdo "find '$work' -name '*.tif' | sort | xargs -P $cores -I{} gdaladdo {} 2 4 > /dev/null"
      ;;
    standin)
      echo "== the build with a stand-in that ends at once, without syncs"
      bash -c "$reset"
      peak "kelvory-batch, $files" \
        "$nosync '$program/kelvory-batch' --jobs $cores '$work' > /dev/null"
      ;;
    dest)
      echo "== a second --dest run: every copy up to date ($rounds runs)"
      bash -c "$reset"
      "$program/kelvory-batch" --jobs "$cores" --dest "$dest" "$work" > /dev/null
      # Its summary line says how many files were up to date.
      for ((run = 1; run <= rounds; run++)); do
        peak "second --dest run" "'$bin/kelvory-batch' --dest '$dest' '$work' > /dev/null"
      done
      ;;
    *)
      echo "unknown part $part: tool, standin or dest" >&2
      exit 2
      ;;
  esac
done
