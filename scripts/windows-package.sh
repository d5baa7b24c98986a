#!/usr/bin/env bash
# Builds the Windows programs (windows-build.sh) and packs them into
# out-win/kelvory-<version>-win64.zip and the installer kelvory-<version>-win64-setup.exe
# (nsis), both with: kelvory.exe and kelvory-batch.exe, the Qt and
# MinGW runtime DLLs the window loads (found by following the programs' imports) with
# its platform and style plugins and Qt's own Russian texts, the help kelvory.pdf, and
# an empty gdal\ folder with a note on what goes there. kelvory-batch.exe is static.
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
mkdir -p "$stage/gdal" "$stage/platforms" "$stage/styles" "$stage/translations"

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
makensis -V2 -DVERSION="$version" -DSTAGE="$PWD/$stage" -DICON="$PWD/out-win/app/pictures/kelvory.ico" -DOUTFILE="$PWD/out-win/$name-setup.exe" \
  -DFILELIST="$PWD/out-win/package/installed-files.nsh" packaging/windows/kelvory.nsi
echo "out-win/$name-setup.exe"
