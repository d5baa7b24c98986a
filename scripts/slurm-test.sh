#!/usr/bin/env bash
# kelvory-batch under a real Slurm: starts a one-node cluster on this machine (munged,
# slurmctld and slurmd, as root, everything under a temporary folder), runs a job array
# of 4 shares over a shared folder of small GeoTIFF files, cancels one task mid-run,
# submits the array again, and checks that every file has its levels, none was built
# by two tools at once, every source is built or byte-identical to what it was, and no
# working copy is left. Then the same folder, afresh, through 4 plain kelvory-batch
# commands started together (claims only) must end the same. The daemons are stopped
# by their pid files however the script ends.
#
# Usage (as root, after the build into out/): scripts/slurm-test.sh [FILE_COUNT]
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$(pwd)
files=${1:-200}
batch="$repo/out/bin/kelvory-batch"
[ -x "$batch" ] || { echo "slurm-test: build first (scripts/setup.sh)" >&2; exit 2; }
[ "$(id -u)" -eq 0 ] || { echo "slurm-test: the daemons are started as root: run as root" >&2; exit 2; }

source "$repo/scripts/install-packages.sh"
install_packages slurm-wlm munge jq gdal-bin

work=$(mktemp -d /tmp/kelvory-slurm-XXXXXX)
chmod 700 "$work"
stop_daemons() {
  local status=$?
  for pid_file in "$work/slurmd.pid" "$work/slurmctld.pid" "$work/munged.pid"; do
    [ -s "$pid_file" ] || continue
    local pid
    pid=$(cat "$pid_file")
    kill "$pid" 2>/dev/null || continue
    for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -9 "$pid" 2>/dev/null || true
  done
  if [ "$status" -ne 0 ]; then
    echo "slurm-test: FAILED; the logs are kept in $work" >&2
  else
    rm -rf "$work"
  fi
}
trap stop_daemons EXIT

fail() { echo "slurm-test: FAILED: $*" >&2; exit 1; }
# Waits (at most $2 tenths of a second) until the command $1 succeeds.
wait_for() {
  local tries=$2
  until eval "$1"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}

start=$(date +%s)
node=$(hostname -s)
cpus=$(nproc)

echo "== munge and slurm on $node ($cpus processors) in $work"
mkdir -p "$work/munge" "$work/state" "$work/spool" "$work/data" "$work/tmp" "$work/out" "$work/program/gdal"
dd if=/dev/urandom of="$work/munge/munge.key" bs=1 count=1024 status=none
chmod 400 "$work/munge/munge.key"
munged --force --key-file="$work/munge/munge.key" --socket="$work/munge/socket" \
  --pid-file="$work/munged.pid" --log-file="$work/munged.log" --seed-file="$work/munge/seed"
wait_for '[ -S "$work/munge/socket" ]' 100 || fail "munged did not start"

export SLURM_CONF="$work/slurm.conf"
cat > "$SLURM_CONF" <<EOF
ClusterName=kelvorytest
SlurmctldHost=$node
SlurmUser=root
SlurmdUser=root
SlurmctldPort=16817
SlurmdPort=16818
AuthType=auth/munge
AuthInfo=socket=$work/munge/socket
CredType=cred/munge
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
SelectType=select/cons_tres
SelectTypeParameters=CR_CPU
StateSaveLocation=$work/state
SlurmdSpoolDir=$work/spool
SlurmctldPidFile=$work/slurmctld.pid
SlurmdPidFile=$work/slurmd.pid
SlurmctldLogFile=$work/slurmctld.log
SlurmdLogFile=$work/slurmd.log
ReturnToService=2
KillWait=10
MpiDefault=none
NodeName=$node CPUs=$cpus State=UNKNOWN
PartitionName=test Nodes=$node Default=YES MaxTime=INFINITE State=UP OverSubscribe=FORCE:4
EOF
slurmctld
slurmd
wait_for 'sinfo -h -N -o %T 2>/dev/null | grep -qx idle' 300 || fail "the node did not become idle: $(sinfo -N 2>&1)"
echo "node idle after $(($(date +%s) - start)) s"

