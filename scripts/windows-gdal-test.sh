#!/usr/bin/env bash
# kelvory-batch.exe from the zip with the gdaladdo.exe the zip carries, under Wine, on
# drive D: in a folder with Cyrillic letters and a space. Every build is checked
# against the same build by this machine's Linux kelvory-batch with Debian's gdaladdo,
# through Debian's gdalinfo: the same levels, the same checksums, the same lines of
# output, the same files. The builds: in place, and into a destination folder (a
# folder's subfolders, the sidecars); -r average; BigTIFF and Float32 (which the
# command reads by default); levels a file already has, kept as they are; a COG
# refused in place; files gdaladdo and the reader cannot read; a file with a second
# name and a big one, whose levels are appended to them in place; levels built beside
# a file (--external). Then a build stopped with Ctrl-C and one whose program is
# killed, both mid-build: the tool ends with the program, the source is as it was,
# the next run clears the working copy, or the levels and journal beside a file
# whose levels were to be appended.
# Needs out-win/kelvory-<version>-win64.zip (windows-package.sh) and out/ (setup.sh).
# Runs in the Wine prefix KELVORY_WINEPREFIX names, else in one of its own.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
zip=$(ls out-win/kelvory-*-win64.zip)
linux_batch=$root/out/bin/kelvory-batch

scratch=$(mktemp -d)
own_prefix=""
if [ -z "${KELVORY_WINEPREFIX:-}" ]; then
  export KELVORY_WINEPREFIX=$scratch/prefix
  own_prefix=1
fi
cleanup() {
  [ -z "$own_prefix" ] || WINEPREFIX=$KELVORY_WINEPREFIX /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -f "$KELVORY_WINEPREFIX/dosdevices/d:"
  rm -rf "$scratch"
}
trap cleanup EXIT
fail() {
  echo "windows-gdal-test: $*" >&2
  exit 1
}

(cd "$scratch" && cmake -E tar xf "$root/$zip")
batch=$(ls "$scratch"/kelvory-*-win64/kelvory-batch.exe)
# win ARGS...: the zip's kelvory-batch.exe; its output with Unix line ends.
win() { bash cmake/wine-run.sh "$batch" "$@" | tr -d '\r'; }
version=$(win --version)
grep -q '^gdaladdo: .*gdal\\gdaladdo.exe' <<<"$version" || fail "the zip's program does not find its gdaladdo.exe: $version"

