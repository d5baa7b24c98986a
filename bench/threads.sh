#!/usr/bin/env bash
# Threads for the tools that run while fewer files are left than slots: kelvory-batch in
# place against plain gdaladdo (one thread, its default) and xargs -P <cores> gdaladdo,
# page cache warm. Parts, each with its own rounds:
#   average  one LZW RGB file of BIG x BIG (default 12000: about 573 MB), -r average
#   lanczos  one LZW RGB file of MID x MID (default 6000), -r lanczos
#   mixed    7 LZW RGB files of SMALL x SMALL (default 2000) and the big one last,
#            -r average, against xargs -P <cores> gdaladdo on the same list
#   tiled    the big file tiled (the others have GDAL's strips of one row), -r average;
#            not run unless PARTS names it
# Every part also runs kelvory with GDAL_NUM_THREADS=1 in its environment (the build
# as it was without threads: a user's own count wins) and gdaladdo with
# --config GDAL_NUM_THREADS <cores> (what GDAL's threads give without kelvory); the mixed
# part also the small files' build followed by the big file's alone (what the big file
# would gain if it started only once the tools beside it had ended). Then one timed
# run of kelvory: each tool's start, end and thread count. PARTS chooses the parts
# (default all), ROUNDS the rounds (default 5). Uses about 3 x the files' size on the
# disk of $TMPDIR.
source "$(dirname "$0")/lib.sh"

parts=${PARTS:-average lanczos mixed}
rounds=${ROUNDS:-5}
big=${BIG:-12000}
mid=${MID:-6000}
small=${SMALL:-2000}
pristine=$scratch/pristine
work=$scratch/work

# factors_for SIZE: the factors kelvory asks for, one level for each halving down to
# about 100 pixels.
factors_for() {
  awk -v s="$1" 'BEGIN {
    l = log(s / 100) / log(2); r = int(l); if (l - r > 0.5 || (l - r == 0.5 && r % 2)) r++
    for (i = 1; i <= r; i++) printf "%s%d", (i > 1 ? " " : ""), 2 ^ i
  }'
}

