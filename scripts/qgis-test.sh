#!/usr/bin/env bash
# The QGIS plugin end to end, headless: Debian's QGIS 3.22 (installed here when missing),
# the real kelvory-batch of the build and GDAL's gdaladdo, driven through qgis_process in
# a fresh profile:
#   - the plugin's own unit tests (pytest, against a stand-in command);
#   - the zip unpacked into the profile as "Install from ZIP" does, enabled, and listed;
#   - with no kelvory-batch to be found, a message that says so;
#   - the build installed (cmake --install) as the package lays it out: QGIS finds the
#     plugin through the link among its plugins, and the plugin the command beside it;
#   - the command chosen in the Processing settings;
#   - a folder of GeoTIFFs with subfolders built in place with average resampling (the
#     levels read back with gdalinfo and gdallocationinfo), a file that fails with its
#     reason in the log and the report, a Cloud Optimized GeoTIFF kept, then rewritten
#     as a valid COG with its levels when asked; no .aux.xml left;
#   - a list file into a destination folder, resampling given by position and DEFLATE
#     levels; the sources untouched;
#   - rebuilding existing levels, and levels into an external .ovr, which a destination
#     folder does not go with; a folder with no TIFF file in it;
#   - a cancel (SIGINT to qgis_process, as Ctrl-C) during a big file's build: the file
#     unchanged, no working copy and no tool left;
#   - the same in the algorithm's dialog in QGIS on a virtual X screen (Xvfb): Run, the
#     progress bar moves with gdaladdo's percentages, Cancel;
#   - the help, and the command's reasons, in Russian under a Russian QGIS.
# Usage (after the build): scripts/qgis-test.sh; BUILD_DIR chooses the build (default out).
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=$(realpath "${BUILD_DIR:-out}")
batch=$build_dir/bin/kelvory-batch
zip=$(ls "$build_dir"/kelvory-qgis-*.zip 2>/dev/null || true)
[ -x "$batch" ] && [ -n "$zip" ] || { echo "qgis-test: build first (scripts/setup.sh)" >&2; exit 2; }
started=$SECONDS

source scripts/install-packages.sh
install_packages qgis python3-qgis python3-pytest gdal-bin libtiff-tools jq unzip xvfb xauth

echo "== the plugin's unit tests"
# Debian's Python: the qgis module is not in others.
/usr/bin/python3 -m pytest -q -p no:cacheprovider qgis/tests

work=$(mktemp -d /tmp/kelvory-qgis-XXXXXX)
qgis_pid=""
cleanup() {
  local status=$?
  [ -n "$qgis_pid" ] && kill -9 "$qgis_pid" 2>/dev/null || true
  if [ "$status" -eq 0 ]; then
    rm -rf "$work"
    echo "qgis test passed in $((SECONDS - started)) s"
  else
    echo "qgis test FAILED after $((SECONDS - started)) s; its files are in $work" >&2
  fi
}
trap cleanup EXIT
fail() { echo "qgis-test: FAILED: $*" >&2; exit 1; }

