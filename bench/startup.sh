#!/bin/sh
# Launch to first rendered frame, qv7-panel on the simulated Tolka beside a bare Qt window (bench/bare_window.cpp):
# both grab their window into a file once it is ready and exit. The two run alternately so load drifts on a shared
# machine reach both alike; the medians of wall time, CPU time (user + system) and peak RSS are printed with the
# panel's ratio to the bare window. The panel's run includes the start-up conversation with the simulator, since
# its --screenshot waits until the device's settings are shown.
# Runs under QT_QPA_PLATFORM=offscreen and, where xvfb-run is installed, under xcb on a private Xvfb.
# The frames are saved as PNG like the README's; with FORMAT bmp the encoder, which costs more on the panel's
# larger window than on the bare one, drops out and what is left is start-up and rendering.
# usage: bench/startup.sh [BIN_DIR] [RUNS] [FORMAT]      (defaults: build/bin 10 png)
set -eu
measure=
if [ "${1:-}" = --measure ]; then
  measure=$2
  shift 2
fi
bin=${1:-build/bin}
runs=${2:-10}
format=${3:-png}
case $format in
png | bmp) ;;
*) echo "startup.sh: FORMAT is png or bmp" >&2; exit 2 ;;
esac
for program in qv7-panel bare_window run_measured; do
  [ -x "$bin/$program" ] || { echo "startup.sh: $bin/$program is missing; build first" >&2; exit 2; }
done
bin=$(cd "$bin" && pwd)

# One platform: "startup.sh --measure PLATFORM BIN RUNS FORMAT", also what xvfb-run starts for xcb.
if [ -n "$measure" ]; then
  platform=$measure
  out=$(mktemp -d)
  trap 'rm -rf "$out"' EXIT
  i=0
  while [ "$i" -lt "$runs" ]; do
    # Alternating which goes first keeps a warm cache or a load spike from favouring one side.
    for which in $(if [ $((i % 2)) = 0 ]; then echo bare panel; else echo panel bare; fi); do
      if [ "$which" = bare ]; then
        QT_QPA_PLATFORM=$platform "$bin/run_measured" "$bin/bare_window" --screenshot="$out/bare.$format" >>"$out/bare"
      else
        QT_QPA_PLATFORM=$platform "$bin/run_measured" "$bin/qv7-panel" --simulate --screenshot="$out/panel.$format" \
          >>"$out/panel"
      fi
    done
    i=$((i + 1))
  done
  median() {  # column $2 of file $1
    sort -n -k"$2","$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
  }
  cpu() { awk '{ print $2 + $3, $0 }' "$1" >"$1.cpu" && median "$1.cpu" 1; }
  bw=$(median "$out/bare" 1) pw=$(median "$out/panel" 1)
  bc=$(cpu "$out/bare") pc=$(cpu "$out/panel")
  bm=$(median "$out/bare" 4) pm=$(median "$out/panel" 4)
  awk -v p="$platform" -v f="$format" -v n="$runs" -v bw="$bw" -v pw="$pw" -v bc="$bc" -v pc="$pc" -v bm="$bm" -v pm="$pm" 'BEGIN {
    printf "%s, %s, median of %d alternating runs  bare window    qv7-panel    ratio  (goal)\n", p, f, n
    printf "  wall, launch to exit after the first frame  %8.1f ms  %8.1f ms  %5.2fx  (<= 1.5x)\n", bw / 1000, pw / 1000, pw / bw
    printf "  CPU, user + system                          %8.1f ms  %8.1f ms  %5.2fx  (<= 1.5x)\n", bc / 1000, pc / 1000, pc / bc
    printf "  peak RSS                                    %8.1f MiB %8.1f MiB %5.2fx  (<= 1.3x)\n", bm / 1024, pm / 1024, pm / bm
  }'
  exit 0
fi

"$0" --measure offscreen "$bin" "$runs" "$format"
if command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" --measure xcb "$bin" "$runs" "$format"
else
  echo "xcb: skipped, xvfb-run is not installed"
fi
