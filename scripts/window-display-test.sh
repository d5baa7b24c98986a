#!/usr/bin/env bash
# Runs the built kelvory on a real X server (Xvfb) under a light window manager (openbox)
# and checks what only a real display shows: at 200 % on a 1366 x 768 screen the framed
# window, its Build button and status bar on the screen and the window movable; at 100 %
# the window exactly as drawn; a message about 80 names within the screen; the About box,
# the list's menu and removing a row by keyboard alone.
# Usage: window-display-test.sh [path/to/kelvory] (default out/bin/kelvory). Prints one
# line per check; exits 77 (skipped) when Xvfb, openbox, xdotool or gdal_create is missing.
set -uo pipefail
cd "$(dirname "$0")/.."
kelvory=$(realpath "${1:-out/bin/kelvory}")

for tool in Xvfb openbox xdotool xwininfo xprop gdal_create gdalinfo; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed (scripts/setup.sh installs it)"; exit 77; }
done
[ -x "$kelvory" ] || { echo "no program at $kelvory: build it first"; exit 1; }

scratch=$(mktemp -d)
xvfb_pid="" wm_pid="" app_pid=""
stop_display() {
  local pid
  for pid in $app_pid $wm_pid $xvfb_pid; do kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null; done
  app_pid="" wm_pid="" xvfb_pid=""
}
trap 'stop_display; rm -rf "$scratch"' EXIT

failed=0 passed=0
check() {  # check NAME COMMAND...: one line saying whether COMMAND held
  local name=$1
  shift
  if "$@"; then
    echo "ok: $name"
    passed=$((passed + 1))
  else
    echo "FAILED: $name"
    failed=$((failed + 1))
  fi
}

# within SECONDS COMMAND...: true as soon as COMMAND is, false if it is not by then.
within() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.05
  done
}

start_display() {  # start_display WIDTHxHEIGHT
  stop_display
  rm -f "$scratch/display"
  Xvfb -displayfd 3 -screen 0 "${1}x24" -nolisten tcp 3>"$scratch/display" 2>"$scratch/xvfb.log" &
  xvfb_pid=$!
  within 10 test -s "$scratch/display" || { echo "Xvfb did not start:"; cat "$scratch/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n1 "$scratch/display")"
  openbox --sm-disable >"$scratch/wm.log" 2>&1 &
  wm_pid=$!
  within 10 eval 'xprop -root _NET_SUPPORTING_WM_CHECK | grep -q "window id"' ||
    { echo "openbox did not start:"; cat "$scratch/wm.log"; exit 1; }
}

# Visible windows of the program, one id a line: the main window, boxes, open menus.
windows() { xdotool search --onlyvisible --class kelvory 2>/dev/null; }
named() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
main_window() { named 'Генератор пирамид для TIFF'; }
about_box() { named 'О программе...'; }

# xwininfo of a window by its number; never of "0", for which it waits for a click.
window_info() { [[ $1 =~ ^[1-9][0-9]*$ ]] && timeout 5 xwininfo -id "$1" 2>/dev/null; }
# geometry ID: "x y width height" of the window's inside, and of its frame (title bar
# and borders included).
geometry() {
  local info x y w h
  info=$(window_info "$1") || return 1
  x=$(awk '/Absolute upper-left X/ {print $4}' <<<"$info")
  y=$(awk '/Absolute upper-left Y/ {print $4}' <<<"$info")
  w=$(awk '/Width:/ {print $2}' <<<"$info")
  h=$(awk '/Height:/ {print $2}' <<<"$info")
  echo "$x $y $w $h"
}
frame() {
  local x y w h l r t b
  read -r x y w h < <(geometry "$1")
  IFS=', ' read -r l r t b < <(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed 's/.*= //')
  echo "$((x - l)) $((y - t)) $((w + l + r)) $((h + t + b))"
}
on_screen() {  # on_screen "x y width height" SCREENWIDTH SCREENHEIGHT
  local x y w h
  read -r x y w h <<<"$1"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + w)) -le "$2" ] && [ $((y + h)) -le "$3" ]
}

# start_kelvory SCALE ARGUMENTS...: the program on the display, its window framed and
# settled where the window manager and the program agree to put it.
start_kelvory() {
  local scale=$1
  shift
  QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$scale "$kelvory" "$@" >"$scratch/kelvory.log" 2>&1 &
  app_pid=$!
  within 20 eval '[ -n "$(main_window)" ] && xprop -id "$(main_window)" _NET_FRAME_EXTENTS | grep -q =' ||
    { echo "no window came up:"; cat "$scratch/kelvory.log"; exit 1; }
  window=$(main_window)
  settled "$window"
}
settled() {  # waits (bounded) until the window's place has stayed the same a moment
  local last="" now stable=0
  for _ in $(seq 60); do
    now=$(frame "$1")
    if [ "$now" = "$last" ]; then
      stable=$((stable + 1))
      [ $stable -ge 3 ] && return 0
    else
      stable=0
    fi
    last=$now
    sleep 0.05
  done
}
# Escape closes the window; it waits for a running build, and then the program ends.
close_kelvory() {
  xdotool windowactivate --sync "$window" key Escape 2>/dev/null
  within 30 eval '! kill -0 "$app_pid" 2>/dev/null'
  wait "$app_pid" 2>/dev/null
  app_pid=""
}

