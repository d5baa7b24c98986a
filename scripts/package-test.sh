#!/usr/bin/env bash
# Installs the Debian package into a fresh minimal Debian 12 root (debootstrap, minbase)
# and checks it there as a new user would meet it:
#   - `apt-get install ./kelvory_*.deb` pulls everything it needs from Debian alone;
#   - kelvory-batch builds the levels of a GeoTIFF made there with gdal_create, and
#     gdalinfo shows them;
#   - kelvory opens its window on a virtual X screen (Xvfb), F1 asks the desktop to open
#     the user guide beside the program, and Escape closes the window;
#   - `apt-get purge` leaves nothing of the package behind.
# Run as root: it mounts /proc, /sys and the like inside the root and always unmounts
# them. Takes minutes (most of it downloading). Uses the package given as the first
# argument, else builds one with scripts/package.sh. The root is made from the archive
# this machine's apt installs the release from (MIRROR overrides it).
set -euo pipefail
cd "$(dirname "$0")/.."
started=$SECONDS

if [ "$(id -u)" -ne 0 ]; then
  echo "package-test.sh makes a Debian root with debootstrap and works in it with chroot:" \
    "run it as root" >&2
  exit 1
fi
source scripts/debian-sources.sh
mirror=${MIRROR:-$(debian_release_uri)}
if [ -z "$mirror" ]; then
  echo "apt on this machine has no enabled \"deb\" source for $(debian_codename) itself, so there is" \
    "no archive to make the Debian root from: give one as MIRROR=URI" >&2
  exit 1
fi

if ! command -v debootstrap >/dev/null; then
  apt-get update -qq
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

package=${1:-}
if [ -z "$package" ]; then
  bash scripts/package.sh
  package=$(ls out-package/kelvory_*.deb)
fi
package=$(realpath "$package")

root=$(mktemp -d /var/tmp/kelvory-root.XXXXXX)
log="$root.log"
mounts=()

# Whatever happens: end what still runs in the root, unmount, then remove the root
# (never while something is still mounted in it).
cleanup() {
  local status=$? pid
  for pid in /proc/[0-9]*; do
    [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ] && kill -9 "${pid#/proc/}" 2>/dev/null
  done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}" || true
  done
  rm -f "$root.files"
  if grep -q " $root/" /proc/mounts; then
    echo "something is still mounted in $root: left it in place" >&2
  else
    rm -rf "$root"
  fi
  if [ "$status" -eq 0 ]; then
    rm -f "$log"
    echo "package test passed in $((SECONDS - started)) s"
  else
    echo "package test FAILED after $((SECONDS - started)) s; log: $log" >&2
  fi
}
trap cleanup EXIT

step() { echo "== $* ($((SECONDS - started)) s)"; }
fail() { echo "FAILED: $*" >&2; exit 1; }
mount_in_root() {
  mount "$@"
  mounts+=("${*: -1}")
}
in_root() {
  chroot "$root" env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
    DEBIAN_FRONTEND=noninteractive ${http_proxy:+http_proxy=$http_proxy} "$@"
}

step "debootstrap bookworm from $mirror into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >>"$log" 2>&1 ||
  fail "debootstrap (see $log)"
[ -c "$root/dev/null" ] || fail "debootstrap made no device files in $root/dev"
mount_in_root -t proc proc "$root/proc"
mount_in_root -t sysfs sysfs "$root/sys"
mount_in_root -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount_in_root -t tmpfs tmpfs "$root/dev/shm"

step "apt-get install ./$(basename "$package")"
cp "$package" "$root/tmp/"
in_root apt-get update -qq >>"$log" 2>&1 || fail "apt-get update (see $log)"
in_root sh -c 'cd /tmp && apt-get install -y -q ./kelvory_*.deb' >>"$log" 2>&1 ||
  fail "installing the package (see $log)"
in_root dpkg-query -L kelvory >"$root.files"
for path in /usr/bin/kelvory /usr/bin/kelvory-batch /usr/lib/kelvory/gdal/gdaladdo \
  /usr/lib/kelvory/kelvory.pdf /usr/share/man/man1/kelvory-batch.1.gz \
  /usr/share/qgis/python/plugins/kelvory/metadata.txt; do
  in_root test -e "$path" || fail "$path is missing or a dangling link"
done

step "kelvory-batch on a GeoTIFF"
in_root sh -c 'mkdir /tmp/maps && gdal_create -q -of GTiff -outsize 2048 2048 -bands 1 -burn 7 \
  -a_srs EPSG:4326 -a_ullr 0 1 1 0 /tmp/maps/map.tif' >>"$log" 2>&1 || fail "gdal_create"
output=$(in_root kelvory-batch /tmp/maps/map.tif 2>&1) || fail "kelvory-batch: $output"
[ "$output" = "done: /tmp/maps/map.tif" ] || fail "kelvory-batch said: $output"
levels=$(in_root gdalinfo /tmp/maps/map.tif | sed -n 's/^ *Overviews: //p')
echo "levels: $levels"
[ "$levels" = "1024x1024, 512x512, 256x256, 128x128" ] || fail "unexpected levels: $levels"

step "kelvory under Xvfb"
in_root apt-get install -y -q --no-install-recommends xvfb xauth xdotool >>"$log" 2>&1 ||
  fail "installing xvfb (see $log)"
cp scripts/package-test-window.sh "$root/tmp/window-check.sh"
window=$(in_root xvfb-run -a -s "-screen 0 1024x768x24" sh /tmp/window-check.sh 2>>"$log") ||
  fail "the window check: $window"
echo "$window"
grep -qx 'title: Генератор пирамид для TIFF' <<<"$window" || fail "no Kelvory window"
opened=$(sed -n 's/^F1 opened: //p' <<<"$window")
[ "$opened" = "file:///usr/lib/kelvory/kelvory.pdf" ] || fail "F1 opened '$opened'"
in_root test -s /usr/lib/kelvory/kelvory.pdf || fail "the user guide is not beside the program"

step "apt-get purge kelvory"
in_root apt-get purge -y -q kelvory >>"$log" 2>&1 || fail "apt-get purge (see $log)"
left=$(in_root find /usr /etc /var/lib/dpkg/info -name '*kelvory*')
while read -r path; do
  [ -d "$root$path" ] && [ ! -L "$root$path" ] && continue
  if [ -e "$root$path" ] || [ -L "$root$path" ]; then left+=$'\n'"$path"; fi
done <"$root.files"
rm -f "$root.files"
[ -z "${left//$'\n'/}" ] || fail "left after purge:$left"
step "done"