profile=$work/profile
mkdir -p "$profile" "$work/runtime" "$work/tmp"
chmod 700 "$work/runtime"
# The command's working copies go to TMPDIR: here, where the cancel can look for them.
export QT_QPA_PLATFORM=offscreen QGIS_CUSTOM_CONFIG_PATH=$profile XDG_RUNTIME_DIR=$work/runtime TMPDIR=$work/tmp
unset QGIS_PLUGINPATH
# No kelvory-batch on this PATH: the plugin is to find it through its setting.
path=/usr/sbin:/usr/bin:/sbin:/bin
# Debian's qgis_process wrapper adds --noversioncheck, which 3.22 refuses; QGIS's own
# Python start-up warns of a deprecated call on every run.
export PYTHONWARNINGS=ignore::DeprecationWarning
qgis() { PATH=$path /usr/bin/qgis_process.bin "$@"; }
# run NAME PARAMETER=VALUE...: the algorithm with JSON results in $work/NAME.json.
run() {
  local name=$1
  shift
  qgis --json run kelvory:buildpyramids -- "$@" >"$work/$name.json" 2>"$work/$name.err"
}
result() { jq -r ".results.$2" "$work/$1.json"; }
counts() {
  jq -r '.results | "done \(.DONE) up to date \(.UP_TO_DATE) kept \(.KEPT) failed \(.FAILED) not found \(.NOT_FOUND) busy \(.BUSY) stopped \(.STOPPED) not started \(.NOT_STARTED)"' "$work/$1.json"
}
set_setting() {
  /usr/bin/python3 -c 'import sys
from qgis.PyQt.QtCore import QSettings
settings = QSettings(sys.argv[1], QSettings.IniFormat)
settings.setValue(sys.argv[2], sys.argv[3])
settings.sync()' "$profile/profiles/default/QGIS/QGIS3.ini" "$1" "$2"
}
levels() { gdalinfo "$1" | sed -n 's/^ *Overviews: //p' | head -n1; }
# The first level's top left pixel: 100 where the checkerboard of 0 and 200 was averaged.
first_level_pixel() { gdallocationinfo -valonly -overview 1 "$1" 0 0; }

echo "== test data in $work"
# A 1024 x 1024 checkerboard of 0 and 200, georeferenced.
/usr/bin/python3 - "$work/board.asc" <<'PY'
import sys
n = 1024
even = " ".join("200" if c % 2 else "0" for c in range(n))
odd = " ".join("0" if c % 2 else "200" for c in range(n))
with open(sys.argv[1], "w") as grid:
    grid.write(f"ncols {n}\nnrows {n}\nxllcorner 30\nyllcorner 50\ncellsize 0.001\n")
    grid.write("\n".join(odd if r % 2 else even for r in range(n)) + "\n")
PY
board() { mkdir -p "$(dirname "$1")" && gdal_translate -q -ot Byte -a_srs EPSG:4326 "$work/board.asc" "$1"; }
board "$work/maps/ortho/a.tif"
board "$work/maps/ortho/b.TIFF"
board "$work/maps/topo/sheets/c.tif"
gdal_translate -q -of COG "$work/maps/ortho/a.tif" "$work/maps/topo/cog.tif"
echo "not a TIFF" >"$work/maps/topo/broken.tif"
echo "notes" >"$work/maps/notes.txt"
board "$work/one/one.tif"
mkdir -p "$work/empty"
board "$work/src/x.tif"
board "$work/src/y.tif"
printf 'x.tif\n%s\n' "$work/src/y.tif" >"$work/src/list.txt"
mkdir -p "$work/dest"
sources_sum=$(cd "$work/src" && sha256sum x.tif y.tif)

echo "== the zip installed into a fresh profile and enabled"
plugins=$profile/profiles/default/python/plugins
mkdir -p "$plugins"
# What "Install from ZIP" does: the zip's one folder, named after the plugin, into the
# profile's plugins.
unzip -q "$zip" -d "$plugins"
[ -f "$plugins/kelvory/metadata.txt" ] || fail "the zip holds no kelvory/metadata.txt"
cmp -s LICENSE "$plugins/kelvory/LICENSE" || fail "the zip holds no kelvory/LICENSE, or another licence"
# Every field the plugin manager shows has a true value; an address the project has not
# given is left out, never a stand-in.
/usr/bin/python3 - "$plugins/kelvory" <<'PY' || fail "the zip's metadata.txt is incomplete"
import configparser, os, re, sys
folder = sys.argv[1]
metadata = configparser.ConfigParser()
metadata.read(os.path.join(folder, "metadata.txt"), encoding="utf-8")
general = metadata["general"]
faults = [f"no {field}" for field in ("name", "qgisMinimumVersion", "version", "description", "about", "author",
                                      "changelog", "category", "tags", "icon", "hasProcessingProvider")
          if not general.get(field, "").strip()]