# A tool that runs the real one and logs its start and end (seconds), its thread count
# and the size of the file it worked on to $KELVORY_TOOL_LOG.
logged_tool=$scratch/logged/gdal/gdaladdo
mkdir -p "$(dirname "$logged_tool")"
cp "$bin/kelvory-batch" "$scratch/logged/"
export KELVORY_REAL_TOOL
KELVORY_REAL_TOOL=$(command -v gdaladdo)
cat > "$logged_tool" <<'EOF'
#!/bin/sh
threads=1 previous= file=
for a in "$@"; do
  [ "$previous" = GDAL_NUM_THREADS ] && threads=$a
  case $a in */*) file=$a ;; esac
  previous=$a
done
size=$(stat -L -c %s "$file")
start=$(date +%s.%N)
"$KELVORY_REAL_TOOL" "$@"
status=$?
echo "$start $(date +%s.%N) $threads $((size / 1000000))" >> "$KELVORY_TOOL_LOG"
exit $status
EOF
chmod +x "$logged_tool"

# timeline COMMAND: one run of COMMAND (kelvory from $scratch/logged) after $reset;
# each tool's start and end from the build's start, its threads, and the build's wall.
timeline() {
  local log=$scratch/tools.log start end
  bash -c "$reset"
  rm -f "$log"
  start=$(date +%s.%N)
  KELVORY_TOOL_LOG=$log bash -c "$1" > /dev/null 2>&1
  end=$(date +%s.%N)
  echo "One timed kelvory run (load average $(cut -d' ' -f1-3 /proc/loadavg)): wall $(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }') s"
  sort -n "$log" | awk -v t0="$start" '{ printf "  %6.2f to %6.2f s (%6.2f s)  %s thread(s)  %s MB\n", $1 - t0, $2 - t0, $2 - $1, $3, $4 }'
}

# one_file TITLE SIZE METHOD [tiled]: one file in place.
one_file() {
  local title=$1 size=$2 method=$3 factors
  factors=$(factors_for "$size")
  rm -rf "$pristine" && mkdir -p "$pristine"
  photo_like "$size" "$pristine/big.tif"
  if [ "${4:-}" = tiled ]; then
    gdal_translate -q -co COMPRESS=LZW -co PHOTOMETRIC=RGB -co TILED=YES "$pristine/big.tif" "$scratch/tiled.tif"
    mv "$scratch/tiled.tif" "$pristine/big.tif"
  fi
  reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$work' '$TMPDIR' && cp '$pristine/big.tif' '$work/' && sync"
  echo "== $title: $size x $size RGB, LZW${4:+, $4}, $(($(stat -c %s "$pristine/big.tif") / 1000000)) MB, -r $method (factors $factors)"
  measure "$rounds" \
    kelvory "'$bin/kelvory-batch' -r $method '$work/big.tif' > /dev/null" \
    kelvory-one-thread "GDAL_NUM_THREADS=1 '$bin/kelvory-batch' -r $method '$work/big.tif' > /dev/null" \
    gdaladdo "gdaladdo -q -r $method '$work/big.tif' $factors" \
    gdaladdo-threads "gdaladdo -q -r $method '$work/big.tif' $factors --config GDAL_NUM_THREADS $cores"
  ratios \
    "kelvory/gdaladdo:kelvory:gdaladdo" \
    "kelvory/one-thread:kelvory:kelvory-one-thread" \
    "kelvory/gdaladdo-threads:kelvory:gdaladdo-threads" \
    "gdaladdo-threads/gdaladdo:gdaladdo-threads:gdaladdo"
  timeline "'$scratch/logged/kelvory-batch' -r $method '$work/big.tif'"
}

# mixed: 7 small files and the big one last, as one build.
mixed() {
  local small_factors big_factors list
  small_factors=$(factors_for "$small")
  big_factors=$(factors_for "$big")
  rm -rf "$pristine" && mkdir -p "$pristine"
  photo_like "$small" "$scratch/small.tif"
  copies "$scratch/small.tif" 7 "$pristine" small
  photo_like "$big" "$pristine/zz-big.tif"
  reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$TMPDIR' && cp -r '$pristine' '$work' && sync"
  # Each file with its own factors, in the order of the build's list.
  list="{ for f in '$work'/small*.tif; do echo \"\$f $small_factors\"; done; echo '$work/zz-big.tif $big_factors'; }"
  echo "== 7 files of $small x $small and one of $big x $big, RGB LZW, -r average, $cores at a time"
  measure "$rounds" \
    kelvory "'$bin/kelvory-batch' -r average '$work'/*.tif > /dev/null" \
    kelvory-one-thread "GDAL_NUM_THREADS=1 '$bin/kelvory-batch' -r average '$work'/*.tif > /dev/null" \
    kelvory-big-alone "'$bin/kelvory-batch' -r average '$work'/small*.tif > /dev/null && '$bin/kelvory-batch' -r average '$work/zz-big.tif' > /dev/null" \
    xargs "$list | xargs -P $cores -L 1 gdaladdo -q -r average" \
    xargs-threads "$list | xargs -P $cores -L 1 gdaladdo -q -r average --config GDAL_NUM_THREADS $cores"
  ratios \
    "kelvory/xargs:kelvory:xargs" \
    "kelvory/one-thread:kelvory:kelvory-one-thread" \
    "big-alone/xargs:kelvory-big-alone:xargs" \
    "kelvory/xargs-threads:kelvory:xargs-threads" \
    "xargs-threads/xargs:xargs-threads:xargs"
  timeline "'$scratch/logged/kelvory-batch' -r average '$work'/*.tif"
}

for part in $parts; do
  case $part in
    average) one_file "one big file" "$big" average ;;
    lanczos) one_file "one mid-sized file" "$mid" lanczos ;;
    mixed) mixed ;;
    tiled) one_file "one big file" "$big" average tiled ;;
  esac
  echo
done
