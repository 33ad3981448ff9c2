#!/bin/sh
# qv7ctl firmware check / update against a version-check service on 127.0.0.1 and qv7-sim.
# usage: firmware_update_test.sh QV7CTL QV7_SIM
set -u
ctl=$1 sim=$2
. "$(dirname "$0")/test_lib.sh"

head -c 98304 /dev/urandom >"$dir/image.bin"
python3 "$here/firmware_service.py" "$dir/image.bin" "$dir/port" & hpid=$!
"$sim" --listen "$dir/tolka.sock" 2>"$dir/sim.log" & spid=$!
i=0; while { [ ! -s "$dir/port" ] || [ ! -S "$dir/tolka.sock" ]; } && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -s "$dir/port" ] && [ -S "$dir/tolka.sock" ] || { echo "FAIL: service or simulator did not start"; exit 1; }
export QV7_CHECK_HOST="127.0.0.1:$(cat "$dir/port")"

"$ctl" --device "unix:$dir/tolka.sock" firmware check --json >"$dir/out" 2>"$dir/err" || fail "firmware check: exit $?"
grep -q '"offered" *: *true' "$dir/out" || { fail "firmware check shows no offer"; cat "$dir/out" "$dir/err"; }

echo n | "$ctl" --device "unix:$dir/tolka.sock" firmware update >"$dir/out" 2>"$dir/err"
[ $? -ne 0 ] || fail "a declined update reports success"
grep -q 'written and verified' "$dir/sim.log" && fail "a declined update wrote the image"

"$ctl" --device "unix:$dir/tolka.sock" firmware update --yes >"$dir/out" 2>"$dir/err" \
  || { fail "firmware update --yes: exit $?"; cat "$dir/out" "$dir/err"; }
grep -q 'firmware image of 98304 bytes written and verified' "$dir/sim.log" || fail "the simulator does not hold the image"

[ "$failures" -eq 0 ] && echo "firmware check and update passed"
exit $((failures > 0))
