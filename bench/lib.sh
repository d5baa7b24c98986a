# Shared by the benchmark scripts: where the programs are, a scratch folder that is
# removed on exit, and the ratio table.
set -euo pipefail

bench_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
repo=$(cd "$bench_dir/.." && pwd)
bin=${KELVORY_BIN:-$repo/out/bin}
cores=$(nproc)

for program in "$bin/kelvory-batch" "$bin/kelvory-bench-reader" "$bin/kelvory-bench-sleep" \
  "$bin/kelvory-bench-timed-tool" "$bin/kelvory-bench-nosync.so" \
  "$bin/kelvory-bench-no-empty-truncate.so"; do
  [ -x "$program" ] || { echo "missing $program: run ./scripts/setup.sh first" >&2; exit 2; }
done
for tool in gdal_create gdaladdo hyperfine; do
  command -v "$tool" >/dev/null || { echo "missing $tool: run ./scripts/setup.sh first" >&2; exit 2; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvory-bench.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM
# Preloaded into kelvory-batch, fsync and fdatasync return at once: a build without its
# syncs, to see what they cost (never for real use).
nosync="LD_PRELOAD='$bin/kelvory-bench-nosync.so'"
# Preloaded, ftruncate of an empty file to 0 returns at once (see NoEmptyTruncate.cpp).
no_empty_truncate="LD_PRELOAD='$bin/kelvory-bench-no-empty-truncate.so'"
# Temporary copies (kelvory's and the scripts') land on the same disk as the data.
export TMPDIR=$scratch/tmp
mkdir -p "$TMPDIR"

# photo_like SIZE FILE: an RGB LZW GeoTIFF of SIZE x SIZE, noise at half the size
# enlarged bilinearly, so that neighbouring pixels are alike as in a photograph and
# neither the reading nor the compressing is trivial.
photo_like() {
  local size=$1 file=$2 half=$(($1 / 2))
  head -c $((half * half * 3)) /dev/urandom > "$scratch/noise.raw"
  printf 'ENVI\nsamples = %d\nlines = %d\nbands = 3\nheader offset = 0\ndata type = 1\ninterleave = bip\nbyte order = 0\n' \
    "$half" "$half" > "$scratch/noise.hdr"
  gdal_translate -q -outsize "$size" "$size" -r bilinear -co COMPRESS=LZW -co PHOTOMETRIC=RGB \
    "$scratch/noise.raw" "$file"
  rm -f "$scratch/noise.raw" "$scratch/noise.hdr"
}

# copies FILE COUNT FOLDER PREFIX: COUNT copies of FILE named PREFIX<n>.tif, without a
# process per file.
copies() {
  local file=$1 count=$2 folder=$3 prefix=$4
  mkdir -p "$folder"
  seq -f "$folder/$prefix%05g.tif" 1 "$count" |
    xargs -n 500 sh -c 'tee "$@" < "$0" > /dev/null' "$file"
}

# measure ROUNDS NAME COMMAND [NAME COMMAND]...: each round runs every command once,
# in turn, after $reset (when set). Taking the commands in turn, rather than all runs
# of one and then all of the next, keeps a change in the load of a shared machine
# from favouring one of them. Prints each command's median, minimum and maximum.
measure() {
  local rounds=$1
  shift
  local args=()
  while (($#)); do
    args+=(-n "$1" "$2")
    shift 2
  done
  local prepare=()
  [ -n "${reset:-}" ] && prepare=(--prepare "$reset")
  times=$scratch/times.csv
  : > "$times"
  for ((round = 1; round <= rounds; round++)); do
    echo "  round $round: load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
    hyperfine --style none --runs 1 "${prepare[@]}" --export-csv "$scratch/round.csv" "${args[@]}"
    tail -n +2 "$scratch/round.csv" | awk -F, -v r="$round" '{ print r "," $1 "," $2 }' >> "$times"
    echo "  round $round of $rounds done, load average $(cut -d' ' -f1-3 /proc/loadavg)" >&2
  done
  echo "Wall times over $rounds rounds (seconds):"
  printf '  %-20s %8s %8s %8s\n' command median min max
  sort -t, -k2,2 -k3,3g "$times" | awk -F, '
    { t[$2, ++n[$2]] = $3; if (!($2 in seen)) { seen[$2] = 1; order[++k] = $2 } }
    END {
      for (i = 1; i <= k; i++) {
        c = order[i]; m = n[c]
        med = (m % 2) ? t[c, (m + 1) / 2] : (t[c, m / 2] + t[c, m / 2 + 1]) / 2
        printf "  %-20s %8.3f %8.3f %8.3f\n", c, med, t[c, 1], t[c, m]
      }
    }'
}

# ratios LABEL:NUMERATOR:DENOMINATOR...: the median over the rounds of measure of each
# round's ratio of wall times. A denominator that is a number is a time in seconds (an
# ideal).
ratios() {
  echo "Ratios (median over rounds of the ratio within a round):"
  local pair label num den
  for pair in "$@"; do
    IFS=: read -r label num den <<< "$pair"
    awk -F, -v num="$num" -v den="$den" '
      $2 == num { a[$1] = $3 }
      $2 == den { b[$1] = $3 }
      END {
        m = 0
        for (r in a) {
          d = (den ~ /^[0-9.]+$/) ? den : b[r]
          if (d > 0) q[++m] = a[r] / d
        }
        for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (q[j] < q[i]) { x = q[i]; q[i] = q[j]; q[j] = x }
        med = (m % 2) ? q[(m + 1) / 2] : (q[m / 2] + q[m / 2 + 1]) / 2
        printf "%.3f\n", med
      }' "$times" | xargs printf "  %-26s %-42s %s\n" "$label" "($num / $den)"
  done
}

# drop_caches: writes back and drops the page cache, so the next command reads from the
# disk. Needs root; says so and stops when refused.
drop_caches() {
  sync
  echo 3 > /proc/sys/vm/drop_caches || { echo "cannot drop the page cache (root needed)" >&2; return 1; }
}

# breakdown NAME SLOTS COMMAND: one more run, after $reset, with a tool that logs its
# start and end to $KELVORY_BENCH_LOG. Per job a slot spends the tool's own lifetime
# and a gap, the time from one tool's end to the next one's start in that slot:
# collecting, copying, reading the next file, starting the process.
breakdown() {
  local name=$1 slots=$2 command=$3 log=$scratch/$1.log start end
  [ -n "${reset:-}" ] && bash -c "$reset"
  rm -f "$log"
  start=$(date +%s%N)
  KELVORY_BENCH_LOG=$log bash -c "$command"
  end=$(date +%s%N)
  awk -v wall="$((end - start))" -v slots="$slots" -v name="$name" '
    { life += $2 - $1; n++ }
    END {
      printf "  %-18s wall %7.3f s   tool %8.2f ms/job   gap %6.2f ms/job/slot\n",
        name, wall / 1e9, life / n / 1e6, (slots * wall - life) / n / 1e6
    }' "$log"
}

# A program folder of its own ($timed) whose gdal/gdaladdo times every run of the real
# one, for the per-job breakdowns.
use_timed_tool() {
  timed=$scratch/timed
  mkdir -p "$timed/gdal"
  cp "$bin/kelvory-batch" "$timed/kelvory-batch"
  cp "$bin/kelvory-bench-timed-tool" "$timed/gdal/gdaladdo"
  export KELVORY_BENCH_TOOL
  KELVORY_BENCH_TOOL=$(command -v gdaladdo)
}