# closed ID: the window was there and is gone or hidden within five seconds.
viewable() { window_info "$1" | grep -q IsViewable; }
closed() { [ -n "$1" ] && within 5 eval "! viewable $1"; }
has_overviews() { gdalinfo "$1" 2>/dev/null | grep -q 'Overviews:'; }
more_windows_than() { [ "$(windows | wc -l)" -gt "$1" ]; }
windows_back_to() { [ "$(windows | wc -l)" -eq "$1" ]; }
tiff() { gdal_create -q -of GTiff -outsize 1024 1024 "$1"; }

# --- 200 % on 1366 x 768 ---------------------------------------------------------------
start_display 1366x768
tiff "$scratch/a.tif"
start_kelvory 2 "$scratch/a.tif"
check "200 %: frame and title bar on the 1366 x 768 screen ($(frame "$window"))" on_screen "$(frame "$window")" 1366 768

# The client area scrolls: its end, with the Build button and the status bar, is
# brought into view with the wheel over the banner.
read -r x y w h < <(geometry "$window")
xdotool mousemove $((x + w - 150)) $((y + h / 2))
for _ in $(seq 20); do xdotool click 5; done
# At the foot of the client area: Build at (10, 488, 371, 41), status bar 20 high.
xdotool mousemove $((x + 2 * 195)) $((y + h - 2 * 50)) click 1
check "200 %: the Build button on the screen builds" within 20 has_overviews "$scratch/a.tif"
# The status bar offers the window menu, whose last entry opens the About box.
xdotool mousemove $((x + w / 2)) $((y + h - 2 * 10)) click 3
xdotool key Up Return
check "200 %: the status bar on the screen offers the window menu" within 5 eval '[ -n "$(about_box)" ]'
about=$(about_box) && settled "$about"
check "200 %: the About box lies on the screen (${about:+$(frame "$about")})" \
  eval '[ -n "$about" ] && on_screen "$(frame "$about")" 1366 768'
xdotool key Escape
closed "$about"

# The window manager moves the window's inside where it is asked to, across; up or down
# it may keep a window nearly as tall as the screen wholly on it.
read -r _ y0 _ < <(geometry "$window")
xdotool windowmove --sync "$window" 40 "$y0"
settled "$window"
read -r x y _ < <(geometry "$window")
check "200 %: the window moves (to $x,$y) and stays on the screen" \
  eval '[ "$x" = 40 ] && on_screen "$(frame "$window")" 1366 768'

close_kelvory

# 80 names that are not TIFF files: the message and its OK button on the screen, and
# Enter (OK) closes it.
names=()
for i in $(seq 80); do names+=("$scratch/notes-$i.txt"); done
touch "${names[@]}"
start_kelvory 2 "${names[@]}"
within 10 eval '[ -n "$(named Kelvory)" ]' && box=$(named Kelvory) && settled "$box"
check "200 %: the message about 80 names lies on the screen (${box:+$(frame "$box")})" \
  eval '[ -n "${box:-}" ] && on_screen "$(frame "$box")" 1366 768'
[ -n "${box:-}" ] && xdotool windowactivate --sync "$box" key Return
check "200 %: Enter (its OK button) closes it" closed "${box:-}"
close_kelvory

# --- 100 % on a big screen ---------------------------------------------------------------
start_display 1920x1080
tiff "$scratch/b.tif"
tiff "$scratch/c.tif"
start_kelvory 1 "$scratch/b.tif" "$scratch/c.tif"
read -r _ _ w h < <(geometry "$window")
# The client area and the menu bar above it, as drawn.
check "100 %: the window is 524 x 576 as drawn (${w} x ${h})" test "$w x $h" = "524 x 576"

# Alt, Right to "?", Up to its last item ("О программе..."), Enter.
xdotool windowactivate --sync "$window" key alt
xdotool key Right Up Return
check "keyboard: Alt, arrows and Enter open the About box" within 5 eval '[ -n "$(about_box)" ]'
about=$(about_box)
xdotool key Escape
check "keyboard: Escape closes the About box" closed "$about"

# Shift+Tab from the Build button reaches the list, on its first row; Down selects the
# second.
xdotool windowactivate --sync "$window" key shift+Tab Down
count=$(windows | wc -l)
xdotool key shift+F10
check "keyboard: Shift+F10 on the list opens its menu" within 5 more_windows_than "$count"
xdotool key Escape
within 5 windows_back_to "$count"
# Delete takes the second row off the list: the build, started with Tab and Space from
# the list, builds the first file only.
xdotool key Delete Tab space
within 20 has_overviews "$scratch/b.tif"
close_kelvory
check "keyboard: Delete removes the selected row" eval 'has_overviews "$scratch/b.tif" && ! has_overviews "$scratch/c.tif"'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
