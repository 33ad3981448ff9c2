#!/bin/sh
# Launch to first rendered frame, qv7-panel on the simulated Tolka beside two bare Qt windows (bench/bare_window.cpp),
# one with an English label and one with a Chinese one (the CJK font any window showing Chinese loads): all grab their
# window into a file once it is ready and exit. They run in turn so load drifts on a shared machine reach all alike;
# the medians of wall time, CPU time (user + system) and peak RSS are printed with each one's ratio to both bare
# windows. QV7_OTHER_PANEL=PATH adds another qv7-panel build to the turn (a before beside an after). The panel's run includes the start-up conversation with the simulator, since
# its --screenshot waits until the device's settings are shown.
# Runs under QT_QPA_PLATFORM=offscreen and, where xvfb-run is installed, under xcb on a private Xvfb.
# The frames are saved as PNG like the README's; with FORMAT bmp the encoder, which costs more on the panel's
# larger window than on the bare one, drops out and what is left is start-up and rendering.
# usage: [QV7_OTHER_PANEL=PATH] bench/startup.sh [BIN_DIR] [RUNS] [FORMAT]      (defaults: build/bin 10 png)
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
  sides="bare chinese panel"
  [ -n "${QV7_OTHER_PANEL:-}" ] && sides="$sides other"
  run_side() {
    case $1 in
    bare) set -- "$bin/bare_window" --screenshot="$out/bare.$format" ;;
    chinese) set -- "$bin/bare_window" --chinese --screenshot="$out/chinese.$format" ;;
    panel) set -- "$bin/qv7-panel" --simulate --screenshot="$out/panel.$format" ;;
    other) set -- "$QV7_OTHER_PANEL" --simulate --screenshot="$out/other.$format" ;;
    esac
    QT_QPA_PLATFORM=$platform "$bin/run_measured" "$@"
  }
  i=0
  while [ "$i" -lt "$runs" ]; do
    # The order turns each run, so a warm cache or a load spike favours no side.
    order=$(echo $sides | awk -v k="$i" '{ for (j = 0; j < NF; ++j) printf "%s ", $(1 + (j + k) % NF) }')
    for which in $order; do
      run_side "$which" >>"$out/$which"
    done
    i=$((i + 1))
  done
  median() {  # column $2 of file $1
    sort -n -k"$2","$2" "$1" | awk -v c="$2" '{ v[NR] = $c } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
  }
  cpu() { awk '{ print $2 + $3, $0 }' "$1" >"$1.cpu" && median "$1.cpu" 1; }
  printf '%s, %s, median of %d runs in turn   wall ms (x bare, x chinese)   CPU ms (x bare, x chinese)   peak RSS MiB (x bare, x chinese)\n' \
    "$platform" "$format" "$runs"
  for which in $sides; do
    eval "w_$which=\$(median \"\$out/\$which\" 1) c_$which=\$(cpu \"\$out/\$which\") m_$which=\$(median \"\$out/\$which\" 4)"
  done
  for which in $sides; do
    case $which in
    bare) label="bare window" ;; chinese) label="bare window, Chinese label" ;; panel) label="qv7-panel" ;;
    other) label="$QV7_OTHER_PANEL" ;;
    esac
    eval "w=\$w_$which c=\$c_$which m=\$m_$which"
    awk -v l="$label" -v w="$w" -v c="$c" -v m="$m" -v bw="$w_bare" -v bc="$c_bare" -v bm="$m_bare" \
      -v zw="$w_chinese" -v zc="$c_chinese" -v zm="$m_chinese" 'BEGIN {
      printf "  %-28s %7.1f (%4.2fx %4.2fx)   %7.1f (%4.2fx %4.2fx)   %7.1f (%4.2fx %4.2fx)\n", l,
        w / 1000, w / bw, w / zw, c / 1000, c / bc, c / zc, m / 1024, m / bm, m / zm
    }'
  done
  echo "  goals for qv7-panel: wall and CPU <= 1.5x, peak RSS <= 1.3x the bare window"
  exit 0
fi

"$0" --measure offscreen "$bin" "$runs" "$format"
if command -v xvfb-run >/dev/null 2>&1; then
  xvfb-run -a -s "-screen 0 1280x1024x24 -nolisten tcp" "$0" --measure xcb "$bin" "$runs" "$format"
else
  echo "xcb: skipped, xvfb-run is not installed"
fi
