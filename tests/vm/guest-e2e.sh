#!/bin/sh
# In the guest: qv7ctl against `qv7-sim --uhid` through real enumeration and /dev/hidrawN, with unplug and replug.
# usage: guest-e2e.sh QV7CTL QV7SIM [QV7PANEL]      (cwd: a writable work folder)
set -u
CTL=$1
SIM=$2
PANEL=${3:-}
fails=0
pass() { echo "PASS: $*"; }
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
expect() { # expect WANTED_STATUS DESCRIPTION COMMAND... ; output in last.out / last.err
    want=$1 what=$2
    shift 2
    "$@" >last.out 2>last.err
    got=$?
    if [ "$got" -eq "$want" ]; then pass "$what (exit $got)"; else
        fail "$what: exit $got, expected $want"
        sed 's/^/  out: /' last.out
        sed 's/^/  err: /' last.err
    fi
}
wait_for() { # wait_for SECONDS COMMAND... : until the command succeeds
    n=$(($1 * 10))
    shift
    while [ $n -gt 0 ]; do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
        n=$((n - 1))
    done
    return 1
}
has_line() { grep -q "$1" "$2"; }
sim_pid=""
start_sim() {
    "$SIM" --uhid "$@" 2>>sim.err &
    sim_pid=$!
}
stop_sim() {
    kill -TERM "$sim_pid" 2>/dev/null
    wait "$sim_pid"
    rc=$?
    if [ $rc -eq 0 ]; then pass "qv7-sim --uhid exited cleanly"; else fail "qv7-sim --uhid exit status $rc"; fi
}

[ -c /dev/uhid ] || { echo "guest: no /dev/uhid"; exit 1; }

# No Tolka yet: list prints nothing and says so by its exit status.
expect 3 "list with no Tolka" "$CTL" list
[ -s last.out ] && fail "list with no Tolka printed: $(cat last.out)"

"$CTL" watch >watch.out 2>watch.err &
watch_pid=$!
wait_for 10 has_line watching watch.err || fail "watch never said it was watching: $(cat watch.err)"

# First plug-in: a whole conversation through the real enumeration.
start_sim
wait_for 10 has_line arrival watch.out || fail "watch saw no arrival"
expect 0 "list with one Tolka" "$CTL" list
node=$(cut -d' ' -f1 last.out)
case $(cat last.out) in
"/dev/hidraw"*" QV7SIM0000000001") pass "list shows $(cat last.out)" ;;
*) fail "list printed '$(cat last.out)'" ;;
esac
expect 0 "info on the default device" "$CTL" info
has_line QV7SIM0000000001 last.out && pass "info shows the serial" || fail "info lacks the serial: $(cat last.out)"
expect 0 "get on $node" "$CTL" --device "$node" get
has_line '^micVol=' last.out && pass "get lists micVol" || fail "get lacks micVol"
expect 0 "set micVol=5" "$CTL" set micVol=5
expect 0 "get after set" "$CTL" get
has_line '^micVol=5$' last.out && pass "the device kept micVol=5" || fail "micVol after set: $(grep micVol last.out)"

# A user without access to the node is told about the udev rule, not that there is no device.
if command -v setpriv >/dev/null; then
    expect 3 "info as an unprivileged user" setpriv --reuid=65534 --regid=65534 --clear-groups "$CTL" info
    if has_line 'permission denied' last.err && has_line 'qv7ctl --print-udev-rules' last.err &&
        has_line 'udevadm control --reload-rules' last.err; then
        pass "the permission message names the udev rule"
    else
        fail "no permission advice: $(cat last.err)"
    fi
fi
stop_sim
wait_for 10 has_line removal watch.out || fail "watch saw no removal"

# Second plug-in: the device goes away in the middle of a firmware transfer.
head -c 16384 /dev/urandom >image.bin
start_sim --unplug-after 60
wait_for 10 "$CTL" list || fail "the second Tolka never showed up"
expect 3 "firmware write cut by an unplug" "$CTL" firmware write image.bin
has_line 'went away during the firmware transfer' last.err && pass "it was cut during the transfer" ||
    fail "not cut during the transfer: $(cat last.err)"
