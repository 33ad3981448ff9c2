#!/bin/sh
# Launch-to-connected time and peak memory of qv7-panel on the simulated Tolka: the window starts,
# the start-up conversation runs, the settings are shown and the window is rendered once.
# usage: bench/panel_startup.sh [build/bin/qv7-panel] [runs]
set -eu
panel=${1:-build/bin/qv7-panel}
runs=${2:-10}
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
i=0
while [ "$i" -lt "$runs" ]; do
  QT_QPA_PLATFORM=offscreen /usr/bin/time -f "%e %M" -o "$out/t$i" "$panel" --simulate --screenshot="$out/p.png" >/dev/null 2>&1
  i=$((i + 1))
done
cat "$out"/t* | awk '{ s += $1; if ($2 > m) m = $2 } END { printf "qv7-panel launch to connected and rendered: %.0f ms mean over %d runs, peak RSS %d KB\n", s * 1000 / NR, NR, m }'