# The same files twice: on drive D: for Windows, and in linux/ for the reference build.
data=$scratch/data
linux=$scratch/linux
maps="Карты 2024"
made=$scratch/made
mkdir -p "$made/tree/север" "$made/tree/юг" "$data" "$linux" "$scratch/tmp"
ln -sfn "$data" "$KELVORY_WINEPREFIX/dosdevices/d:"
(
  cd "$made"
  convert -size 1200x900 -seed 7 plasma:fractal rgb.ppm
  convert rgb.ppm -colorspace gray gray.pgm
  gdal_translate -q -of GTiff -a_srs EPSG:32637 -a_ullr 500000 7000000 512000 6991000 rgb.ppm снимок.tif
  gdal_translate -q -of GTiff -ot Float32 -scale 0 255 -200 1800 -a_nodata -9999 gray.pgm рельеф.tif
  gdal_translate -q -of GTiff -co BIGTIFF=YES rgb.ppm большой.tif
  gdal_translate -q -of GTiff rgb.ppm average.tif
  # 2400 x 1800 wants the levels 2, 4 and 8; it has the first two.
  convert gray.pgm -resize 200% big.pgm
  gdal_translate -q -of GTiff big.pgm kept.tif
  gdaladdo -q -r average kept.tif 2 4
  gdal_translate -q -of COG -co OVERVIEWS=NONE rgb.ppm cog.tif
  # Levels appended in place: a file with a second name (given below, as a copy
  # does not keep it; compressed, as uncompressed files with nearest levels keep the
  # working copy). One of 39 MB, uncompressed, takes the working copy for that reason.
  gdal_translate -q -of GTiff -co COMPRESS=LZW rgb.ppm связь.tif
  convert gray.pgm -resize 600% huge.pgm
  gdal_translate -q -of GTiff huge.pgm крупный.tif
  gdal_translate -q -of GTiff rgb.ppm внешний.tif
  # gdaladdo cannot decode its pixels: GDAL says why in an ERROR line. The reader,
  # which takes only the file's structure, lets it through.
  gdal_translate -q -of GTiff -co COMPRESS=DEFLATE gray.pgm broken.tif
  size=$(stat -c %s broken.tif)
  head -c 65536 <(yes kelvory) | dd of=broken.tif bs=1 seek=$((size / 3)) conv=notrunc status=none
  echo "not a TIFF" >junk.tif
  gdal_translate -q -of GTiff -a_srs EPSG:4326 -a_ullr 30 60 31 59 gray.pgm "tree/север/лист 1.tif"
  printf '0.001\n0\n0\n-0.001\n30\n60\n' >"tree/север/лист 1.tfw"
  echo '<PAMDataset><Metadata><MDI key="SHEET">1</MDI></Metadata></PAMDataset>' >"tree/север/лист 1.tif.aux.xml"
  printf 'GEOGCS["WGS 84"]\n' >"tree/север/лист 1.prj"
  gdal_translate -q -of GTiff rgb.ppm "tree/юг/лист 2.tif"
  printf '1\n0\n0\n-1\n0\n0\n' >"tree/юг/лист 2.wld"
  rm -f ./*.ppm ./*.pgm
)
cp -r "$made" "$data/$maps"
cp -r "$made" "$linux/$maps"
ln "$data/$maps/связь.tif" "$data/$maps/связь 2.tif"
ln "$linux/$maps/связь.tif" "$linux/$maps/связь 2.tif"

# What a build leaves, in a form both systems' runs can be compared by: the output
# lines sorted (files settle in any order), paths from the data folder on and with
# '/', the working copies' names (temporary and random) as WORKING, and GDAL's ERROR
# lines up to the word that says where they come from (Debian's libtiff decodes with
# other libraries, whose messages differ).
normalize() {
  sed -E -e 's#\\#/#g' -e 's#D:/##g' -e "s#$linux/##g" \
    -e 's#[A-Za-z]:/[^ :]*/kelvory[A-Za-z0-9]{6}|/[^ :]*/kelvory[A-Za-z0-9]{6}#WORKING#g' \
    -e 's#(ERROR [0-9]+: [A-Za-z]+).*#\1#' | sort
}
# Each TIFF's levels and checksums, by gdalinfo; a copy's stamp by its name (it holds
# the source's times, which differ between the two); the other files by their bytes.
contents() {
  (
    cd "$1"
    find . -type f | sort | while read -r file; do
      echo "== $file"
      case "$file" in
        *.tif) gdalinfo -checksum "$file" 2>&1 | grep -E 'Overviews|Checksum=' || true ;;
        *.kelvory-stamp) ;;
        *) md5sum <"$file" ;;
      esac
    done
  )
}
# same_build NAME ARGS...: runs the command with ARGS on both systems and compares
# what they did. An argument @PATH is a path in the data folder, with '/'.
same_build() {
  local name=$1 windows_args=() linux_args=() arg win_status=0 linux_status=0
  shift
  for arg in "$@"; do
    case "$arg" in
      @*) arg=${arg#@}; windows_args+=("D:\\${arg//\//\\}"); linux_args+=("$linux/$arg") ;;
      *) windows_args+=("$arg"); linux_args+=("$arg") ;;
    esac
  done
  win "${windows_args[@]}" >"$scratch/$name.windows" || win_status=$?
  TMPDIR=$scratch/tmp "$linux_batch" "${linux_args[@]}" >"$scratch/$name.linux" || linux_status=$?
  [ "$win_status" -eq "$linux_status" ] ||
    fail "$name: kelvory-batch.exe exited with $win_status, the Linux one with $linux_status"
  diff <(normalize <"$scratch/$name.linux") <(normalize <"$scratch/$name.windows") >&2 ||
    fail "$name: the output differs from the Linux build's (above: Linux <, Windows >)"
  echo "$name: $(normalize <"$scratch/$name.windows" | tr '\n' ';')"
}

