#!/bin/sh
# The panel under a device that floods it: resident memory over the flood and how long the window's
# context menu takes to appear after a right click, on a virtual X display (Xvfb, xdotool).
# usage: bench/panel_flood.sh [panel] [report_flood] [kind] [rate] [seconds] [--deaf]
#   e.g. bench/panel_flood.sh build/bin/qv7-panel build/bin/report_flood battery 10000 60
set -eu
panel=${1:-build/bin/qv7-panel}
flood=${2:-build/bin/report_flood}
kind=${3:-battery}
rate=${4:-10000}
seconds=${5:-60}
deaf=${6:-}
dir=$(mktemp -d)
display=:$((50 + $$ % 200))
pids=""
cleanup() {
  for p in $pids; do kill "$p" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$dir"
}
trap cleanup EXIT

Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
pids="$!"
export DISPLAY=$display
i=0
until xdotool getdisplaygeometry >/dev/null 2>&1; do
  i=$((i + 1)); [ "$i" -lt 100 ] || { echo "no X display"; exit 1; }; sleep 0.05
done

# The flood starts 3 s after the panel connects, once the start-up conversation is over.
"$flood" --listen "$dir/tolka" --kind "$kind" --rate "$rate" --delay-ms 3000 --seconds "$seconds" $deaf >"$dir/flood.out" 2>&1 &
flood_pid=$!
pids="$pids $flood_pid"
while [ ! -S "$dir/tolka" ]; do sleep 0.05; done
"$panel" --device "unix:$dir/tolka" >/dev/null 2>"$dir/panel.err" &
panel_pid=$!
pids="$pids $panel_pid"

rss() { awk '/^VmRSS/ { print $2 }' "/proc/$panel_pid/status"; }
now_ms() { echo $(($(date +%s%N) / 1000000)); }

sleep 3
window=$(xdotool search --sync --onlyvisible --pid "$panel_pid" | head -1)
xdotool windowmove "$window" 0 0
echo "rss_kb_at_flood_start $(rss)"

# Right-clicks the window's empty bottom-right corner and waits for a new visible window of the panel:
# its context menu. Prints the time from the click to the menu being mapped, in ms (5000: never).
menu_latency() {
  before=$(xdotool search --onlyvisible --pid "$panel_pid" | sort | tr '\n' ' ')
  xdotool mousemove --window "$window" 300 2
  t0=$(now_ms)
  xdotool click 3
  while :; do
    after=$(xdotool search --onlyvisible --pid "$panel_pid" | sort | tr '\n' ' ')
    [ "$after" != "$before" ] && break
    [ $(($(now_ms) - t0)) -lt 5000 ] || break
  done
  t1=$(now_ms)
  xdotool key Escape
  sleep 0.2
  echo $((t1 - t0))
}

start=$(now_ms)
next=5
peak=0
while [ "$next" -le "$seconds" ]; do
  # Samples every 5 s of wall time, however long the previous menu took.
  while [ $(($(now_ms) - start)) -lt $((next * 1000)) ]; do sleep 0.1; done
  elapsed=$next
  next=$((next + 5))
  m=$(rss)
  [ "$m" -gt "$peak" ] && peak=$m
  windows=$(xdotool search --onlyvisible --pid "$panel_pid" | wc -l)
  echo "t=${elapsed}s rss_kb=$m windows=$windows menu_ms=$(menu_latency)"
done
echo "rss_kb_peak $peak"
wait "$flood_pid" || true
cat "$dir/flood.out"
