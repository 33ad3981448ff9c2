#!/bin/bash
# The panel's --record as a user would send it: the panel records its start-up conversation with qv7-sim and a
# setting changed through qv7ctl, is killed outright, and the file it leaves passes qv7ctl trace check; the panel
# then runs against qv7-sim --replay of that file and every request it makes matches the recording.
# usage: record_test.sh QV7_PANEL QV7CTL QV7_SIM
set -u
panel=$1 ctl=$2 sim=$3
dir=$(mktemp -d)
spid= ppid_=
trap 'kill -9 $ppid_ 2>/dev/null; kill $spid 2>/dev/null; wait 2>/dev/null; [ -n "${KEEP:-}" ] && cp -r "$dir" /tmp/kept; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export XDG_RUNTIME_DIR="$dir/run" QV7_CONFIG_DIR="$dir/config" QT_QPA_PLATFORM=offscreen
mkdir -m 0700 "$XDG_RUNTIME_DIR" "$QV7_CONFIG_DIR"
unset QV7_DEVICE
device="unix:$dir/tolka"

wait_for() {
    local what=$1 cond=$2 until=$((SECONDS + 60))
    while [ $SECONDS -lt $until ]; do
        eval "$cond" && return 0
        sleep 0.1
    done
    fail "gave up waiting for $what"
    return 1
}
start_sim() {
    rm -f "$dir/tolka"
    "$sim" --listen "$dir/tolka" "$@" 2>"$dir/sim.log" &
    spid=$!
    wait_for "the simulator's socket" '[ -S "$dir/tolka" ]'
}
panel_ready() { "$ctl" --device "$device" --timeout 2 get >"$dir/get.out" 2>>"$dir/ctl.log"; }

start_sim
"$panel" --device "$device" --record "$dir/panel.rec" >"$dir/panel.trace" 2>"$dir/panel.log" &
ppid_=$!
panel_holds() { grep -qs "^program qv7-panel" "$XDG_RUNTIME_DIR"/qv7-tolka-*.lock; }
wait_for "the panel to hold the Tolka" panel_holds
wait_for "the panel's first conversation" panel_ready
"$ctl" --device "$device" set micVol=5 2>>"$dir/ctl.log" || fail "qv7ctl set through the recording panel failed"
wait_for "the setting in the recording" 'grep -q "> ff 5a .* 0b .. 00 01 01 " "$dir/panel.rec"'
kill -9 $ppid_
wait $ppid_ 2>/dev/null
ppid_=
kill $spid
wait $spid 2>/dev/null

grep -q "^# program: qv7-panel" "$dir/panel.rec" || fail "the recording does not name the panel"
grep -q "^# masked: SerialNumber" "$dir/panel.rec" || fail "the recording does not say what it masked"
"$ctl" trace check "$dir/panel.rec" >"$dir/check.out" || fail "the killed panel's recording has anomalies: $(cat "$dir/check.out")"

# The start-up again, against the recording: the panel reaches the settings and asks only what it asked before.
head -n "$(grep -n '> ff 5a .* 0b .. 00 01 01 ' "$dir/panel.rec" | head -1 | cut -d: -f1)" "$dir/panel.rec" |
    head -n -1 >"$dir/startup.rec"
start_sim --replay "$dir/startup.rec"
"$panel" --device "$device" >"$dir/panel2.trace" 2>"$dir/panel2.log" &
ppid_=$!
wait_for "the panel to hold the replayed Tolka" panel_holds
wait_for "the panel's conversation with the replay" panel_ready
kill $ppid_
wait $ppid_ 2>/dev/null
ppid_=
kill $spid
wait $spid
rc=$?
spid=
grep -q "replay: .* 0 divergences" "$dir/sim.log" && [ $rc -eq 0 ] ||
    fail "the panel's requests left its own recording: $(grep replay: "$dir/sim.log" | head -5)"

[ $failures -eq 0 ] && echo "panel --record: a killed panel's recording checks clean and replays"
exit $failures
