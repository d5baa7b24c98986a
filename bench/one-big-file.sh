#!/usr/bin/env bash
# One big LZW-compressed RGB file (SIZE x SIZE, default 19000: about 1 GB or more) in
# place, against gdaladdo alone on a copy of it, with the page cache warm. The image is
# noise at half the size, enlarged bilinearly, so that neighbouring pixels are alike as
# in a photograph and neither the reading nor the compressing is trivial. Every run
# starts from a fresh copy, written back to the disk before the clock starts so that
# the kernel's writing of it does not fall into the run. Uses about 4 x the file's size
# on the disk of $TMPDIR while it runs; everything is removed on exit.
source "$(dirname "$0")/lib.sh"

size=${SIZE:-19000}
rounds=${ROUNDS:-3}
pristine=$scratch/pristine
work=$scratch/work
mkdir -p "$pristine"
photo_like "$size" "$pristine/big.tif"
# The factors kelvory asks for: one level for each halving down to about 100 pixels.
levels=$(awk -v s="$size" 'BEGIN { l = log(s / 100) / log(2); r = int(l); if (l - r > 0.5 || (l - r == 0.5 && r % 2)) r++; print r }')
FACTORS=$(awk -v n="$levels" 'BEGIN { for (i = 1; i <= n; i++) printf "%s%d", (i > 1 ? " " : ""), 2 ^ i }')
file_size=$(stat -c %s "$pristine/big.tif")
reset="rm -rf '$work' '$TMPDIR' && mkdir -p '$work' '$TMPDIR' && cp '$pristine/big.tif' '$work/' && sync"

echo "== one file of $size x $size RGB, LZW, $((file_size / 1000000)) MB (factors $FACTORS), page cache warm"
measure "$rounds" \
  kelvory-in-place "'$bin/kelvory-batch' '$work/big.tif' > /dev/null" \
  kelvory-no-fsync "$nosync '$bin/kelvory-batch' '$work/big.tif' > /dev/null" \
  gdaladdo "gdaladdo '$work/big.tif' $FACTORS > /dev/null" \
  gdaladdo+fsync "gdaladdo '$work/big.tif' $FACTORS > /dev/null && sync '$work/big.tif'"
ratios \
  "in-place/gdaladdo:kelvory-in-place:gdaladdo" \
  "in-place/gdaladdo+fsync:kelvory-in-place:gdaladdo+fsync" \
  "in-place/without-fsync:kelvory-in-place:kelvory-no-fsync" \
  "no-fsync/gdaladdo:kelvory-no-fsync:gdaladdo"

use_timed_tool
echo
echo "Breakdown (one job; gap: the time outside gdaladdo):"
breakdown kelvory-in-place 1 "'$timed/kelvory-batch' '$work/big.tif' > /dev/null"
breakdown kelvory-no-fsync 1 "$nosync '$timed/kelvory-batch' '$work/big.tif' > /dev/null"

echo
echo "Timeline of one kelvory run (strace -f: the runner's and file workers' calls and the"
echo "tool's start and end; seconds from the start, and each call's own duration):"
bash -c "$reset"
strace -f -ttt -T -e trace=copy_file_range,fsync,fdatasync,rename,unlink,execve,exit_group -o "$scratch/strace.txt" \
  "$bin/kelvory-batch" "$work/big.tif" > /dev/null
# The tool's own process is left out but for its start and end.
awk '
  NR == 1 { t0 = $2 }
  $3 ~ /^execve\(/ && $3 ~ /gdaladdo/ && NR > 1 { tool = $1 }
  $1 == tool && $3 !~ /^(execve|exit_group)\(/ { next }
  / <unfinished \.\.\.>$/ || $3 == "+++" { next }
  {
    d = ""; if (match($0, /<[0-9.]+>$/)) d = substr($0, RSTART + 1, RLENGTH - 2)
    split($3 == "<..." || $3 == "---" ? $4 : $3, call, "(")
    who = ($1 == tool) ? "tool" : "kelvory"
    printf "  %8.3f  %-8s %-16s %s\n", $2 - t0, who, call[1], d
  }' "$scratch/strace.txt"
