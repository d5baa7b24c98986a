#!/usr/bin/env bash
# Takes the README's pictures of the real Kelvory window on a virtual X screen (Xvfb):
#   docs/screenshot.png        a few files in the list, as after a build
#   docs/screenshot-build.png  a build in progress: gdaladdo on generated files (a
#                              stand-in that reports its progress slowly for the
#                              later ones), rows with percentages, overall progress
# Builds the helper first if needed; BUILD_DIR chooses the build folder (default out).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-out}

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target kelvory-screenshot
helper="$build_dir/app/tools/kelvory-screenshot"

scratch=$(mktemp -d)
data=$(mktemp -d /tmp/data.XXXXXX)
xvfb_pid=""
helper_pid=""
cleanup() {
  [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch" "$data"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number to descriptor 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do
  [ -s "$scratch/display" ] && break
  sleep 0.1
done
[ -s "$scratch/display" ] || { echo "Xvfb did not start:" >&2; cat "$scratch/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$scratch/display")"

# shoot <output> <helper arguments>...: runs the helper, waits for its READY line and
# crops its window out of the screen.
shoot() {
  local output=$1
  shift
  rm -f "$scratch/helper.out" "$scratch/captured"
  QT_QPA_PLATFORM=xcb "$helper" "$@" >"$scratch/helper.out" 2>"$scratch/helper.log" &
  helper_pid=$!
  for _ in $(seq 300); do
    grep -q '^READY' "$scratch/helper.out" 2>/dev/null && break
    kill -0 "$helper_pid" 2>/dev/null || break
    sleep 0.1
  done
  local ready x y width height
  read -r ready x y width height < <(grep '^READY' "$scratch/helper.out" || true)
  if [ "${ready:-}" != READY ]; then
    echo "the window did not come up:" >&2
    cat "$scratch/helper.log" >&2
    exit 1
  fi
  import -window root "$scratch/screen.png"
  convert "$scratch/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$output"
  echo "wrote $output (${width}x${height})"
  # A build helper stops its build once the picture is taken; the other one is ended.
  touch "$scratch/captured"
  for _ in $(seq 100); do
    kill -0 "$helper_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$helper_pid" 2>/dev/null || true
  wait "$helper_pid" 2>/dev/null || true
  helper_pid=""
}

shoot docs/screenshot.png

# The build: the first three files go through the real gdaladdo at once, the later
# ones through a stand-in that reports 10 per cent every 0.6 s or 1.05 s, as big
# files would, before it hands over to the real tool.
mkdir -p "$scratch/bin/gdal" "$scratch/tmp" "$data/maps/ortho" "$data/maps/topo" "$data/maps/dem"
cat >"$scratch/bin/gdal/gdaladdo" <<TOOL
#!/bin/sh
n=\$((\$(cat "$scratch/count" 2>/dev/null || echo 0) + 1))
echo \$n >"$scratch/count"
[ \$n -le 3 ] && exec $(command -v gdaladdo) -q "\$@"
delay=\$([ \$n -eq 4 ] && echo 0.2 || echo 0.35)
for p in 0 10 20 30 40 50 60 70 80 90; do
  printf \$p
  for _ in 1 2 3; do sleep \$delay; printf .; done
done
printf '100 - done.\n'
exec $(command -v gdaladdo) -q "\$@"
TOOL
chmod +x "$scratch/bin/gdal/gdaladdo"
files=(
  "$data/maps/ortho/ortho_2019_sheet_N-37-004.tif"
  "$data/maps/ortho/ortho_2019_sheet_N-37-005.tif"
  "$data/maps/scans/scan_1968_sheet_12.tif"
  "$data/maps/topo/topo_25k_Kaluga_west.tif"
  "$data/maps/ortho/ortho_2021_sheet_N-37-016.tif"
  "$data/maps/dem/dem_srtm_N54E036.tif"
  "$data/maps/ortho/ortho_2021_sheet_N-37-017.tif"
  "$data/maps/ortho/ortho_2021_sheet_N-37-018.tif"
  "$data/maps/ortho/ortho_2021_sheet_N-37-019.tif"
)
for f in "${files[@]}"; do
  case $f in
    *scan_1968*) ;;                                   # not there: "not found"
    *topo_25k*) echo "not a TIFF" >"$f" ;;            # fails
    *) gdal_create -q -of GTiff -outsize 1000 1000 -bands 1 "$f" ;;
  esac
done
TMPDIR="$scratch/tmp" shoot docs/screenshot-build.png --build "$scratch/bin" "$scratch/captured" "${files[@]}"