kept_before=$(gdalinfo -checksum "$data/$maps/kept.tif" | grep 'Overviews checksum')
in_place=(снимок.tif рельеф.tif большой.tif kept.tif cog.tif broken.tif junk.tif связь.tif крупный.tif)
same_build "in place" "${in_place[@]/#/@$maps/}"
same_build "-r average" -r average "@$maps/average.tif"
same_build "--external" --external "@$maps/внешний.tif"
mkdir "$data/$maps/выход" "$linux/$maps/выход"
same_build "--dest" --dest "@$maps/выход" "@$maps/tree"
diff <(contents "$linux/$maps") <(contents "$data/$maps") >&2 ||
  fail "the files differ from the Linux build's (above: Linux <, Windows >)"

# The rest is the same on both systems; what each build must have done.
# What builds leave beside the files: nothing but the levels asked to go there.
# A destination copy's stamp stays with it; nothing else of a build's does.
build_files_beside() {
  find "$data" \( -name '*.ovr' ! -name 'внешний.tif.ovr' \) -o \( -name '*.kelvory-*' ! -name '*.kelvory-stamp' \)
}
expect_line() { grep -qxF "$1" "$scratch/$2.windows" || fail "$2: no line \"$1\" in: $(cat "$scratch/$2.windows")"; }
for file in снимок.tif рельеф.tif большой.tif kept.tif связь.tif крупный.tif; do expect_line "done: D:\\$maps\\$file" "in place"; done
expect_line "done: D:\\$maps\\average.tif" "-r average"
expect_line "done: D:\\$maps\\внешний.tif" "--external"
cmp -s "$made/внешний.tif" "$data/$maps/внешний.tif" || fail "--external changed the file itself"
# A COG is left as it is, and the line says why (its outcome's word is the command's).
grep -q "^[a-z ]*: D:\\\\$maps\\\\cog.tif: .*--cog" "$scratch/in place.windows" ||
  fail "the COG was not refused"
grep -q "^failed: D:\\\\$maps\\\\broken.tif: .*ERROR [0-9]*: " "$scratch/in place.windows" ||
  fail "the broken file's failure names no ERROR line of GDAL's"
for file in cog.tif broken.tif junk.tif; do
  cmp -s "$made/$file" "$data/$maps/$file" || fail "$file was changed"
done
kept_after=$(gdalinfo -checksum "$data/$maps/kept.tif" | grep 'Overviews checksum')
[[ "$kept_after" == "$kept_before, "* ]] || fail "the kept levels changed: $kept_before -> $kept_after"
# Appended in place: the file is the same file, under both its names.
[ "$(stat -c %h "$data/$maps/связь.tif")" -eq 2 ] || fail "the file with a second name lost it"
leftovers=$(build_files_beside)
[ -z "$leftovers" ] || fail "builds left files beside their sources: $leftovers"
for file in "север/лист 1.tif" "север/лист 1.tfw" "север/лист 1.prj" "север/лист 1.tif.aux.xml" "юг/лист 2.tif" \
  "юг/лист 2.wld"; do
  [ -f "$data/$maps/выход/$file" ] || fail "--dest made no $file"
done
# With --cog the COG is written anew as one by the zip's gdal_translate.exe, with the
# levels the Linux build gives it.
same_build "--cog" --cog -r average "@$maps/cog.tif"
expect_line "done: D:\\$maps\\cog.tif" "--cog"
/usr/bin/python3 /usr/lib/python3/dist-packages/osgeo_utils/samples/validate_cloud_optimized_geotiff.py -q \
  "$data/$maps/cog.tif" || fail "--cog did not leave a valid COG"
[ "$(gdalinfo -checksum "$data/$maps/cog.tif" | grep Checksum=)" = "$(gdalinfo -checksum "$linux/$maps/cog.tif" | grep Checksum=)" ] ||
  fail "--cog gave other levels than the Linux build"
echo "kelvory-batch.exe builds with its gdaladdo.exe what the Linux build does"

