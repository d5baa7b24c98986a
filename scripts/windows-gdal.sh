#!/usr/bin/env bash
# Builds GDAL's gdaladdo.exe and gdal_translate.exe for 64-bit Windows from Debian's own sources of sqlite3,
# PROJ and GDAL (the versions this machine's gdal-bin uses), with the MinGW-w64
# toolchain, statically: programs that need no DLL beyond Windows' own. Each part
# goes into the cache folder beside Qt and is reused while its Debian version, and
# those of the parts below it, stay the same:
#   sqlite3 (PROJ's database engine), about a minute;
#   PROJ, about 3 minutes on 2 cores;
#   GDAL with the drivers a TIFF's levels need (GTiff, COG, JPEG, VRT, MEM), about
#   4 minutes on 2 cores; of its programs, gdaladdo.exe and gdal_translate.exe (which
#   writes a Cloud Optimized GeoTIFF out again with its levels).
# PROJ's database (proj.db, 8 MB) is not kept: gdaladdo builds the same levels,
# byte for byte and without a word, whether it finds the database or not, and PROJ
# would find the one in the cache by the path it was built with, so that the tests
# here would not see what a user's machine lacks.
# Needs root (or sudo) for apt-get and, where apt has none, a deb-src entry.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
jobs=${KELVORY_JOBS:-2}
cache=${KELVORY_WIN64_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/kelvory-win64}
mkdir -p "$cache"

source scripts/install-packages.sh
source scripts/debian-sources.sh
# tclsh makes sqlite3's single-file source; the host's sqlite3 fills PROJ's database.
install_packages g++-mingw-w64-x86-64-posix mingw-w64-tools cmake ninja-build dpkg-dev tcl sqlite3 \
  gdal-bin libproj25 libsqlite3-0

version_of() { dpkg-query -W -f='${source:Version}' "$1"; }
# A part's stamp: its own Debian version after those of the parts it is built on, so
# that a new sqlite3 rebuilds PROJ and GDAL too.
sqlite_stamp="sqlite3 $(version_of libsqlite3-0)"
proj_stamp="$sqlite_stamp; proj $(version_of libproj25)"
gdal_stamp="$proj_stamp; gdal $(version_of gdal-bin)"
sqlite_prefix=$cache/sqlite3
proj_prefix=$cache/proj
gdal_prefix=$cache/gdal
up_to_date() { [ "$(cat "$1/.version" 2>/dev/null)" = "$2" ]; }
programs=(gdaladdo gdal_translate)
built_all() { for program in "${programs[@]}"; do [ -f "$gdal_prefix/bin/$program.exe" ] || return 1; done; }
if up_to_date "$gdal_prefix" "$gdal_stamp" && built_all; then
  exit 0
fi

work=$(mktemp -d "$cache/build.XXXXXX")
trap 'rm -rf "$work"' EXIT
quietly() { quiet_step "$work/step" "$@"; }
# Only the version number of a stamp's last part.
own_version() { echo "${1##* }"; }
toolchain=(-DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_CROSSCOMPILING_EMULATOR=
           -DCMAKE_BUILD_TYPE=Release -G Ninja -Wno-dev)

if ! up_to_date "$sqlite_prefix" "$sqlite_stamp"; then
  echo "Building sqlite3 $(own_version "$sqlite_stamp") for Windows into $sqlite_prefix"
  fetch_source sqlite3 "$(own_version "$sqlite_stamp")" "$work/sqlite3" >/dev/null
  # Debian's source has no single-file form: the host's configure and tclsh make it.
  (cd "$work/sqlite3/src" && quietly ./configure --disable-tcl && quietly make sqlite3.c sqlite3.h)
  rm -rf "$sqlite_prefix"
  mkdir -p "$sqlite_prefix/include" "$sqlite_prefix/lib"
  quietly x86_64-w64-mingw32-gcc-posix -O2 -c "$work/sqlite3/src/sqlite3.c" -o "$work/sqlite3.o" \
    -DSQLITE_THREADSAFE=1 -DSQLITE_ENABLE_COLUMN_METADATA -DSQLITE_ENABLE_RTREE=1 -DSQLITE_USE_URI=1 \
    -DSQLITE_OMIT_LOAD_EXTENSION
  x86_64-w64-mingw32-ar rcs "$sqlite_prefix/lib/libsqlite3.a" "$work/sqlite3.o"
  cp "$work/sqlite3/src/sqlite3.h" "$sqlite_prefix/include/"
  echo "$sqlite_stamp" >"$sqlite_prefix/.version"