echo "== $files GeoTIFF files"
# Each of another size, so each has bytes of its own; every one needs levels.
for i in $(seq 0 $((files - 1))); do
  sub="d$((i % 5))/e$((i % 3))"
  mkdir -p "$work/data/$sub"
  gdal_create -q -of GTiff -outsize $((300 + i)) 300 -bands 1 -ot Byte -burn $((i % 250)) "$work/data/$sub/f$i.tif"
done
cp -a "$work/data" "$work/originals"
(cd "$work/originals" && find . -name '*.tif' -exec md5sum {} + | sort -k2) > "$work/originals.md5"

# The real gdaladdo behind a wrapper that logs when a tool starts and ends on which
# file (told by the bytes it was given) and in which task, for the overlap check.
cp "$batch" "$work/program/kelvory-batch"
cat > "$work/program/gdal/gdaladdo" <<EOF
#!/bin/bash
id=\$(md5sum < "\$1" | cut -c1-32)
echo "start \$id \$(date +%s%N) \${SLURM_ARRAY_TASK_ID:-plain}" >> "$work/tools.log"
sleep 0.05
/usr/bin/gdaladdo "\$@"
status=\$?
echo "end \$id \$(date +%s%N) \${SLURM_ARRAY_TASK_ID:-plain}" >> "$work/tools.log"
exit \$status
EOF
chmod 755 "$work/program/gdal/gdaladdo"

# Slurm's array task ids start at 0 here; --shard counts from 1.
cat > "$work/job.sh" <<EOF
#!/bin/bash
#SBATCH --output=$work/out/slurm-%A_%a.out
export TMPDIR=$work/tmp
"$work/program/kelvory-batch" --json -j 1 --shard \$((SLURM_ARRAY_TASK_ID + 1))/\$SLURM_ARRAY_TASK_COUNT "$work/data" \
  > "$work/out/round\$ROUND-task\$SLURM_ARRAY_TASK_ID.json"
echo \$? > "$work/out/round\$ROUND-task\$SLURM_ARRAY_TASK_ID.status"
EOF

job_gone() { [ -z "$(squeue -h -j "$1" 2>/dev/null)" ]; }

echo "== round 1: a job array of 4 shares, task 1 cancelled mid-run"
job=$(ROUND=1 sbatch --parsable --array=0-3 --ntasks=1 --cpus-per-task=1 "$work/job.sh")
task_ends() {
  local count
  count=$(grep -c '^end .* 1$' "$work/tools.log" 2>/dev/null) || true
  echo "${count:-0}"
}
wait_for '[ "$(task_ends)" -ge 5 ]' 600 ||
  fail "task 1 built nothing: $(squeue 2>&1)"
scancel "${job}_1"
wait_for "job_gone $job" 1200 || fail "the array did not end: $(squeue 2>&1)"
# A tool of the cancelled task that logged no end ended with the task, by now.
awk -v at="$(date +%s%N)" '
  $1 == "start" { open[$2] = $4 }
  $1 == "end" { delete open[$2] }
  END { for (id in open) print "end " id " " at " " open[id] }' "$work/tools.log" >> "$work/tools.log"
for task in 0 2 3; do
  [ "$(cat "$work/out/round1-task$task.status" 2>/dev/null)" = 0 ] || fail "round 1, task $task did not finish"
done
# The cancel ends the task's shell too, unless the command has already stopped and
# said so (130) by the time the shell's own signal comes.
case $(cat "$work/out/round1-task1.status" 2>/dev/null || true) in
  "" | 130) ;;
  0) fail "the cancelled task ran to its end: cancel earlier" ;;
  *) fail "the cancelled task ended with status $(cat "$work/out/round1-task1.status")" ;;
esac
built_in_1=$(jq -r 'select(.outcome == "done")' "$work/out/round1-task1.json" | jq -s length)
stopped_in_1=$(jq -r 'select(.outcome == "stopped" or .outcome == "not started")' "$work/out/round1-task1.json" | jq -s length)
echo "cancelled task: $built_in_1 done, $stopped_in_1 stopped or not started"
[ "$stopped_in_1" -gt 0 ] || fail "the cancelled task was not cut short"

