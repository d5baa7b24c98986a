#!/usr/bin/env bash
# Levels built in place by appending and linking (kelvory-bench-append-link: gdaladdo -ro
# beside the file, then append, sync, link, sync on a second thread while the next
# file's tool runs, as the runner will) against gdaladdo in place, the floor that
# protects nothing, the same followed by an fsync of the file (its levels on the disk,
# as appending puts them), and today's safe way in place (kelvory-batch: the file is
# copied, the copy built and renamed over it). Parts, each with its own rounds:
#   one    one LZW RGB file of SIZE x SIZE (default 19000, about 1.4 GB), as one-big-file.sh
#   eight  8 RGB files of 4000 x 4000, two at a time
#   mid    40 RGB files of 2000 x 2000, two at a time
#   small  300 RGB files of 600 x 600, two at a time
# PARTS chooses them (default all), ROUNDS the rounds (default 5). Then each command's
# device writes, once more after a reset: the bytes it and its tools dirtied less those
# deleted before they were written (/proc/PID/io of the shell that ran it).
source "$(dirname "$0")/lib.sh"

driver=$bin/kelvory-bench-append-link
[ -x "$driver" ] || { echo "missing $driver: build first" >&2; exit 2; }
parts=${PARTS:-one eight mid small}
rounds=${ROUNDS:-5}
work=$scratch/work
pristine=$scratch/pristine

# written COMMAND: the bytes COMMAND dirtied and did not cancel. Run after $reset, and
# in a command substitution: the shell there may become COMMAND's shell, whose counts
# must not include the reset's copies.
written() {
  bash -c "$1 > /dev/null; awk '/^write_bytes/ { w = \$2 } /^cancelled_write_bytes/ { c = \$2 } END { print w - c }' /proc/\$\$/io"
}

# compare TITLE FACTORS: the ways over every file of $pristine, the files' tools two at a time.
compare() {
  local title=$1 factors=$2
  local files="'$work'/*.tif"
  local count half
  count=$(find "$pristine" -name '*.tif' | wc -l)
  half=$(((count + 1) / 2))
  reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$work' '$TMPDIR' && cp '$pristine'/*.tif '$work/' && sync"
  local plain="printf '%s\n' $files | xargs -P 2 -I{} gdaladdo {} $factors"
  local synced="printf '%s\n' $files | xargs -P 2 -I{} sh -c 'gdaladdo \"\$1\" $factors && sync \"\$1\"' sh {}"
  # Two drivers, each with half the files.
  local append="printf '%s\n' $files | xargs -P 2 -n $half '$driver' -f '$factors'"
  local copy="'$bin/kelvory-batch' --jobs 2 $files"
  echo "== $title (factors $factors), page cache warm"
  local name command bytes base=""
  echo "Device writes (MB), and against gdaladdo in place:"
  for name in gdaladdo append-link kelvory-copy; do
    case $name in
      gdaladdo) command=$plain ;;
      append-link) command=$append ;;
      kelvory-copy) command=$copy ;;
    esac
    bash -c "$reset"
    bytes=$(written "$command")
    [ -z "$base" ] && base=$bytes
    awk -v n="$name" -v b="$bytes" -v base="$base" 'BEGIN { printf "  %-14s %9.1f  %.3f\n", n, b / 1e6, b / base }'
  done
  measure "$rounds" gdaladdo "$plain > /dev/null" gdaladdo+fsync "$synced > /dev/null" append-link "$append" \
    kelvory-copy "$copy > /dev/null"
  ratios "append-link/gdaladdo:append-link:gdaladdo" "append-link/gdaladdo+fsync:append-link:gdaladdo+fsync" \
    "append-link/kelvory-copy:append-link:kelvory-copy" "kelvory-copy/gdaladdo:kelvory-copy:gdaladdo"
  rm -rf "$work" "$pristine"
}

for part in $parts; do
  mkdir -p "$pristine"
  case $part in
    one)
      size=${SIZE:-19000}
      photo_like "$size" "$pristine/big.tif"
      levels=$(awk -v s="$size" 'BEGIN { l = log(s / 100) / log(2); r = int(l); if (l - r > 0.5 || (l - r == 0.5 && r % 2)) r++; print r }')
      factors=$(awk -v n="$levels" 'BEGIN { for (i = 1; i <= n; i++) printf "%s%d", (i > 1 ? " " : ""), 2 ^ i }')
      compare "one file of $size x $size RGB, LZW, $(($(stat -c %s "$pristine/big.tif") / 1000000)) MB" "$factors"
      ;;
    eight)
      gdal_create -q -of GTiff -outsize 4000 4000 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 \
        "$scratch/seed.tif"
      copies "$scratch/seed.tif" 8 "$pristine" big
      compare "8 files of 4000 x 4000 RGB" "2 4 8 16 32"
      ;;
    mid)
      gdal_create -q -of GTiff -outsize 2000 2000 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 \
        "$scratch/seed.tif"
      copies "$scratch/seed.tif" 40 "$pristine" mid
      compare "40 files of 2000 x 2000 RGB" "2 4 8 16"
      ;;
    small)
      gdal_create -q -of GTiff -outsize 600 600 -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 \
        "$scratch/seed.tif"
      copies "$scratch/seed.tif" 300 "$pristine" small
      compare "300 files of 600 x 600 RGB" "2 4 8"
      ;;
  esac
  echo
done
