#!/usr/bin/env bash
# Builds the Windows programs (windows-build.sh) and packs them into
# out-win/kelvory-<version>-win64.zip: kelvory-batch.exe (static: no DLL of its own),
# the help kelvory.pdf, and an empty gdal\ folder with a note on what goes there.
# The PDF is made by the Linux build's tools; out/ is built first when it lacks it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/windows-build.sh
[ -f out/bin/kelvory.pdf ] || bash scripts/setup.sh

version=$(sed -n 's/^project(Kelvory VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kelvory-$version-win64
stage=out-win/package/$name
rm -rf out-win/package "out-win/$name.zip"
mkdir -p "$stage/gdal"
x86_64-w64-mingw32-strip -o "$stage/kelvory-batch.exe" out-win/bin/kelvory-batch.exe
cp out/bin/kelvory.pdf "$stage/"
# Windows line ends: Notepad shows the note as written.
sed 's/$/\r/' >"$stage/gdal/README.txt" <<'NOTE'
Put GDAL's gdaladdo.exe in this folder, with the DLLs it comes with, so that
Kelvory finds it as gdal\gdaladdo.exe beside its own programs.

GDAL for Windows comes with the OSGeo4W installer (its "gdal" package: copy
gdaladdo.exe and the DLLs from OSGeo4W's bin folder) and with QGIS for Windows,
which brings the same files.
NOTE
(cd out-win/package && cmake -E tar cf "../$name.zip" --format=zip "$name")
echo "out-win/$name.zip"