if not os.path.isfile(os.path.join(folder, general.get("icon", ""))):
    faults.append("no icon file")
forms = {"email": r"[^@\s]+@[^@\s]+\.[a-z]+", "repository": r"https://\S+", "tracker": r"https://\S+",
         "homepage": r"https://\S+"}
faults += [f"{field}={general[field]}" for field, form in forms.items()
           if field in general and (not re.fullmatch(form, general[field])
                                    or re.search(r"\.(invalid|example|test)\b|example\.", general[field]))]
print("; ".join(faults), file=sys.stderr)
sys.exit(bool(faults))
PY
qgis list >"$work/list-before.txt"
! grep -q 'kelvory:buildpyramids' "$work/list-before.txt" || fail "listed before it was enabled"
qgis plugins enable kelvory >/dev/null
qgis list >"$work/list.txt"
grep -qP '^\tkelvory:buildpyramids\tKelvory: build pyramids in many files at once$' "$work/list.txt" ||
  fail "kelvory:buildpyramids is not listed: $(cat "$work/list.txt")"

echo "== no kelvory-batch to be found"
if run missing FILES="$work/src/x.tif"; then fail "ran without kelvory-batch"; fi
grep -q 'kelvory-batch was not found: .*Kelvory ▸ “kelvory-batch command” is empty, and there is none on the PATH' \
  "$work/missing.err" "$work/missing.json" || fail "no clear message: $(cat "$work/missing.err")"
# Installed from the zip, the plugin is not in Kelvory's folder: no place in the profile is named.
! grep -q "$profile" "$work/missing.err" "$work/missing.json" || fail "the message names the profile: $(cat "$work/missing.err")"

echo "== installed as the package lays it out"
cmake --install "$build_dir" --prefix "$work/usr" >/dev/null
(
  export QGIS_CUSTOM_CONFIG_PATH=$work/profile-installed QGIS_PLUGINPATH=$work/usr/share/qgis/python/plugins
  qgis plugins enable kelvory >/dev/null && run installed FILES="$work/one/one.tif"
) || fail "the installed plugin: $(cat "$work/installed.err")"
jq -e --arg batch "$work/usr/lib/kelvory/kelvory-batch" '.log.info[0] | startswith("Running " + $batch + " ")' \
  "$work/installed.json" >/dev/null || fail "not the command beside the plugin: $(jq '.log.info[0]' "$work/installed.json")"
[ "$(result installed DONE)" = 1 ] || fail "installed: $(counts installed)"

set_setting Processing/Configuration/KELVORY_BATCH "$batch"

echo "== a folder in place, average"
run folder FOLDERS="$work/maps" RESAMPLING=average JOBS=2 REPORT="$work/folder.csv" ||
  fail "the folder run: $(cat "$work/folder.err")"
[ "$(counts folder)" = "done 3 up to date 0 kept 1 failed 1 not found 0 busy 0 stopped 0 not started 0" ] ||
  fail "folder: $(counts folder)"
for file in ortho/a.tif ortho/b.TIFF topo/sheets/c.tif; do
  [ "$(levels "$work/maps/$file")" = "512x512, 256x256, 128x128" ] || fail "$file has levels $(levels "$work/maps/$file")"
  [ "$(first_level_pixel "$work/maps/$file")" = 100 ] || fail "$file was not averaged"
done
# The failed file's reason is in the log and the report alike.
reason=$(jq -r '.log.errors[] | select(contains("broken.tif"))' "$work/folder.json")
[[ $reason == *"$work/maps/topo/broken.tif: "?* ]] || fail "no reason for broken.tif in the log: $reason"
grep -qF "$work/maps/topo/broken.tif,failed,${reason##*broken.tif: }" "$work/folder.csv" ||
  fail "the report's row for broken.tif: $(cat "$work/folder.csv")"
