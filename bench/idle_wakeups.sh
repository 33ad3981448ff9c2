#!/bin/sh
# How often an idle qv7-panel wakes up: once the window is connected and has shown the device's settings,
# the kernel's count of context switches (voluntary + involuntary, summed over every thread in
# /proc/PID/task/*/status) is read at the start and the end of an idle stretch. Two devices: qv7-sim on a
# local socket (--device unix:PATH) and the in-process simulator (--simulate). Runs on the offscreen
# platform, with no session bus and the online checks pointed at a closed local port.
# usage: bench/idle_wakeups.sh [build/bin] [seconds]
set -eu
bin=${1:-build/bin}
seconds=${2:-30}
work=$(mktemp -d)
sim_pid=
panel_pid=
cleanup() {
  [ -n "$panel_pid" ] && kill "$panel_pid" 2>/dev/null && wait "$panel_pid" 2>/dev/null
  [ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null && wait "$sim_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

switches() {
  cat /proc/"$1"/task/*/status 2>/dev/null | awk '/^(non)?voluntary_ctxt_switches:/ { s += $2 } END { print s + 0 }'
}

# Starts the panel with the given device and waits until it has traced the device's settings.
measure() {
  label=$1
  shift
  mkdir -p "$work/home" "$work/run"
  chmod 700 "$work/run"
  env -u DBUS_SESSION_BUS_ADDRESS HOME="$work/home" XDG_CONFIG_HOME="$work/home" XDG_RUNTIME_DIR="$work/run" \
    QT_QPA_PLATFORM=offscreen QV7_CHECK_HOST=127.0.0.1:9 QV7_SITE_HOST=127.0.0.1:9 \
    "$bin/qv7-panel" "$@" >"$work/$label.out" 2>"$work/$label.err" &
  panel_pid=$!
  tries=0
  # The first parameter dump ("getpara" answered) means the window shows the device.
  until grep -q "getpara" "$work/$label.out" 2>/dev/null && [ "$(wc -l <"$work/$label.out")" -gt 40 ]; do
    tries=$((tries + 1))
    if [ "$tries" -gt 600 ] || ! kill -0 "$panel_pid" 2>/dev/null; then
      echo "$label: the panel did not connect" >&2
      cat "$work/$label.err" >&2
      exit 1
    fi
    sleep 0.1
  done
  sleep 5 # start-up work (online checks, first paint) settles
  threads=$(ls /proc/"$panel_pid"/task | wc -l)
  before=$(switches "$panel_pid")
  sleep "$seconds"
  after=$(switches "$panel_pid")
  awk -v l="$label" -v a="$after" -v b="$before" -v s="$seconds" -v t="$threads" \
    'BEGIN { printf "%-22s %6.2f wake-ups/s (%d in %d s, %d threads)\n", l, (a - b) / s, a - b, s, t }'
  kill "$panel_pid"
  wait "$panel_pid" 2>/dev/null || true
  panel_pid=
}

"$bin/qv7-sim" --listen "$work/tolka.sock" >"$work/sim.out" 2>&1 &
sim_pid=$!
tries=0
until [ -S "$work/tolka.sock" ]; do
  tries=$((tries + 1))
  [ "$tries" -gt 100 ] && { echo "qv7-sim did not listen" >&2; exit 1; }
  sleep 0.1
done

echo "idle qv7-panel, ${seconds} s after connecting (QT_QPA_PLATFORM=offscreen); load average $(cut -d' ' -f1-3 /proc/loadavg)"
measure "socket device" --device "unix:$work/tolka.sock"
measure "--simulate" --simulate
