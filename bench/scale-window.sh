#!/usr/bin/env bash
# A million rows in the real window (offscreen), as "Загрузить из файла" and a folder
# add fill it, and clearing them again:
#   ROWS=1000000 RUNS=3 bench/scale-window.sh
# Writes a list file of ROWS distinct Cyrillic paths (CR LF, 73 bytes a line) and a
# tree of ROWS empty .tif files (folders of 1000, two levels), then runs
# kelvory-bench-window-add (WindowAddBench.cpp) on each RUNS times: the time to fill,
# the first paint, the clear, and the process's peak memory (/usr/bin/time), with the
# load average before each run. The tree needs ROWS inodes on the disk of $TMPDIR.
set -euo pipefail
bench_dir=$(cd "$(dirname "$0")" && pwd)
bin=${KELVORY_BIN:-$bench_dir/../out/bin}
rows=${ROWS:-1000000}
runs=${RUNS:-3}
[ -x "$bin/kelvory-bench-window-add" ] || { echo "missing $bin/kelvory-bench-window-add: build first" >&2; exit 2; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kelvory-scale-window.XXXXXX")
trap 'rm -rf "$scratch"' EXIT
trap 'exit 130' INT TERM

awk -v n="$rows" 'BEGIN { for (i = 0; i < n; i++)
  printf "/srv/карты/район_%03d/лист_%06d/снимок_%07d.tif\r\n", i % 500, int(i / 10), i }' > "$scratch/list.txt"
tree=$scratch/tree
for ((first = 0; first < rows; first += 1000)); do
  folder=$tree/район_$((first / 100000))/лист_$((first / 1000))
  mkdir -p "$folder"
  seq -f "$folder/снимок_%07g.tif" "$first" $((first + (rows - first < 1000 ? rows - first : 1000) - 1))
done | xargs -n 5000 touch
echo "== $rows rows: a list file of $(du -h "$scratch/list.txt" | cut -f1), a tree of $(find "$tree" -type f | wc -l) files"

for what in list.txt tree; do
  for ((run = 1; run <= runs; run++)); do
    load=$(cut -d' ' -f1-3 /proc/loadavg)
    QT_QPA_PLATFORM=offscreen /usr/bin/time -f '%M' -o "$scratch/peak" \
      "$bin/kelvory-bench-window-add" "$scratch/$what" 2>/dev/null
    echo "  peak $(($(cat "$scratch/peak") / 1024)) MB, load average $load"
  done
done