# The COG's reason names the dialog's field, not the command's option, and the path once.
cog_label=$(qgis help kelvory:buildpyramids | sed -n 's/^COG: //p')
jq -e --arg line "kept: $work/maps/topo/cog.tif: a Cloud Optimized GeoTIFF" --arg field "“$cog_label”" \
  '.log.info[] | select(startswith($line) and contains($field) and (contains("--") | not))' "$work/folder.json" >/dev/null ||
  fail "the reason for keeping cog.tif: $(jq -c '.log.info' "$work/folder.json")"
[ "$(wc -l <"$work/folder.csv")" = 6 ] || fail "the report has not one line per file: $(cat "$work/folder.csv")"
[ -z "$(find "$work/maps" -name '*.aux.xml')" ] || fail "QGIS wrote .aux.xml files beside the sources"

echo "== the folder again: up to date, and a run that fails when asked"
run again FOLDERS="$work/maps" || fail "the second folder run: $(cat "$work/again.err")"
[ "$(counts again)" = "done 0 up to date 3 kept 1 failed 1 not found 0 busy 0 stopped 0 not started 0" ] ||
  fail "again: $(counts again)"
if run failing FILES="$work/maps/topo/broken.tif" FAIL_ON_ERROR=1; then fail "FAIL_ON_ERROR: exit status 0 with a failed file"; fi
grep -q 'Not every file is done: 1 failed' "$work/failing.err" "$work/failing.json" ||
  fail "FAIL_ON_ERROR: no reason: $(cat "$work/failing.err")"

echo "== the raster layers of a project"
board "$work/layers/ortho.tif"
(cd "$work/layers" && /usr/bin/python3 -c 'import zipfile; zipfile.ZipFile("zipped.zip", "w").write("ortho.tif", "inside.tif")')
board "$work/layers/sheet.tif"
/usr/bin/python3 - "$work/layers" <<'PY' || fail "the project was not written"
import sys
from qgis.core import QgsApplication, QgsProject, QgsRasterLayer
app = QgsApplication([], False)
app.initQgis()
folder = sys.argv[1]
for source, name in ((f"{folder}/sheet.tif", "sheet"), (f"/vsizip/{folder}/zipped.zip/inside.tif", "zipped")):
    layer = QgsRasterLayer(source, name)
    assert layer.isValid(), source
    QgsProject.instance().addMapLayer(layer)
sys.exit(not QgsProject.instance().write(f"{folder}/layers.qgs"))
PY
qgis --json run kelvory:buildpyramids --PROJECT_PATH="$work/layers/layers.qgs" -- LAYERS=sheet LAYERS=zipped \
  FILES="$work/layers/ortho.tif" >"$work/layers.json" 2>"$work/layers.err" || fail "the layers run: $(cat "$work/layers.err")"
[ "$(counts layers)" = "done 2 up to date 0 kept 0 failed 1 not found 0 busy 0 stopped 0 not started 0" ] ||
  fail "layers: $(counts layers) $(cat "$work/layers.err")"
[ "$(levels "$work/layers/sheet.tif")" = "512x512, 256x256, 128x128" ] || fail "the layer's file has no levels"
jq -e '.log.errors[] | select(startswith("failed: zipped: not a file of its own"))' "$work/layers.json" >/dev/null ||
  fail "no reason for the zipped layer: $(jq -c .log "$work/layers.json")"

echo "== a list file into a destination folder, resampling by position, DEFLATE"
run list LISTS="$work/src/list.txt" DEST="$work/dest" RESAMPLING=1 COMPRESSION=DEFLATE ||
  fail "the list run: $(cat "$work/list.err")"