wait "$sim_pid"
rc=$?
[ $rc -eq 0 ] && pass "qv7-sim unplugged itself and exited cleanly" || fail "qv7-sim --unplug-after exit $rc"
grep -q 'unplugged after 60' sim.err && pass "qv7-sim says it unplugged" || fail "no unplug note: $(cat sim.err)"

# Third plug-in: the same write goes through.
start_sim
wait_for 10 "$CTL" list || fail "the third Tolka never showed up"
expect 0 "firmware write" "$CTL" firmware write image.bin
has_line 'firmware written: 16384 bytes' last.out && pass "$(cat last.out)" || fail "no confirmation: $(cat last.out)"
stop_sim
expect 3 "list after the last removal" "$CTL" list

sleep 0.5
# TERM, not INT: a background job of a non-interactive shell ignores SIGINT.
kill -TERM "$watch_pid" 2>/dev/null
wait "$watch_pid"
echo "watch saw:"
sed 's/^/  /' watch.out
[ "$(grep -c '^arrival /dev/hidraw' watch.out)" -eq 3 ] && pass "watch saw three arrivals" || fail "arrivals: $(grep -c '^arrival' watch.out)"
[ "$(grep -c '^removal /dev/hidraw' watch.out)" -eq 3 ] && pass "watch saw three removals" || fail "removals: $(grep -c '^removal' watch.out)"
[ "$(cut -d' ' -f1 watch.out | tr '\n' ' ')" = "arrival removal arrival removal arrival removal " ] &&
    pass "in order" || fail "out of order"

# The panel on the real HID stack: it connects when the Tolka arrives, lets go when it is removed,
# and connects again on the next arrival (its parameter dumps count the connections).
if [ -n "$PANEL" ]; then
    # One runtime folder for the panel and qv7ctl: the device lock and the hand-over socket live there.
    XDG_RUNTIME_DIR=$PWD
    export XDG_RUNTIME_DIR
    QT_QPA_PLATFORM=offscreen "$PANEL" >panel.out 2>panel.err &
    panel_pid=$!
    wait_for 10 has_line '^in$' panel.out || fail "qv7-panel did not start: $(cat panel.err)"
    start_sim
    wait_for 15 has_line '^------------(0 start)' panel.out && pass "qv7-panel connected on arrival over hidraw" ||
        fail "qv7-panel did not connect on arrival: $(tail -5 panel.out) $(tail -3 panel.err)"
    stop_sim
    wait_for 10 has_line '^out$' panel.out && pass "qv7-panel noticed the removal" || fail "qv7-panel missed the removal"
    start_sim
    wait_for 15 has_line '^------------(1 start)' panel.out && pass "qv7-panel connected again on the second arrival" ||
        fail "qv7-panel did not reconnect: $(tail -5 panel.out)"
    # The panel holds the real node: qv7ctl's set and get go through it, a firmware write is refused.
    expect 0 "set micVol=7 through the panel" "$CTL" set micVol=7
    expect 0 "get through the panel" "$CTL" get
    has_line '^micVol=7$' last.out && pass "the panel set micVol=7" || fail "micVol via the panel: $(grep micVol last.out)"
    expect 4 "firmware write while the panel holds the Tolka" "$CTL" firmware write image.bin
    has_line 'panel holds the Tolka' last.err && pass "qv7ctl says the panel holds it" || fail "no reason: $(cat last.err)"
    # Root without the panel's runtime folder (as under sudo) looks for the per-user lock elsewhere; the lock on the
    # hidraw node itself keeps it out and names the holder.
    mkdir -p other-tmp
    expect 4 "firmware write from outside the panel's session" \
        env -u XDG_RUNTIME_DIR TMPDIR="$PWD/other-tmp" "$CTL" --timeout 1 firmware write image.bin
    has_line "is in use by qv7-panel (pid $panel_pid)" last.err && pass "the node's lock names the panel" ||
        fail "the node's lock did not keep it out: $(cat last.err)"
    stop_sim
    kill -TERM "$panel_pid" 2>/dev/null
    wait "$panel_pid" 2>/dev/null
fi

echo "e2e: $fails failure(s)"
[ $fails -eq 0 ] && echo "QV7_E2E_OK"
[ $fails -eq 0 ]