# Every source is built or exactly as it was; no working copy anywhere.
check_sources() {
  local folder=$1 unbuilt=0
  while read -r sum path; do
    if gdalinfo "$folder/$path" | grep -q '^  Overviews:'; then continue; fi
    [ "$(md5sum < "$folder/$path" | cut -c1-32)" = "$sum" ] || fail "$path is neither built nor unchanged"
    unbuilt=$((unbuilt + 1))
  done < "$work/originals.md5"
  [ -z "$(find "$folder" "$work/tmp" -name '.kelvory*' -o -name 'kelvory*' -type f)" ] ||
    fail "working copies left: $(find "$folder" "$work/tmp" -name '.kelvory*' -o -name 'kelvory*' -type f)"
  echo "$unbuilt"
}
unbuilt=$(check_sources "$work/data")
echo "after round 1: $unbuilt files not built yet, the others built; no working copy left"

echo "== round 2: the same array again"
job=$(ROUND=2 sbatch --parsable --array=0-3 --ntasks=1 --cpus-per-task=1 "$work/job.sh")
wait_for "job_gone $job" 1200 || fail "the array did not end: $(squeue 2>&1)"
for task in 0 1 2 3; do
  [ "$(cat "$work/out/round2-task$task.status" 2>/dev/null)" = 0 ] || fail "round 2, task $task did not finish well"
done
[ "$(check_sources "$work/data")" = 0 ] || fail "some file has no levels after round 2"
# Each file built exactly once over both rounds: a rebuilt file would show levels before.
[ "$(cat "$work"/out/round*-task*.json | jq -r 'select(.levels_after > .levels_before) | .path' | sort | uniq -d)" = "" ] ||
  fail "a file was built twice"
[ "$(cat "$work"/out/round2-task*.json | jq -s length)" = "$files" ] || fail "round 2 did not report every file once"

# No two tools ever ran on one file at once: in time order, no start while the same
# file's tool has not ended.
no_overlaps() {
  sort -k3,3n "$1" | awk '
    $1 == "start" { if (open[$2]) { print "two tools at once on " $2; bad = 1 } open[$2] = 1 }
    $1 == "end" { open[$2] = 0 }
    END { exit bad }'
}
no_overlaps "$work/tools.log" || fail "two tools ran on one file at once"
(cd "$work/data" && find . -name '*.tif' -exec md5sum {} + | sort -k2) > "$work/slurm-result.md5"

echo "== 4 plain kelvory-batch commands started together over a fresh copy"
rm -rf "$work/data" "$work/tmp"/*
cp -a "$work/originals" "$work/data"
: > "$work/tools.log"
pids=()
for k in 1 2 3 4; do
  TMPDIR="$work/tmp" "$work/program/kelvory-batch" --json -j 1 "$work/data" > "$work/out/plain$k.json" &
  pids+=($!)
done
for k in 1 2 3 4; do
  status=0
  wait "${pids[$((k - 1))]}" || status=$?
  [ "$status" -le 1 ] || fail "plain command $k ended with $status"
done
[ "$(cat "$work"/out/plain*.json | jq -r 'select(.outcome != "done" and .outcome != "up to date" and .outcome != "busy")')" = "" ] ||
  fail "a plain command had a file neither done, up to date nor busy"
[ "$(cat "$work"/out/plain*.json | jq -r 'select(.outcome == "done") | .path' | sort -u | wc -l)" = "$files" ] ||
  fail "not every file was done by one of the plain commands"
[ "$(cat "$work"/out/plain*.json | jq -r 'select(.levels_after > .levels_before) | .path' | sort | uniq -d)" = "" ] ||
  fail "a plain command built a file another one built"
no_overlaps "$work/tools.log" || fail "two plain commands ran tools on one file at once"
[ "$(check_sources "$work/data")" = 0 ] || fail "some file has no levels after the plain commands"
(cd "$work/data" && find . -name '*.tif' -exec md5sum {} + | sort -k2) > "$work/plain-result.md5"
cmp -s "$work/slurm-result.md5" "$work/plain-result.md5" || fail "the plain commands ended otherwise than the Slurm array"
busy=$(cat "$work"/out/plain*.json | jq -r 'select(.outcome == "busy")' | jq -s length)

echo "slurm-test: passed in $(($(date +%s) - start)) s ($files files; round 1 cancelled task: $built_in_1 done," \
  "$stopped_in_1 cut short; plain commands: $busy busy reports)"
