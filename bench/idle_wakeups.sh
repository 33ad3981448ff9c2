#!/bin/sh
# How often an idle qv7-panel wakes up: once the window is connected and has shown the device's settings,
# the kernel's count of context switches (voluntary + involuntary, over every thread in
# /proc/PID/task/*/status, thread by thread) is read at the start and the end of an idle stretch; the
# threads that woke are listed with their counts. Two devices: qv7-sim on a local socket (--device
# unix:PATH) and the in-process simulator (--simulate). Runs on the offscreen platform, with no session
# bus and the online checks pointed at a closed local port.
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

# "TID switches name" for every thread of process $1.
switches() {
  for task in /proc/"$1"/task/*; do
    awk -v t="${task##*/}" '/^Name:/ { name = $2 } /^(non)?voluntary_ctxt_switches:/ { s += $2; n++ }
      END { if (n) print t, s, name }' "$task/status" 2>/dev/null || true
  done
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
  switches "$panel_pid" >"$work/$label.before"
  sleep "$seconds"
  switches "$panel_pid" >"$work/$label.after"
  # Per thread, so that a worker ending in between takes only its own count along; one started in
  # between counts from zero.
  awk -v l="$label" -v s="$seconds" '
    FNR == NR { before[$1] = $2; n0++; next }
    {
      delta = $2 - ($1 in before ? before[$1] : 0)
      d += delta
      n1++
      if (delta > 0) who = who sprintf(" %s:%d", $3, delta)
    }
    END { printf "%-14s %6.2f wake-ups/s (%d in %d s; threads %d -> %d;%s)\n", l, d / s, d, s, n0, n1, who }' \
    "$work/$label.before" "$work/$label.after"
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
