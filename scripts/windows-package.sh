#!/usr/bin/env bash
# Builds the Windows programs (windows-build.sh) and packs them into
# out-win/kelvory-<version>-win64.zip and the installer kelvory-<version>-win64-setup.exe
# (nsis), both with: kelvory.exe and kelvory-batch.exe, the Qt and
# MinGW runtime DLLs the window loads (found by following the programs' imports) with
# its platform and style plugins and Qt's own Russian texts, the help kelvory.pdf, the
# QGIS plugin, GDAL's gdaladdo.exe in gdal\ (built from Debian's sources by
# windows-gdal.sh), and the licence texts of all of it in licenses\. kelvory-batch.exe
# and gdaladdo.exe are static.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/windows-build.sh
cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
qt=$cache/qt6
# Where the DLLs of Qt and of the MinGW runtime lie; Windows' own are not packed.
dll_folders=("$qt/bin" "$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")"
             /usr/x86_64-w64-mingw32/lib)

version=$(sed -n 's/^project(Kelvory VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
name=kelvory-$version-win64
stage=out-win/package/$name
rm -rf out-win/package out-win/kelvory-*-win64.zip out-win/kelvory-*-win64-setup.exe
mkdir -p "$stage/gdal" "$stage/platforms" "$stage/styles" "$stage/translations" "$stage/licenses"

strip_into() { x86_64-w64-mingw32-strip -o "$2" "$1"; }
strip_into out-win/bin/kelvory.exe "$stage/kelvory.exe"
strip_into out-win/bin/kelvory-batch.exe "$stage/kelvory-batch.exe"
strip_into "$qt/plugins/platforms/qwindows.dll" "$stage/platforms/qwindows.dll"
# The native look of buttons, lists and menus on Windows 7 and later.
strip_into "$qt/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/qwindowsvistastyle.dll"

# Packs every DLL the staged programs and plugins import, and what those import, from
# the folders above.
imports_of() { x86_64-w64-mingw32-objdump -p "$1" | sed -n 's/^\s*DLL Name: //p'; }
pending=("$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll)
while [ ${#pending[@]} -gt 0 ]; do
  file=${pending[0]}
  pending=("${pending[@]:1}")
  for dll in $(imports_of "$file"); do
    [ -e "$stage/$dll" ] && continue
    for folder in "${dll_folders[@]}"; do
      if [ -f "$folder/$dll" ]; then
        strip_into "$folder/$dll" "$stage/$dll"
        pending+=("$stage/$dll")
        break
      fi
    done
  done
done

# Qt's standard buttons and dialogs speak Russian, as the window does; qt.conf points
# Qt at the folders beside the program rather than where it was built.
cp /usr/share/qt6/translations/qtbase_ru.qm "$stage/translations/"
cp packaging/windows/qt.conf "$stage/"
cp out-win/bin/kelvory.pdf "$stage/"
# The QGIS plugin: unpacked in qgis\kelvory, where it finds ..\..\kelvory-batch.exe, and as
# the zip for QGIS's "Install from ZIP", after which it finds the program through the
# folder the installer records.
mkdir -p "$stage/qgis"
cp "out-win/kelvory-qgis-$version.zip" "$stage/qgis/"
(cd "$stage/qgis" && cmake -E tar xf "kelvory-qgis-$version.zip")
# The tool, built statically: nothing else of GDAL is needed.
cp "$cache/gdal/bin/gdaladdo.exe" "$cache/gdal/bin/gdal_translate.exe" "$stage/gdal/"
# Text for Notepad: Windows line ends.
crlf() { sed 's/\r*$/\r/'; }
gdal_version=$(sed -n 's/.*; gdal \(.*\)/\1/p' "$cache/gdal/.version")
crlf >"$stage/gdal/README.txt" <<NOTE
gdaladdo.exe and gdal_translate.exe here are GDAL's, version $gdal_version
(from Debian's source package gdal), with the drivers a TIFF's levels need.
Kelvory runs gdal\\gdaladdo.exe beside its own programs, and gdal_translate.exe
to write a Cloud Optimized GeoTIFF out again as one with its levels.

To use a GDAL of your own instead, put its gdaladdo.exe here, with the DLLs it
comes with. Kelvory runs the gdaladdo.exe on the PATH only when there is none
in this folder.
NOTE

# The licence texts of everything packed, from the Debian packages each part was
# built from: a package's copyright file names the authors and licence of every
# file in its source, and the texts it refers to in /usr/share/common-licenses come
# along under their names.
licenses=$stage/licenses
crlf <LICENSE >"$licenses/Kelvory.txt"
source_version() { dpkg-query -W -f='${source:Package} ${source:Version}' "$1"; }
parts=(
  "Qt.txt|libqt6core6|Qt 6 (the Qt6*.dll files, platforms\\, styles\\, translations\\)"
  "libjpeg-turbo.txt|libjpeg62-turbo|libjpeg-turbo (inside kelvory.exe)"
  "GDAL.txt|libgdal32|GDAL with its own copies of libtiff, libgeotiff, zlib, libjpeg, libpng, giflib, LERC and the other libraries it builds in (gdal\\gdaladdo.exe, gdal\\gdal_translate.exe)"
  "PROJ.txt|libproj25|PROJ (inside both GDAL programs)"
  "SQLite.txt|libsqlite3-0|SQLite (inside both GDAL programs)"
  "MinGW-w64.txt|mingw-w64-common|the MinGW-w64 runtime and winpthreads (inside every program)"
  "GCC.txt|gcc-mingw-w64-base|GCC's runtime libraries libgcc and libstdc++ (libgcc_s_seh-1.dll, libstdc++-6.dll, and inside every program)"
)
index=""
for part in "${parts[@]}"; do
  IFS='|' read -r file package what <<<"$part"
  crlf <"/usr/share/doc/$package/copyright" >"$licenses/$file"
  index+="  $file: $what; Debian source package $(source_version "$package")"$'\n'
  for text in $(grep -o '/usr/share/common-licenses/[A-Za-z0-9.+-]*[A-Za-z0-9]' "/usr/share/doc/$package/copyright" | sort -u); do
    [ -f "$text" ] && crlf <"$text" >"$licenses/$(basename "$(readlink -f "$text")").txt"
  done
done
qt=$(source_version libqt6core6)
crlf >"$licenses/README.txt" <<LIST
Kelvory is free software under the MIT License: Kelvory.txt.

It comes with these parts, each built from Debian 12's source package named, under
the licences its copyright file here states:

$index
The copyright files refer to licence texts in /usr/share/common-licenses on a
Debian system; here they are the files of the same names (GPL-3.txt, LGPL-3.txt and
the others).

Qt is used under the GNU Lesser General Public License, version 3 (LGPL-3.txt, which
builds on GPL-3.txt). Its libraries are the DLL files beside kelvory.exe; you may
replace them with your own build of the same Qt version. The source code of this Qt
is Debian's source package ${qt% *} ${qt#* }, as any Debian 12 system fetches it
with "apt-get source ${qt% *}=${qt#* }"; Kelvory's scripts/windows-qt.sh shows
how it was built. The sources of the other parts are had the same way, by the
names and versions above.
LIST
(cd out-win/package && cmake -E tar cf "../$name.zip" --format=zip "$name")
echo "out-win/$name.zip"

# The installer holds the same files; its uninstaller removes exactly those.
nsis_path() { printf '%s' "${1//\//\\}"; }
{
  (cd "$stage" && find . -type f | sort) | while read -r file; do
    printf 'Delete "$INSTDIR\\%s"\n' "$(nsis_path "${file#./}")"
  done
  (cd "$stage" && find . -mindepth 1 -type d ! -name gdal | sort -r) | while read -r folder; do
    printf 'RMDir "$INSTDIR\\%s"\n' "$(nsis_path "${folder#./}")"
  done
} >out-win/package/installed-files.nsh
makensis -V2 -INPUTCHARSET UTF8 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DICON="$PWD/out-win/app/pictures/kelvory.ico" -DOUTFILE="$PWD/out-win/$name-setup.exe" \
  -DFILELIST="$PWD/out-win/package/installed-files.nsh" packaging/windows/kelvory.nsi
echo "out-win/$name-setup.exe"
