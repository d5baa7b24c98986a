#!/bin/sh
# Runs a Windows program under Wine's 64-bit loader: CTest's emulator for the tests of
# a cross-build. The Wine prefix lies in a temporary folder (made on first use, about
# seven seconds) and has no display driver, so that no X server is needed and no
# program waits for one. Wine's own messages stay out of the test output.
set -eu
loader=/usr/lib/wine/wine64
[ -x "$loader" ] || loader=$(command -v wine64 || command -v wine)
server=$(dirname "$loader")/wineserver
[ -x "$server" ] || server=wineserver
WINEPREFIX=${KELVORY_WINEPREFIX:-${TMPDIR:-/tmp}/kelvory-wine-$(id -u)}
WINEDEBUG=-all
# Wine's menu builder would copy every Start menu entry and icon of the tests into the
# host user's desktop menus.
WINEDLLOVERRIDES="winemenubuilder.exe=d${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
export WINEPREFIX WINEDEBUG WINEDLLOVERRIDES
mkdir -p "$WINEPREFIX"
# Tests started in parallel make the prefix, and start its server, once.
exec 9>"$WINEPREFIX.lock"
flock 9
if [ ! -f "$WINEPREFIX/.kelvory-ready-2" ]; then
  "$loader" wineboot --init >/dev/null 2>&1
  "$loader" reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1
  # A program that dies is ended with a report on its standard error, as on a
  # Windows without a crash dialog, instead of waiting in Wine's debugger.
  "$loader" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  # Qt's offscreen platform on Windows reads its fonts from one folder, and Wine
  # passes no QT_ variable on from Linux: the window tests read DejaVu, as on Linux.
  "$loader" reg add 'HKCU\Environment' /v QT_QPA_FONTDIR /d 'Z:\usr\share\fonts\truetype\dejavu' /f >/dev/null 2>&1
  # The services that wineboot started keep a console host from ever answering
  # (AllocConsole succeeds, every console call then fails): the next server starts
  # them afresh.
  "$server" -w
  touch "$WINEPREFIX/.kelvory-ready-2"
fi
# The Wine server and the services it starts keep the standard error of the program
# that started them open until the server ends, and CTest counts a test as running
# until its output closes: started by a test, they would hold that test open for as
# long as other tests keep the server busy. They start here instead, with no output,
# and the server waits a few seconds for the next program before it ends.
if "$server" -p5 </dev/null >/dev/null 2>&1; then
  "$loader" wineboot </dev/null >/dev/null 2>&1
fi
flock -u 9
exec 9>&-
exec "$loader" "$@"
