#!/bin/bash
# The panel and qv7ctl on one Tolka (qv7-sim on a local socket), as real processes: while the panel holds the
# device, qv7ctl's commands go through the panel's conversation instead of starting a second one; while something
# else holds it, the panel waits and connects once the holder is gone, however it went.
# usage: handover_test.sh QV7_PANEL QV7CTL QV7_SIM HOLD_DEVICE_LOCK
set -u
panel=$1 ctl=$2 sim=$3 holder=$4
dir=$(mktemp -d)
spid= ppid_= hpid=
trap 'kill $ppid_ $hpid $spid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

export XDG_RUNTIME_DIR="$dir/run" QV7_CONFIG_DIR="$dir/config" QT_QPA_PLATFORM=offscreen
mkdir -m 0700 "$XDG_RUNTIME_DIR" "$QV7_CONFIG_DIR"
unset QV7_DEVICE
device="unix:$dir/tolka"

# Polls `cond` (a shell command) every tenth of a second; the bound (two minutes) only ends a hang.
wait_for() {
    local what=$1 cond=$2 until=$((SECONDS + 120))
    while [ $SECONDS -lt $until ]; do
        eval "$cond" && return 0
        sleep 0.1
    done
    fail "gave up waiting for $what"
    return 1
}

start_sim() {
    "$sim" --listen "$dir/tolka" --verbose 2>>"$dir/sim.log" &
    spid=$!
    wait_for "the simulator's socket" '[ -S "$dir/tolka" ]'
}

start_panel() {
    "$panel" --device "$device" >>"$dir/panel.trace" 2>>"$dir/panel.log" &
    ppid_=$!
}

# The lock file names its holder; a qv7ctl that came first would hold the Tolka itself.
panel_holds() { grep -qs "^program qv7-panel" "$XDG_RUNTIME_DIR"/qv7-tolka-*.lock; }

# The panel's conversation has reached the settings when qv7ctl get answers with them (through the panel).
panel_ready() { "$ctl" --device "$device" --timeout 2 get >"$dir/get.out" 2>>"$dir/ctl.log"; }

value_of() { sed -n "s/^$1=//p" "$dir/get.out"; }

# 1. The panel holds the Tolka: set and key go through it, the panel's conversation goes on and shows them.
start_sim
start_panel
wait_for "the panel to hold the Tolka" panel_holds
wait_for "the panel's first conversation" panel_ready
"$ctl" --device "$device" set micVol=5 'eqGain[6]=30' 2>>"$dir/ctl.log"
rc=$?
[ $rc -eq 0 ] || fail "qv7ctl set beside the panel exited $rc"
"$ctl" --device "$device" get >"$dir/get.out" 2>>"$dir/ctl.log" || fail "qv7ctl get beside the panel failed"
[ "$(value_of micVol)" = 5 ] || fail "the panel does not show micVol=5 after qv7ctl set (got '$(value_of micVol)')"
[ "$(value_of 'eqGain\[6\]')" = 30 ] || fail "the panel does not show eqGain[6]=30 after qv7ctl set"
"$ctl" --device "$device" key 1 2>>"$dir/ctl.log" || fail "qv7ctl key 1 beside the panel exited $?"
"$ctl" --device "$device" --json info >"$dir/info.json" 2>>"$dir/ctl.log" || fail "qv7ctl info beside the panel failed"
grep -q '"FirmwareVersion"' "$dir/info.json" || fail "qv7ctl --json info through the panel: $(cat "$dir/info.json")"
# A quick key stored through the panel shows in the window and in what the panel reports at once, before any
# names reply of the device's could have brought it.
"$ctl" --device "$device" key store 2 唱歌05 >"$dir/store.out" 2>>"$dir/ctl.log"
rc=$?
[ $rc -eq 0 ] || fail "qv7ctl key store beside the panel exited $rc"
grep -qx "key 2 now holds 唱歌05" "$dir/store.out" || fail "qv7ctl key store through the panel: $(cat "$dir/store.out")"
"$ctl" --device "$device" info >"$dir/info.out" 2>>"$dir/ctl.log" || fail "qv7ctl info after key store failed"
grep -qx "quickKeys: *原声 | 唱歌 | 唱歌05" "$dir/info.out" ||
    fail "qv7ctl info through the panel after key store: $(grep quickKeys "$dir/info.out")"
"$ctl" --device "$device" --json info >"$dir/info.json" 2>>"$dir/ctl.log"
grep -q '"quickKeys":\["原声","唱歌","唱歌05"\]' "$dir/info.json" ||
    fail "qv7ctl --json info through the panel after key store: $(cat "$dir/info.json")"