# Stopped and killed mid-build. The file keeps gdaladdo busy for some seconds: big,
# but small on the disk.
gdal_create -q -of GTiff -outsize 12000 12000 -bands 1 -burn 7 -co COMPRESS=DEFLATE -co TILED=YES "$made/slow.tif"
cp "$made/slow.tif" "$data/$maps/slow.tif"
slow="D:\\$maps\\slow.tif"
# The folder of the working copies of in-place builds: the user's TEMP.
temp=$(bash cmake/wine-run.sh cmd /c echo %TEMP% | tr -d '\r')
temp=$(bash cmake/wine-run.sh winepath -u "$temp" | tr -d '\r')
[ -d "$temp" ] || fail "no temporary folder in the Wine prefix: $temp"
# The zip's gdaladdo.exe, as Wine names the process: by its Windows path, which
# holds the scratch folder's name.
tool_running() { pgrep -f "${scratch##*/}.*gdaladdo\.exe" >/dev/null; }
tool_gone() { ! tool_running; }
wait_for() {  # wait_for TENTHS COMMAND...: until the command succeeds
  local tries=$1
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
working_copies() { find "$temp" -maxdepth 1 -name 'kelvory??????' | wc -l; }
# start_slow_build: kelvory-batch.exe on the slow file, in the background, once its
# gdaladdo.exe runs.
start_slow_build() {
  bash cmake/wine-run.sh "$batch" -r lanczos "$slow" >"$scratch/slow.out" 2>&1 &
  build=$!
  wait_for 600 tool_running || fail "gdaladdo.exe did not start"
}
# Wine delivers Ctrl-C, as SIGINT, to a console program's handler; Ctrl-Break has
# no way there (its console server carries Ctrl-C events only), and the command
# takes both alike.
start_slow_build
kill -INT "$build"
status=0
wait "$build" || status=$?
wait_for 10 tool_gone || fail "gdaladdo.exe still ran a second after the stopped command's end"
[ "$status" -eq 130 ] && grep -qF "stopped: D:\\$maps\\slow.tif" "$scratch/slow.out" ||
  fail "Ctrl-C did not stop the build (status $status): $(cat "$scratch/slow.out")"
cmp -s "$made/slow.tif" "$data/$maps/slow.tif" || fail "the stopped build changed its source"
[ "$(working_copies)" -eq 0 ] || fail "the stopped build left its working copy"
echo "Ctrl-C stops kelvory-batch.exe mid-build"

start_slow_build
bash cmake/wine-run.sh taskkill /F /IM kelvory-batch.exe >/dev/null 2>&1
wait "$build" || true
wait_for 10 tool_gone || fail "gdaladdo.exe still ran a second after its command was killed"
cmp -s "$made/slow.tif" "$data/$maps/slow.tif" || fail "the killed build changed its source"
[ "$(working_copies)" -eq 1 ] || fail "the killed build left $(working_copies) working copies, not its one"
win "D:\\$maps\\kept.tif" >/dev/null
[ "$(working_copies)" -eq 0 ] || fail "the next run did not clear the killed one's working copy"
echo "kelvory-batch.exe killed mid-build: its gdaladdo.exe ends, the next run clears up"

# Killed while the levels of a file with a second name are built beside it: the file
# is untouched, and its next build removes what the killed one left and builds it.
ln "$data/$maps/slow.tif" "$data/$maps/slow 2.tif"
start_slow_build
bash cmake/wine-run.sh taskkill /F /IM kelvory-batch.exe >/dev/null 2>&1
wait "$build" || true
wait_for 10 tool_gone || fail "gdaladdo.exe still ran a second after its command was killed"
cmp -s "$made/slow.tif" "$data/$maps/slow.tif" || fail "the killed append build changed its source"
[ -f "$data/$maps/.slow.tif.kelvory-journal" ] || fail "the killed append build left no journal"
win "$slow" >"$scratch/slow.windows"
expect_line "done: $slow" slow
leftovers=$(build_files_beside)
[ -z "$leftovers" ] || fail "the next build left files beside the source: $leftovers"
[ "$(stat -c %h "$data/$maps/slow.tif")" -eq 2 ] || fail "the killed file lost its second name"
gdalinfo "$data/$maps/slow 2.tif" | grep -q 'Overviews: 6000x6000' || fail "the killed file got no levels on its next build"
echo "kelvory-batch.exe killed while appending levels: the source is as it was, the next run builds it"
