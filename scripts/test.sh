#!/usr/bin/env bash
# Sets everything up, builds Kelvory and runs every test: the unit, integration and
# window tests; the QGIS plugin through qgis_process; kelvory-batch under a one-node
# Slurm cluster; the Debian package, built and checked with lintian; every test but the
# window's again under AddressSanitizer and UBSan, and the fuzzers of the reader and of
# the append planner for a bounded time; and the Windows build, cross-built and tested
# under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scratch=$(mktemp -d)
windows_deps=""
# The Windows stage's libraries, still building when a stage before it fails, end with
# the run.
cleanup() {
  [ -z "$windows_deps" ] || kill -- -"$windows_deps" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT

# Qt programs (the tests, and the build-time tools) want a private runtime folder and warn
# about a missing one on every start.
if [ -z "${XDG_RUNTIME_DIR:-}" ]; then
  export XDG_RUNTIME_DIR=$scratch/runtime
  mkdir -m 700 "$XDG_RUNTIME_DIR"
fi

# Each stage says how long it took: CI's time limit is for all of them together.
finish_stage() { [ -z "${stage_name:-}" ] || echo "== ($stage_name: $((SECONDS - stage_started)) s)"; }
stage() {
  finish_stage
  stage_name=$1
  stage_started=$SECONDS
  echo "== $1"
}

# The Windows stage's one-time builds of Qt and GDAL (when its cache has none) are most
# of a fresh machine's time: they go on from the start beside all the other stages,
# filling the time those spend waiting for downloads, apt, daemons and other programs.
# They need nothing of those stages (windows-build.sh, in the Windows stage, needs out/).
# Their output is shown in the Windows stage; their apt calls take turns with the other
# stages' (install-packages.sh).
echo "== the Windows stage's libraries build beside the stages before it"
setsid bash scripts/windows-deps.sh >"$scratch/windows-deps.log" 2>&1 </dev/null &
windows_deps=$!

stage "set-up and build"
bash scripts/setup.sh

export QT_QPA_PLATFORM=offscreen
stage "tests"
ctest --test-dir out --output-on-failure --timeout 300 -j "$(nproc)"

stage "the QGIS plugin through qgis_process"
# Installs QGIS (about 950 MB) when it is missing, as the other stages install theirs.
bash scripts/qgis-test.sh

stage "kelvory-batch under a one-node Slurm cluster"
# The daemons run as root; about a minute and a half.
if [ "$(id -u)" -eq 0 ]; then
  bash scripts/slurm-test.sh
else
  echo "skipped: run scripts/slurm-test.sh as root"
fi

stage "Debian package and lintian"
bash scripts/package.sh

stage "everything but the window under AddressSanitizer and UBSan, and the fuzzers"
cmake --preset sanitize
cmake --build --preset sanitize --parallel "$(nproc)"
ctest --preset sanitize -j "$(nproc)"

# Last, so that its libraries have had every stage before it to build in.
stage "Windows: cross-built with MinGW-w64, tests under Wine"
status=0
wait "$windows_deps" || status=$?
windows_deps=""
cat "$scratch/windows-deps.log"
[ "$status" -eq 0 ] || { echo "the Windows stage's libraries did not build (status $status)" >&2; exit 1; }
echo "== (the libraries were ready $((SECONDS - stage_started)) s into this stage)"
bash scripts/windows-test.sh
finish_stage
