#!/usr/bin/env bash
# Where the syncs of a build go: the 8 RGB files of 4000 x 4000 of big-files.sh and the
# 300 of 600 x 600 of small-files.sh, one kelvory-batch run each in place and with
# --dest, page cache warm and then dropped,
# under strace -f -c -w (wall time spent in each call, summed over the runner's thread,
# its file workers and the tools). The file workers run beside the tools, so a sum
# here is not all time lost to the build: compare with kelvory-no-fsync in
# big-files.sh, small-files.sh and big-files-cold.sh for that.
source "$(dirname "$0")/lib.sh"

work=$scratch/work
dest=$scratch/dest
calls=fsync,fdatasync,rename,copy_file_range,unlink

# traced LABEL CACHE [kelvory-batch options]: one run under strace after $reset; CACHE
# is warm or cold (dropped, and a sync timed after the run).
traced() {
  local label=$1 cache=$2 start end
  shift 2
  bash -c "$reset"
  if [ "$cache" = cold ]; then drop_caches || exit 2; fi
  start=$(date +%s%N)
  strace -f --seccomp-bpf -c -w -e trace=$calls -o "$scratch/strace.txt" \
    "$bin/kelvory-batch" "$@" "$work"/*.tif > /dev/null
  [ "$cache" = cold ] && sync
  end=$(date +%s%N)
  echo "-- $label, $cache: wall $(awk -v t=$((end - start)) 'BEGIN { printf "%.3f", t / 1e9 }') s, load average $(cut -d' ' -f1-3 /proc/loadavg)"
  sed 's/^/  /' "$scratch/strace.txt"
}

for set in 8:4000 300:600; do
  count=${set%:*} side=${set#*:}
  pristine=$scratch/pristine-$side
  gdal_create -q -of GTiff -outsize "$side" "$side" -bands 3 -ot Byte -co PHOTOMETRIC=RGB -burn 90 -burn 140 -burn 60 "$scratch/seed.tif"
  copies "$scratch/seed.tif" "$count" "$pristine" f
  reset="rm -rf '$work' '$dest' '$TMPDIR' && mkdir -p '$work' '$dest' '$TMPDIR' && cp '$pristine'/*.tif '$work'/"
  echo "== system calls of kelvory-batch, $count files of $side x $side RGB"
  traced in-place warm
  traced --dest warm --dest "$dest"
  traced in-place cold
  traced --dest cold --dest "$dest"
done
