#!/bin/sh
# Part of scripts/package-test.sh, run inside the test root under xvfb-run: starts the
# installed kelvory, waits (bounded) for its window, presses F1 and notes what the
# desktop was asked to open, then closes the window with Escape.
# Prints "title: ..." and "F1 opened: ..."; fails when no window comes up.
set -u
rm -f /tmp/opened
# Without a desktop environment xdg-open hands what it opens to $BROWSER.
printf '#!/bin/sh\nprintf "%%s\\n" "$1" > /tmp/opened\n' > /tmp/record-open
chmod +x /tmp/record-open
BROWSER=/tmp/record-open
export BROWSER

kelvory > /tmp/kelvory.log 2>&1 &
pid=$!
window=""
for _ in $(seq 300); do
  window=$(xdotool search --onlyvisible --class kelvory 2>/dev/null | head -n 1)
  [ -n "$window" ] && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if [ -z "$window" ]; then
  echo "no window; the program said:"
  cat /tmp/kelvory.log
  kill -9 "$pid" 2>/dev/null
  exit 1
fi
echo "title: $(xdotool getwindowname "$window")"

xdotool windowfocus --sync "$window" key F1
for _ in $(seq 100); do
  [ -s /tmp/opened ] && break
  sleep 0.1
done
echo "F1 opened: $(cat /tmp/opened 2>/dev/null)"

xdotool windowfocus --sync "$window" key Escape
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
if kill -0 "$pid" 2>/dev/null; then
  echo "Escape did not close the window"
  kill -9 "$pid"
  exit 1
fi
echo "closed"
