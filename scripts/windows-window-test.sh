#!/usr/bin/env bash
# The zip's kelvory.exe as a Windows user meets it, under Wine on a virtual X screen
# (Xvfb) with Wine's own desktop and window frames: the window comes up, a list of
# files in a folder with spaces and Cyrillic letters is loaded and saved again through
# the real Windows file dialogs (the saved list must equal the loaded one), Build
# builds their levels with the zip's gdaladdo.exe (gdalinfo reads them here) and every
# row gets its done picture, and Escape closes the program. With a file name, the
# finished window is saved there as a picture (the README's Windows screenshot:
# docs/screenshot-windows.png).
# Needs out-win/kelvory-<version>-win64.zip (scripts/windows-package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
picture=${1:-}
zip=$(ls out-win/kelvory-*-win64.zip)
loader=/usr/lib/wine/wine64

scratch=$(mktemp -d)
xvfb_pid=""
cleanup() {
  WINEPREFIX=$scratch/prefix /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$scratch"
}
trap cleanup EXIT
# What was on the screen goes with a failure: the titles of the program's windows.
fail() {
  echo "windows-window-test: $*" >&2
  [ -z "${DISPLAY:-}" ] || xwininfo -root -tree | sed -n 's/^ *0x[0-9a-f]* "\(.*\)": ("kelvory.exe".*/  window: \1/p' >&2
  exit 1
}

(cd "$scratch" && cmake -E tar xf "$OLDPWD/$zip")
program=$(ls "$scratch"/kelvory-*-win64/kelvory.exe)
# The user's files are on drive D:, as on many a Windows machine.
data=$scratch/data
windows_path() { local inside=${1#"$data"}; printf 'D:%s' "${inside//\//\\}"; }
maps="$data/Карты 2024"
mkdir -p "$maps"
list=""
for name in "снимок 1" "снимок 2" "рельеф"; do
  gdal_create -q -of GTiff -outsize 600 600 -bands 1 "$maps/$name.tif"
  list+="$(windows_path "$maps/$name.tif")"$'\r\n'
done
printf '%s' "$list" >"$data/list.txt"

# No copies of its menu entries and icons in the host user's desktop menus.
export WINEPREFIX=$scratch/prefix WINEDEBUG=-all WINEDLLOVERRIDES=winemenubuilder.exe=d
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$scratch/display" ] && break; sleep 0.1; done
[ -s "$scratch/display" ] || fail "Xvfb did not start: $(cat "$scratch/xvfb.log")"
export DISPLAY=":$(head -n1 "$scratch/display")"
"$loader" wineboot --init >/dev/null 2>&1
ln -sfn "$data" "$WINEPREFIX/dosdevices/d:"

# Prints "X Y WIDTH HEIGHT" of the window with the given title, or nothing.
window_geometry() {
  xwininfo -root -tree | sed -n "s/^ *0x[0-9a-f]* \"$1\": .* \([0-9]*\)x\([0-9]*\)+\([0-9-]*\)+\([0-9-]*\)  .*/\3 \4 \1 \2/p" | head -n1
}
wait_for() {  # wait_for SECONDS COMMAND...: until the command succeeds
  local tries=$(($1 * 10))
  shift
  until "$@"; do
    tries=$((tries - 1))
    [ "$tries" -gt 0 ] || return 1
    sleep 0.1
  done
}
title="Генератор пирамид для TIFF"
window_up() { [ -n "$(window_geometry "$title")" ]; }
window_gone() { [ -z "$(window_geometry "$title")" ]; }

# A Russian user's window (the captions the clicks and the title check name): the locale
# names the language, whatever this machine's is.
(cd "$(dirname "$program")" && LC_MESSAGES=ru_RU.UTF-8 "$loader" explorer /desktop=Kelvory,800x700 kelvory.exe >/dev/null 2>&1) &
wait_for 120 window_up || fail "the window did not come up"
# The window is placed after it first shows: it has its place once the same
# geometry is read twice a second apart.
settled=""
for _ in $(seq 60); do
  sleep 1
  now=$(window_geometry "$title")
  [ "$now" = "$settled" ] && break
  settled=$now
done
read -r x y width height <<<"$settled"

# Offsets of the buttons' centres from the frame's top-left corner: the client area
# lies below Wine's caption and the menu bar.
click() {
  read -r x y width height < <(window_geometry "$title")
  xdotool mousemove $((x + $1)) $((y + $2)) click 1
}
# Each window of the program is an X window of its own: the dialog is there when their
# number grows, and gone when it is back.
program_windows() { xwininfo -root -tree | grep -c '("kelvory.exe" "kelvory.exe")' || true; }
more_windows_than() { [ "$(program_windows)" -gt "$1" ]; }
windows_back_to() { [ "$(program_windows)" -le "$1" ]; }
# click_and_answer X Y PATH: clicks a button that opens a file dialog and gives the
# dialog a path; the dialog opens with the focus in its file name box.
click_and_answer() {
  local before
  before=$(program_windows)
  click "$1" "$2"
  wait_for 60 more_windows_than "$before" || fail "no file dialog opened"
  sleep 1  # its first paint
  xdotool type --delay 20 "$3"
  xdotool key Return
  wait_for 60 windows_back_to "$before" || fail "the file dialog did not close"
}
click_and_answer 109 472 "$(windows_path "$data/list.txt")"  # "Загрузить из файла"
click_and_answer 289 472 "$(windows_path "$data/saved.txt")"  # "Сохранить в файл"
saved() { [ -s "$data/saved.txt" ]; }
wait_for 30 saved || fail "the list was not saved"
cmp -s "$data/list.txt" "$data/saved.txt" ||
  fail "the saved list differs from the loaded one: $(od -c "$data/saved.txt" | head -n 20)"

click 199 550  # "Построить"
levels_built() {
  local file
  for file in "$maps"/*.tif; do
    [ "$(gdalinfo "$file" | sed -n 's/^ *Overviews: //p')" = "300x300, 150x150, 75x75" ] || return 1
  done
}
wait_for 120 levels_built || fail "the files did not get their levels"
# The rows' pictures, as the screen shows them: the done picture is a green check
# mark (drawn in rgb(0,150,0)), 30 pixels of it in a row's picture cell, which lies
# at (44, 68) from the window's corner for the first row and 20 pixels lower for each
# next one.
green_in_rows() {  # the green pixels in each of the three rows' picture cells
  local row
  import -window root "$scratch/screen.png"
  read -r x y width height < <(window_geometry "$title")
  for row in 0 1 2; do
    convert "$scratch/screen.png" -crop "22x16+$((x + 44))+$((y + 68 + 20 * row))" +repage -fuzz 12% \
      -fill black +opaque 'rgb(0,150,0)' -fill white -opaque 'rgb(0,150,0)' -format '%[fx:round(mean*w*h)] ' info:
  done
}
rows_done() {
  local count
  for count in $(green_in_rows); do [ "$count" -ge 20 ] || return 1; done
}
wait_for 60 rows_done || fail "not every row got its done picture (green pixels by row: $(green_in_rows))"
echo "Build built the listed files' levels, and every row shows it"

if [ -n "$picture" ]; then
  import -window root "$scratch/screen.png"
  convert "$scratch/screen.png" -crop "${width}x${height}+${x}+${y}" +repage "$picture"
  echo "wrote $picture (${width}x${height})"
fi

click 200 200  # the list has the focus
xdotool key Escape
wait_for 30 window_gone || fail "Escape did not close the window"
echo "the zip's kelvory.exe starts under Wine, loads and saves a list, builds it, and closes"
