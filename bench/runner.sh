#!/usr/bin/env bash
# The runner alone: 200 files through 2 slots with a tool that only sleeps 50 ms,
# against the ideal 200 x 50 ms / 2 = 5 s, and against xargs -P 2 running the same
# sleeping tool (what starting 200 processes costs anyway).
source "$(dirname "$0")/lib.sh"

# A program folder of its own, so that kelvory-batch finds the sleeping tool there.
program=$scratch/program
mkdir -p "$program/gdal"
cp "$bin/kelvory-batch" "$program/kelvory-batch"
cp "$bin/kelvory-bench-sleep" "$program/gdal/gdaladdo"

pristine=$scratch/pristine
gdal_create -q -of GTiff -outsize 300 300 -bands 1 -ot Byte "$scratch/seed.tif"
copies "$scratch/seed.tif" 200 "$pristine" f
work=$scratch/work
reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$work' '$TMPDIR' && cp '$pristine'/*.tif '$work'/"
mkdir -p "$scratch/dest"

echo "== runner alone: 200 files, 2 slots, a tool that sleeps 50 ms"
measure "${ROUNDS:-5}" \
  kelvory-in-place "'$program/kelvory-batch' --jobs 2 '$work'/*.tif > /dev/null" \
  kelvory-dest "'$program/kelvory-batch' --jobs 2 --dest '$scratch/dest' '$work'/*.tif > /dev/null" \
  xargs-sleep "printf '%s\n' '$work'/*.tif | xargs -P 2 -n 1 '$bin/kelvory-bench-sleep'"
ratios \
  "in-place/ideal:kelvory-in-place:5" \
  "dest/ideal:kelvory-dest:5" \
  "xargs/ideal:xargs-sleep:5"

# Where the time beyond the ideal goes: one more run of each with the tool logging its
# start and end. Per job, a slot spends the tool's own lifetime and a gap: the time
# from one tool's end to the next one's start in that slot (collecting, copying,
# reading the next file, starting the process).
breakdown() {
  local name=$1 command=$2 log=$scratch/$1.log
  bash -c "$reset"
  local start end
  start=$(date +%s%N)
  KELVORY_BENCH_LOG=$log bash -c "$command"
  end=$(date +%s%N)
  awk -v wall="$((end - start))" -v name="$name" '
    { life += $2 - $1; n++ }
    END {
      printf "  %-18s wall %6.3f s   tool life %5.2f ms/job   gap %5.2f ms/job/slot\n",
        name, wall / 1e9, life / n / 1e6, (2 * wall - life) / n / 1e6
    }' "$log"
}
echo "Breakdown (2 slots, 200 jobs; ideal: life 50 ms, gap 0):"
breakdown kelvory-in-place "'$program/kelvory-batch' --jobs 2 '$work'/*.tif > /dev/null"
breakdown kelvory-dest "'$program/kelvory-batch' --jobs 2 --dest '$scratch/dest' '$work'/*.tif > /dev/null"
breakdown xargs-sleep "printf '%s\n' '$work'/*.tif | xargs -P 2 -n 1 '$bin/kelvory-bench-sleep'"
