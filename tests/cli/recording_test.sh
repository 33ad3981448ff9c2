#!/bin/bash
# Record and replay as real processes: qv7ctl records its conversations with qv7-sim on a local socket, the check
# finds nothing in them, qv7-sim --replay plays each back to the same command with every request matched, and the
# recordings kept in tests/fixtures/recordings still replay against today's qv7ctl. Edited recordings carrying a
# device quirk show the replay's divergence report and the check's anomaly.
# usage: recording_test.sh QV7CTL QV7_SIM FIXTURES_DIR
set -u
ctl=$1 sim=$2 fixtures=$3
. "$(dirname "$0")/test_lib.sh"
export XDG_RUNTIME_DIR="$dir/run" QV7_CONFIG_DIR="$dir/config"
mkdir -m 0700 "$XDG_RUNTIME_DIR" "$QV7_CONFIG_DIR"
unset QV7_DEVICE
sock="$dir/tolka"
# A firmware image that is the same on every run, so its recording can be kept as a fixture.
python3 -c 'import sys; sys.stdout.buffer.write(bytes((i * 7 + 3) & 255 for i in range(3000)))' >"$dir/fw.bin"

# Each conversation with a device of its own, so every recording starts from the same state.
declare -A scenarios=(
    [startup]="get"
    [set]="set micVol=5 eqGain[6]=30"
    [key]="key 1"
    [preset]="preset apply 唱歌03"
    [keystore]="key store 2 唱歌05"
    [firmware]="firmware write FW"
)

start_device() { # start_device ARGS...: qv7-sim on $sock, its log in $dir/sim.log
    rm -f "$sock"
    "$sim" --listen "$sock" "$@" 2>"$dir/sim.log" &
    spid=$!
    local until=$((SECONDS + 20))
    while [ ! -S "$sock" ] && [ $SECONDS -lt $until ]; do sleep 0.05; done
}
stop_device() {
    kill $spid 2>/dev/null
    wait $spid
    local rc=$?
    spid=
    return $rc
}
run_ctl() { # run_ctl SCENARIO [OPTIONS...]
    local name=$1
    shift
    # shellcheck disable=SC2086
    "$ctl" --device "unix:$sock" --timeout 3 "$@" ${scenarios[$name]//FW/$dir/fw.bin} >"$dir/$name.out" 2>"$dir/$name.err"
}
# Replays RECORDING to SCENARIO's command; true when the command succeeded and every request matched.
replays_clean() {
    local name=$1 recording=$2
    start_device --replay "$recording"
    run_ctl "$name"
    local ctl_rc=$?
    stop_device
    local sim_rc=$?
    [ $ctl_rc -eq 0 ] && [ $sim_rc -eq 0 ] && grep -q " 0 divergences" "$dir/sim.log"
}

for name in "${!scenarios[@]}"; do
    start_device
    run_ctl "$name" --record "$dir/$name.rec" || fail "$name: qv7ctl failed while recording: $(cat "$dir/$name.err")"
    stop_device
    "$ctl" trace check "$dir/$name.rec" >"$dir/$name.check" || fail "$name: the check found anomalies: $(cat "$dir/$name.check")"
    replays_clean "$name" "$dir/$name.rec" || fail "$name: the replay of a fresh recording diverged: $(cat "$dir/sim.log" "$dir/$name.err")"
    # QV7_UPDATE_FIXTURES=1 keeps the fresh recordings as the new fixtures.
    [ -n "${QV7_UPDATE_FIXTURES:-}" ] && cp "$dir/$name.rec" "$fixtures/$name.rec"
done

# The kept fixtures: today's qv7ctl still says, byte for byte, what it said when they were recorded.
for name in "${!scenarios[@]}"; do
    [ -f "$fixtures/$name.rec" ] || { fail "fixture $name.rec is missing"; continue; }
    "$ctl" trace check "$fixtures/$name.rec" >/dev/null || fail "fixture $name.rec: the check found anomalies"
    replays_clean "$name" "$fixtures/$name.rec" || fail "fixture $name.rec no longer replays: $(grep replay: "$dir/sim.log" | head -3)"
done

# A recording whose device took micVol=6 where qv7ctl now sends 5: the replay names the request and the byte.
python3 - "$dir/set.rec" "$dir/set-edited.rec" <<'PY'
import sys
lines = open(sys.argv[1]).read().splitlines()
for i, l in enumerate(lines):
    f = l.split()
    # the setpara request: to the device, data session (byte 7 = 0b), application code 01
    if len(f) > 14 and f[1] == ">" and f[2 + 7] == "0b" and f[2 + 11] == "01":
        b = [int(x, 16) for x in f[2:]]
        b[14] ^= 1
        n = (b[2] << 8) | b[3]
        b[n - 1] = (-sum(b[9:n - 1])) & 255
        lines[i] = f[0] + " > " + " ".join("%02x" % x for x in b)
        break
open(sys.argv[2], "w").write("\n".join(lines) + "\n")
PY
start_device --replay "$dir/set-edited.rec"
run_ctl set
stop_device && fail "the replay of an edited recording exited 0"
grep -q "replay: request [0-9]* (line [0-9]*): differs at byte 14: recorded 0x0[0-9a-f], sent 0x0[0-9a-f]" "$dir/sim.log" ||
    fail "no divergence report for the edited setpara: $(grep replay: "$dir/sim.log")"

# The firmware recording with a device that echoes another offset for one block: the check names it.
python3 - "$dir/firmware.rec" "$dir/firmware-quirk.rec" <<'PY'
import sys
lines = open(sys.argv[1]).read().splitlines()
seen = 0
for i, l in enumerate(lines):
    f = l.split()
    if len(f) > 18 and f[1] == "<" and f[2 + 7] == "0b" and f[2 + 11] == "92":
        seen += 1
        if seen == 3:
            b = [int(x, 16) for x in f[2:]]
            b[13] = (b[13] + 1) & 255  # the echoed offset's low byte
            n = (b[2] << 8) | b[3]
            b[n - 1] = (-sum(b[9:n - 1])) & 255
            lines[i] = f[0] + " < " + " ".join("%02x" % x for x in b)
            break
open(sys.argv[2], "w").write("\n".join(lines) + "\n")
PY
"$ctl" trace check "$dir/firmware-quirk.rec" >"$dir/quirk.check" && fail "the check passed a block reply with another offset"
grep -q "firmware-quirk.rec:[0-9]*: block reply echoes offset 89 length 44, the block sent was offset 88 length 44" "$dir/quirk.check" ||
    fail "the check did not name the echoed offset: $(cat "$dir/quirk.check")"

[ $failures -eq 0 ] && echo "recordings: ${#scenarios[@]} recorded, checked and replayed; fixtures replay; edits reported"
exit $failures