[ "$(counts list)" = "done 2 up to date 0 kept 0 failed 0 not found 0 busy 0 stopped 0 not started 0" ] || fail "list: $(counts list)"
[ "$(cd "$work/src" && sha256sum x.tif y.tif)" = "$sources_sum" ] || fail "the sources changed"
for file in x.tif y.tif; do
  [ "$(first_level_pixel "$work/dest/$file")" = 100 ] || fail "dest/$file was not averaged"
  [ "$(tiffinfo -1 "$work/dest/$file" 2>/dev/null | sed -n 's/^ *Compression Scheme: //p' | head -n1)" = AdobeDeflate ] ||
    fail "dest/$file's first level is not DEFLATE"
done

echo "== rebuild, an external .ovr, and runs with nothing to build"
run force FILES="$work/maps/ortho/a.tif" FORCE=1 RESAMPLING=nearest || fail "the forced run: $(cat "$work/force.err")"
[ "$(result force DONE)" = 1 ] && [ "$(first_level_pixel "$work/maps/ortho/a.tif")" != 100 ] ||
  fail "the levels were not rebuilt: $(counts force)"
run external FILES="$work/src/x.tif" EXTERNAL=1 RESAMPLING=average || fail "the external run: $(cat "$work/external.err")"
[ "$(result external DONE)" = 1 ] && [ -s "$work/src/x.tif.ovr" ] || fail "no x.tif.ovr: $(counts external)"
[ "$(cd "$work/src" && sha256sum x.tif y.tif)" = "$sources_sum" ] || fail "x.tif changed with an external .ovr"
if run both FILES="$work/src/y.tif" EXTERNAL=1 DEST="$work/dest"; then fail "ran with an external .ovr into a destination"; fi
grep -q 'not with a destination folder' "$work/both.err" "$work/both.json" || fail "no clear refusal: $(cat "$work/both.err")"
# The COG kept by the folder run, written anew as a COG with its levels when asked.
run cog FILES="$work/maps/topo/cog.tif" COG=1 RESAMPLING=average || fail "the COG run: $(cat "$work/cog.err")"
[ "$(result cog DONE)" = 1 ] || fail "cog.tif was not built: $(counts cog)"
/usr/bin/python3 /usr/lib/python3/dist-packages/osgeo_utils/samples/validate_cloud_optimized_geotiff.py -q \
  "$work/maps/topo/cog.tif" || fail "cog.tif is no longer a valid COG"
run empty FOLDERS="$work/empty" || fail "the empty folder: $(cat "$work/empty.err")"
jq -e '.log.warning[] | select(startswith("No TIFF files to build"))' "$work/empty.json" >/dev/null ||
  fail "no warning for a folder with no TIFF file: $(jq -c .log "$work/empty.json")"

echo "== a cancel during a big file's build"
mkdir -p "$work/big"
gdal_create -q -of GTiff -outsize 10000 10000 -bands 3 -burn 1 -burn 2 -burn 3 "$work/big/big.tif"
big_sum=$(sha256sum <"$work/big/big.tif")
PATH=$path /usr/bin/qgis_process.bin --json run kelvory:buildpyramids -- FILES="$work/big/big.tif" \
  RESAMPLING=average >"$work/cancel.json" 2>"$work/cancel.err" &
qgis_pid=$!
# The working copy is in TMPDIR, or beside the file when TMPDIR has no room for it.
for _ in $(seq 600); do
  pgrep -f "gdaladdo.*$work/" >/dev/null && break
  kill -0 "$qgis_pid" 2>/dev/null || fail "qgis_process ended before gdaladdo started: $(cat "$work/cancel.err")"
  sleep 0.05
done
pgrep -f "gdaladdo.*$work/" >/dev/null || fail "gdaladdo did not start"
sleep 0.3
kill -INT "$qgis_pid"
cancelled=$SECONDS
for _ in $(seq 200); do kill -0 "$qgis_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$qgis_pid" 2>/dev/null && fail "qgis_process still runs 20 s after the cancel"
wait "$qgis_pid" || true
qgis_pid=""
echo "qgis_process ended $((SECONDS - cancelled)) s after the cancel"
[ "$(counts cancel)" = "done 0 up to date 0 kept 0 failed 0 not found 0 busy 0 stopped 1 not started 0" ] ||
  fail "cancel: $(counts cancel) $(cat "$work/cancel.err")"
