#!/bin/sh
# Times loading large list files into the file list's rows, and adding a folder tree.
#   bench/filelist/run.sh [build folder]   (default: out-filelist)
# Builds filelist_bench there, writes two list files of 100,000 lines each (all
# distinct; the second half repeating the first) and times each load with hyperfine.
# Then makes a tree of 10,000 TIFF names (100 x 10 folders, 10 files each, mixed
# letter case, a text file beside each) and times walking it and adding its files,
# to the list alone and to the real window (offscreen).
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/out-filelist}
case $build in /*) ;; *) build=$root/$build ;; esac

[ -f "$build/build.ninja" ] || cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target filelist_bench kelvory-bench-window-add -j2 >/dev/null

work=$(mktemp -d "${TMPDIR:-/tmp}/kelvory-filelist-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT INT TERM

# Paths shaped like real ones: a few folder levels, Cyrillic names, CR LF ends.
awk 'BEGIN { for (i = 0; i < 100000; i++)
  printf "/srv/карты/район_%03d/лист_%06d/снимок_%06d.tif\r\n", i % 500, int(i / 10), i }' \
  > "$work/distinct.txt"
awk 'BEGIN { for (i = 0; i < 100000; i++) { n = i % 50000
  printf "/srv/карты/район_%03d/лист_%06d/снимок_%06d.tif\r\n", n % 500, int(n / 10), n } }' \
  > "$work/repeats.txt"

hyperfine --warmup 2 --runs 20 \
  "$build/bin/filelist_bench $work/distinct.txt" \
  "$build/bin/filelist_bench $work/repeats.txt"
"$build/bin/filelist_bench" "$work/distinct.txt" "$work/repeats.txt"

tree=$work/tree
for a in $(seq -w 0 99); do
  for b in $(seq 0 9); do
    d=$tree/район_$a/лист_$b
    mkdir -p "$d"
    for c in $(seq 0 4); do : >"$d/снимок_$c.tif"; : >"$d/СНИМОК_$c.TIFF"; done
    : >"$d/readme.txt"
  done
done
hyperfine --warmup 2 --runs 20 "$build/bin/filelist_bench $tree"
for _ in 1 2 3; do "$build/bin/filelist_bench" "$tree"; done
for _ in 1 2 3; do QT_QPA_PLATFORM=offscreen "$build/bin/kelvory-bench-window-add" "$tree" 2>/dev/null; done