# What the panel refuses, it refuses as qv7ctl alone does.
for refused in "3 唱歌05" "1 no-such-preset" "1"; do
    # shellcheck disable=SC2086
    "$ctl" --device "$device" key store $refused >/dev/null 2>"$dir/refused.log"
    rc=$?
    [ $rc -eq 2 ] || fail "qv7ctl key store $refused through the panel exited $rc, not 2"
    grep -q "^qv7ctl: .*\(key store needs\|no preset named\)" "$dir/refused.log" ||
        fail "qv7ctl key store $refused: $(cat "$dir/refused.log")"
done
# A refused value is refused by the panel as qv7ctl refuses it alone: exit 2, nothing sent.
"$ctl" --device "$device" set micVol=200 2>"$dir/refused.log"
rc=$?
[ $rc -eq 2 ] || fail "an out-of-range set through the panel exited $rc, not 2"
grep -q "micVol=200 is out of range" "$dir/refused.log" || fail "no range message: $(cat "$dir/refused.log")"
# A command that does not go through the panel says who holds the Tolka, with its own exit code.
printf 'x' >"$dir/image.bin"
"$ctl" --device "$device" firmware write "$dir/image.bin" 2>"$dir/refused.log"
rc=$?
[ $rc -eq 4 ] || fail "firmware write while the panel holds the Tolka exited $rc, not 4"
grep -q "the panel holds the Tolka" "$dir/refused.log" || fail "no hand-over message: $(cat "$dir/refused.log")"
# One conversation throughout: the simulator served a single client, which is still connected.
[ "$(grep -c 'client connected' "$dir/sim.log")" -eq 1 ] ||
    fail "the simulator saw $(grep -c 'client connected' "$dir/sim.log") clients, not one"
kill -0 $ppid_ 2>/dev/null || fail "the panel is gone"

# 2. Requests the panel does not know, or too long, get a refusal and the connection ends; the panel lives on.
sock="$XDG_RUNTIME_DIR/$(basename "$panel")"
python3 - "$sock" >"$dir/raw.log" 2>&1 <<'PY' || fail "raw requests: $(cat "$dir/raw.log")"
import socket, sys
def ask(data):
    s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    s.settimeout(30)
    s.connect(sys.argv[1])
    try:
        s.sendall(data)
    except OSError:
        pass
    got = b""
    while True:
        # The panel answers and hangs up without reading the rest of a request it refused: the reply comes first,
        # and then the end of the connection may come as a reset instead of an orderly close.
        try:
            part = s.recv(4096)
        except ConnectionResetError:
            break
        if not part:
            break
        got += part
    s.close()
    return got
for request in (b"bogus\n", b"run\0frobnicate\n", b"run\0" + b"a" * 100000):
    reply = ask(request)
    if not reply.startswith(b"exit 2 "):
        sys.exit("request %r: reply %r" % (request[:20], reply[:80]))
PY
kill -0 $ppid_ 2>/dev/null || fail "the panel is gone after the raw requests"
panel_ready || fail "the panel does not answer after the raw requests"
cp "$dir/get.out" "$dir/before.out"
kill $ppid_
wait $ppid_ 2>/dev/null
ppid_=

# 3. Something else holds the Tolka: the panel waits, says so, and connects when the holder is killed.
"$holder" "$device" >"$dir/holder.out" &
hpid=$!
wait_for "the lock holder" '[ -s "$dir/holder.out" ]'
start_panel
wait_for "the panel's waiting notice" 'grep -q "is held by" "$dir/panel.log"'
"$ctl" --device "$device" --timeout 1 get >/dev/null 2>"$dir/busy.log"
rc=$?
[ $rc -eq 4 ] || fail "qv7ctl beside another holder exited $rc, not 4"
kill -KILL $hpid
wait $hpid 2>/dev/null
hpid=
wait_for "the panel to connect after the holder was killed" panel_ready
cmp -s "$dir/get.out" "$dir/before.out" || fail "the panel connected but shows other settings: $(diff "$dir/before.out" "$dir/get.out")"
# The key stored in part 1 is the device's now: a new conversation reads it back.
"$ctl" --device "$device" info >"$dir/info.out" 2>>"$dir/ctl.log"
grep -qx "quickKeys: *原声 | 唱歌 | 唱歌05" "$dir/info.out" ||
    fail "the device does not hold the stored key: $(grep quickKeys "$dir/info.out")"

if [ $failures -ne 0 ]; then
    echo "--- panel"; cat "$dir/panel.log"; echo "--- qv7ctl"; tail -20 "$dir/ctl.log"; echo "--- sim"; grep -v '^[<-]' "$dir/sim.log" | tail
fi
exit $((failures > 0))