left=$(pgrep -af "$work" || true)
[ -z "$left" ] || fail "left running: $left"
[ "$(sha256sum <"$work/big/big.tif")" = "$big_sum" ] || fail "the big file changed"
[ "$(ls -A "$work/big")" = big.tif ] || fail "left beside the big file: $(ls -A "$work/big")"
[ -z "$(find "$work/tmp" -name 'kelvory*')" ] || fail "working copies left: $(find "$work/tmp" -name 'kelvory*')"

echo "== a cancel in the dialog in QGIS"
gdal_create -q -of GTiff -outsize 10000 10000 -bands 3 -burn 1 -burn 2 -burn 3 "$work/big/window.tif"
window_sum=$(sha256sum <"$work/big/window.tif")
KELVORY_PARAMETERS=$(jq -n --arg file "$work/big/window.tif" '{FILES: [$file], RESAMPLING: "average"}') \
  KELVORY_CANCEL=1 KELVORY_LOG=$work/dialog.log PATH=$path \
  xvfb-run -a -s "-screen 0 1280x900x24" env -u QT_QPA_PLATFORM \
  qgis --nologo --code scripts/qgis-dialog.py >"$work/qgis-window.log" 2>&1 ||
  fail "QGIS: $(tail -n 20 "$work/qgis-window.log")"
[ "$(head -n1 "$work/dialog.log")" = cancelled ] || fail "the dialog: $(cat "$work/dialog.log")"
sed -n '2,3p' "$work/dialog.log"
grep -qx "stopped: $work/big/window.tif" "$work/dialog.log" &&
  grep -q '^Stopped: 1 cut short, 0 not started' "$work/dialog.log" || fail "the dialog's log: $(cat "$work/dialog.log")"
left=$(pgrep -af "$work" || true)
[ -z "$left" ] || fail "left running after the dialog's cancel: $left"
[ "$(sha256sum <"$work/big/window.tif")" = "$window_sum" ] || fail "the file changed after the dialog's cancel"
[ "$(ls -A "$work/big")" = $'big.tif\nwindow.tif' ] || fail "left beside the file: $(ls -A "$work/big")"
[ -z "$(find "$work/tmp" -name 'kelvory*')" ] || fail "working copies left: $(find "$work/tmp" -name 'kelvory*')"

echo "== in Russian"
set_setting locale/overrideFlag true
set_setting locale/userLocale ru
qgis help kelvory:buildpyramids >"$work/help-ru.txt" 2>"$work/help-ru.err"
grep -q '^Kelvory: пирамиды для многих файлов сразу (kelvory:buildpyramids)' "$work/help-ru.txt" &&
  grep -q '^FOLDERS: Папки' "$work/help-ru.txt" || fail "no Russian help: $(head -n 5 "$work/help-ru.txt")"
# QGIS's own algorithm builds pyramids too: the toolbox tells the two apart.
qgis list >"$work/list-ru.txt"
ours=$(grep -P '^\tkelvory:buildpyramids\t' "$work/list-ru.txt" | cut -f3)
gdal=$(grep -P '^\tgdal:overviews\t' "$work/list-ru.txt" | cut -f3)
[ -n "$gdal" ] && [ -n "$ours" ] && [ "$ours" != "$gdal" ] || fail "the names in Russian: ours '$ours', GDAL's '$gdal'"
# The command's reason too, whatever language the environment names.
LANG=C.UTF-8 run russian FILES="$work/maps/topo/broken.tif" || fail "the Russian run: $(cat "$work/russian.err")"
jq -e --arg line "ошибка: $work/maps/topo/broken.tif: Неподдерживаемый тип файла." '.log.errors | index($line)' \
  "$work/russian.json" >/dev/null || fail "not in Russian: $(jq -c .log "$work/russian.json")"
