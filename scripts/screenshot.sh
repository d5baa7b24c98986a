#!/usr/bin/env bash
# Takes docs/screenshot.png: the real Kelvory window with a few files in its list, shown
# on a virtual X screen (Xvfb) and captured from that screen.
# Builds the helper first if needed; BUILD_DIR chooses the build folder (default out).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-out}
output=docs/screenshot.png

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target kelvory-screenshot
helper="$build_dir/app/tools/kelvory-screenshot"

scratch=$(mktemp -d)
xvfb_pid=""
helper_pid=""
cleanup() {
  [ -n "$helper_pid" ] && kill "$helper_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
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

QT_QPA_PLATFORM=xcb "$helper" >"$scratch/helper.out" 2>"$scratch/helper.log" &
helper_pid=$!
for _ in $(seq 300); do
  grep -q '^READY' "$scratch/helper.out" 2>/dev/null && break
  kill -0 "$helper_pid" 2>/dev/null || break
  sleep 0.1
done
read -r ready x y width height < <(grep '^READY' "$scratch/helper.out" || true)
if [ "${ready:-}" != READY ]; then
  echo "the window did not come up:" >&2
  cat "$scratch/helper.log" >&2
  exit 1
fi

import -window root "$scratch/screen.png"
convert "$scratch/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$output"
echo "wrote $output (${width}x${height})"
