#!/bin/sh
# qv7ctl's firmware waits against qv7-sim devices that stop answering at each stage of a write, and
# one that is slow but keeps going: --timeout bounds the time without progress, never a transfer
# that still moves, and a stalled write ends with exit 3 and the stage it stalled in.
# usage: firmware_stall_test.sh QV7CTL QV7_SIM
set -u
ctl=$1 sim=$2
. "$(dirname "$0")/test_lib.sh"

start() {  # start SIM_OPTIONS...: (re)starts the simulator on a fresh socket
  [ -n "$spid" ] && { kill "$spid" 2>/dev/null; wait "$spid" 2>/dev/null; }
  sock=$dir/tolka-$$-$(date +%s%N).sock
  "$sim" --listen "$sock" "$@" 2>"$dir/sim.log" & spid=$!
  i=0; while [ ! -S "$sock" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
  [ -S "$sock" ] || { echo "FAIL: simulator did not start"; cat "$dir/sim.log"; exit 1; }
}

head -c 98304 /dev/urandom >"$dir/image.bin"

# A device that stops answering must not hold the command much past --timeout: without the bound
# the wait grows with the image (about two minutes here). The outer limit only keeps a hang from
# holding the suite; it is far above the 2 s asked for.
for case in "start|did not answer the update start" "erase|did not answer the erase" \
            "data:4400|stalled at 4400 of 98304 bytes" "over|did not answer the end of the transfer"; do
  stage=${case%%|*} says=${case#*|}
  start --hang-at "$stage"
  timeout 30 "$ctl" --device "unix:$sock" --timeout 2 firmware write "$dir/image.bin" >"$dir/out" 2>"$dir/err"
  rc=$?
  [ "$rc" = 3 ] || { fail "hang at $stage: exit $rc, expected 3"; cat "$dir/out" "$dir/err"; }
  grep -q "no progress for 2 s: .*$says" "$dir/err" || { fail "hang at $stage: does not say '$says'"; cat "$dir/err"; }
  # The link is left sane: the same device answers the next command.
  timeout 30 "$ctl" --device "unix:$sock" --timeout 5 info >"$dir/out" 2>"$dir/err" \
    || { fail "hang at $stage: the device does not answer info afterwards"; cat "$dir/err"; }
done
grep -q 'written and verified' "$dir/sim.log" && fail "a stalled write reports the image written"

# Slow but moving: every report from the device 150 ms late, so 100 blocks take about 15 s in all,
# well past --timeout 3, and the write still ends well.
head -c 4400 /dev/urandom >"$dir/small.bin"
start --faults-out delay=1:150
timeout 120 "$ctl" --device "unix:$sock" --timeout 3 firmware write "$dir/small.bin" >"$dir/out" 2>"$dir/err" \
  || { fail "a slow transfer that keeps moving was cut off (exit $?)"; cat "$dir/out" "$dir/err"; }
grep -q 'firmware image of 4400 bytes written and verified' "$dir/sim.log" || fail "the slow transfer did not arrive"

# A device that acknowledges each block naming another offset (block 88 answered as 89) is not resent one
# block for ever: the write moves on by what the device took, ends verified, and the driver notes the echo.
head -c 200 /dev/urandom >"$dir/200.bin"
start --block-echo-shift 1
timeout 60 "$ctl" --device "unix:$sock" --timeout 5 --trace firmware write "$dir/200.bin" >"$dir/out" 2>"$dir/err" \
  || { fail "a device echoing another offset: exit $?"; cat "$dir/out" "$dir/err"; }
grep -q 'firmware image of 200 bytes written and verified' "$dir/sim.log" || fail "the echoing device does not hold the image"
grep -q "error!!!!!!!!!!!!!!!" "$dir/err" || { fail "the differing echo is not in the trace"; cat "$dir/err"; }

# firmware update --yes takes its bound from --timeout too, not a ten-minute cap.
python3 "$here/firmware_service.py" "$dir/image.bin" "$dir/port" & hpid=$!
i=0; while [ ! -s "$dir/port" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
export QV7_CHECK_HOST="127.0.0.1:$(cat "$dir/port")"
start --hang-at data:44000
timeout 30 "$ctl" --device "unix:$sock" --timeout 2 firmware update --yes --json >"$dir/out" 2>"$dir/err"
rc=$?
[ "$rc" = 3 ] || { fail "update on a hanging device: exit $rc, expected 3"; cat "$dir/out" "$dir/err"; }
grep -q "no progress for 2 s: .*stalled at 44000 of 98304 bytes" "$dir/err" || { fail "update: stage not named"; cat "$dir/err"; }
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["update"] == "stalled", d["update"]' "$dir/out" \
  || { fail "update: standard output is not JSON saying the transfer stalled"; cat "$dir/out"; }

[ "$failures" -eq 0 ] && echo "firmware waits are bounded by time without progress"
exit $((failures > 0))
