#!/usr/bin/env bash
# Builds the Debian package kelvory_<version>_<arch>.deb into out-package/ and checks it
# with lintian (which fails on any error and lists the warnings).
# The package is built in its own folder with Debian's compiler and linker hardening
# flags (dpkg-buildflags), and only the two programs and their files are compiled.
# BUILD_DIR chooses the folder (default out-package). Needs what scripts/setup.sh installs.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${BUILD_DIR:-out-package}

for tool in cpack dpkg-buildflags dpkg-shlibdeps lintian; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: run scripts/setup.sh first" >&2; exit 1; }
done

if [ ! -f "$build_dir/CMakeCache.txt" ]; then
  # CMake takes CFLAGS, CXXFLAGS and LDFLAGS from the environment on the first configure;
  # the preprocessor flags (fortified libc calls) go in with the compiler's.
  eval "$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --export=sh)"
  CFLAGS="$CPPFLAGS $CFLAGS" CXXFLAGS="$CPPFLAGS $CXXFLAGS" \
    cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --parallel "$(nproc)" \
  --target kelvory kelvory-batch kelvory_help kelvory_install_docs kelvory_qgis_zip
(cd "$build_dir" && cpack -G DEB)

package=$(ls "$build_dir"/kelvory_*.deb)
echo "== lintian $package"
# Errors fail the script; warnings, notes and pedantic remarks are listed.
report=$(lintian --display-info --pedantic "$package" 2>&1) || {
  echo "$report"
  echo "lintian found errors in $package" >&2
  exit 1
}
report=$(grep -v '^running with root privileges' <<<"$report" || true)
echo "${report:-lintian: nothing to report}"
echo "package: $package"
