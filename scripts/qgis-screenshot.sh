#!/usr/bin/env bash
# Takes the README's picture of the plugin's algorithm dialog in QGIS on a virtual
# X screen (xvfb-run): docs/screenshot-qgis.png, or the file given. QGIS runs with a
# fresh profile in a temporary folder and the plugin and kelvory-batch of the build
# (BUILD_DIR, default out), and
# scripts/qgis-dialog.py opens the dialog with a few values filled in and grabs it.
set -euo pipefail
cd "$(dirname "$0")/.."
output=$(realpath -m "${1:-docs/screenshot-qgis.png}")
build_dir=$(realpath "${BUILD_DIR:-out}")
[ -d "$build_dir/qgis/zip/kelvory" ] || { echo "qgis-screenshot: build first (scripts/setup.sh)" >&2; exit 2; }

source scripts/install-packages.sh
install_packages qgis python3-qgis xvfb xauth

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$scratch/profile/profiles/default/QGIS" "$scratch/runtime"
chmod 700 "$scratch/runtime"
printf '[PythonPlugins]\nkelvory=true\n' >"$scratch/profile/profiles/default/QGIS/QGIS3.ini"

KELVORY_PARAMETERS='{"FOLDERS": ["/data/maps/ortho", "/data/maps/topo"],
  "LISTS": ["/data/lists/sheets-2021.txt"], "RESAMPLING": "average", "COMPRESSION": "DEFLATE"}' \
  KELVORY_PICTURE=$output KELVORY_LOG=$scratch/dialog.log \
  QGIS_CUSTOM_CONFIG_PATH=$scratch/profile QGIS_PLUGINPATH=$build_dir/qgis/zip PATH=$build_dir/bin:$PATH XDG_RUNTIME_DIR=$scratch/runtime \
  PYTHONWARNINGS=ignore::DeprecationWarning \
  xvfb-run -a -s "-screen 0 1280x900x24" env -u QT_QPA_PLATFORM \
  qgis --nologo --code scripts/qgis-dialog.py >"$scratch/qgis.log" 2>&1 || true
if [ "$(head -n1 "$scratch/dialog.log" 2>/dev/null)" != shown ] || [ ! -s "$output" ]; then
  echo "no picture of the dialog:" >&2
  cat "$scratch/dialog.log" "$scratch/qgis.log" >&2 2>/dev/null || true
  exit 1
fi
echo "wrote $output"
