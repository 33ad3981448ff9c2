#!/bin/sh
# qv7ctl firmware check / update while the version-check service fails in the ways a real one does:
# standard output stays one JSON document, error pages are never taken for offers, and a silent
# service is given up on after --timeout seconds without progress.
# usage: service_failures_test.sh QV7CTL QV7_SIM
set -u
ctl=$1 sim=$2
. "$(dirname "$0")/test_lib.sh"

head -c 4096 /dev/urandom >"$dir/image.bin"
python3 "$here/firmware_service.py" "$dir/image.bin" "$dir/port" "$dir/mode" & hpid=$!
"$sim" --listen "$dir/tolka.sock" 2>"$dir/sim.log" & spid=$!
i=0; while { [ ! -s "$dir/port" ] || [ ! -S "$dir/tolka.sock" ]; } && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -s "$dir/port" ] && [ -S "$dir/tolka.sock" ] || { echo "FAIL: service or simulator did not start"; exit 1; }
export QV7_CHECK_HOST="127.0.0.1:$(cat "$dir/port")"
closed=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')

# check MODE HOST EXIT RESULT [TIMEOUT]: firmware check --json prints exactly one JSON object on
# standard output whose "result" is RESULT; diagnostics go to standard error. $limit bounds the run.
limit=60
check() {
  echo "$1" >"$dir/mode"
  QV7_CHECK_HOST=$2 timeout "$limit" "$ctl" --device "unix:$dir/tolka.sock" --timeout "${5:-5}" firmware check --json \
    >"$dir/out" 2>"$dir/err"
  rc=$?
  [ "$rc" = "$3" ] || { fail "$1: exit $rc, expected $3"; cat "$dir/out" "$dir/err"; }
  python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["result"] == sys.argv[2], d["result"]' \
    "$dir/out" "$4" || { fail "$1: standard output is not one JSON object with result $4"; cat "$dir/out"; }
}
service=$QV7_CHECK_HOST
check ok "$service" 0 offered
check post500 "$service" 1 request-failed
grep -q 'HTTP status 500' "$dir/err" || fail "post500: the status is not named"
check file404 "$service" 1 download-failed
check fileclosed "$service" 1 download-failed
grep -q 'dwError = 7' "$dir/err" || fail "fileclosed: the diagnostic line is not on standard error"
check ok "127.0.0.1:$closed" 1 request-failed

# A service that takes the request and never answers is given up on after --timeout seconds
# without progress, not after the client's own 20-second default: the outer limit, far above one
# second and below twenty, tells the two apart. A slow file that keeps coming is not cut off.
limit=15
check silent "$service" 1 request-failed 1
grep -q 'time-out' "$dir/out" || fail "silent: not reported as a time-out"
limit=60
check slowfile "$service" 0 offered 1

# firmware update --json: the same rule, and an error page is never written to the device.
echo file404 >"$dir/mode"
timeout 60 "$ctl" --device "unix:$dir/tolka.sock" firmware update --yes --json >"$dir/out" 2>"$dir/err"
[ $? = 1 ] || fail "update from a 404 page: exit is not 1"
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["update"] == "not started"' "$dir/out" \
  || { fail "update from a 404 page: standard output is not JSON saying nothing was started"; cat "$dir/out"; }
grep -q 'written and verified' "$dir/sim.log" && fail "a 404 page was written to the device"

[ "$failures" -eq 0 ] && echo "service failures handled"
exit $((failures > 0))