fi

if ! up_to_date "$proj_prefix" "$proj_stamp"; then
  echo "Building PROJ $(own_version "$proj_stamp") for Windows into $proj_prefix (about 3 minutes)"
  fetch_source proj "$(own_version "$proj_stamp")" "$work/proj" >/dev/null
  # No network grids, no TIFF grids, no programs: GDAL asks PROJ for coordinate
  # systems only.
  quietly cmake -S "$work/proj/src" -B "$work/proj/build" "${toolchain[@]}" \
    -DCMAKE_INSTALL_PREFIX="$proj_prefix" -DBUILD_SHARED_LIBS=OFF -DENABLE_TIFF=OFF -DENABLE_CURL=OFF \
    -DBUILD_TESTING=OFF -DBUILD_APPS=OFF \
    -DSQLITE3_INCLUDE_DIR="$sqlite_prefix/include" -DSQLITE3_LIBRARY="$sqlite_prefix/lib/libsqlite3.a" \
    -DEXE_SQLITE3=/usr/bin/sqlite3
  quietly cmake --build "$work/proj/build" --parallel "$jobs"
  rm -rf "$proj_prefix"
  quietly cmake --install "$work/proj/build"
  rm -rf "$proj_prefix/share/proj"
  echo "$proj_stamp" >"$proj_prefix/.version"
fi

# GDAL builds in a folder of its own, kept until its programs are in place: a build that
# was stopped goes on next time from where it stopped while the stamp is the same, and
# one that cannot go on starts afresh.
gdal_work=$cache/gdal-work
configure_gdal() {
  rm -rf "$gdal_work"
  fetch_source gdal "$(own_version "$gdal_stamp")" "$gdal_work" >/dev/null
  # Only GDAL's own copies of the libraries a TIFF needs (libtiff, libgeotiff, zlib,
  # libjpeg): on the first configure, before anything of MinGW's (its ODBC) or the new
  # sqlite3 is found and taken. (No unity build: GDAL 3.6's own C and C++ files declare
  # the same static names in several files.)
  quietly cmake -S "$gdal_work/src" -B "$gdal_work/build" "${toolchain[@]}" \
    -DCMAKE_INSTALL_PREFIX="$gdal_prefix" -DCMAKE_PREFIX_PATH="$proj_prefix;$sqlite_prefix" \
    -DBUILD_SHARED_LIBS=OFF -DGDAL_USE_EXTERNAL_LIBS=OFF -DGDAL_USE_INTERNAL_LIBS=ON \
    -DGDAL_BUILD_OPTIONAL_DRIVERS=OFF -DOGR_BUILD_OPTIONAL_DRIVERS=OFF -DGDAL_ENABLE_DRIVER_JPEG=ON \
    -DBUILD_APPS=ON -DBUILD_TESTING=OFF -DBUILD_DOCS=OFF -DENABLE_GNM=OFF -DBUILD_PYTHON_BINDINGS=OFF
  echo "$gdal_stamp" >"$gdal_work/.version"
}
build_gdal() { quietly cmake --build "$gdal_work/build" --parallel "$jobs" --target "${programs[@]}"; }

if up_to_date "$gdal_work" "$gdal_stamp"; then
  echo "Building GDAL $(own_version "$gdal_stamp") for Windows into $gdal_prefix, on from a stopped build"
  if ! build_gdal; then
    echo "The stopped build of GDAL cannot go on; it starts afresh"
    configure_gdal
    build_gdal
  fi
else
  echo "Building GDAL $(own_version "$gdal_stamp") for Windows into $gdal_prefix (about 4 minutes)"
  configure_gdal
  build_gdal
fi
rm -rf "$gdal_prefix"
mkdir -p "$gdal_prefix/bin"
for program in "${programs[@]}"; do
  x86_64-w64-mingw32-strip -o "$gdal_prefix/bin/$program.exe" "$gdal_work/build/apps/$program.exe"
done
echo "$gdal_stamp" >"$gdal_prefix/.version"
rm -rf "$gdal_work"
