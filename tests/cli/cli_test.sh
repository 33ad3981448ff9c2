#!/bin/sh
# qv7ctl against a device on a local socket: the project's qv7-sim, or the independent Tolka.
# usage: cli_test.sh QV7CTL DEVICE_KIND [QV7_SIM | INDEPENDENT_TOLKA_PY]
set -u
ctl=$1 kind=$2 server=$3
dir=$(mktemp -d)
trap 'kill $pid 2>/dev/null; wait $pid 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

start() {  # start FIRMWARE: (re)starts the device on a fresh socket
  [ -n "${pid:-}" ] && { kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; }
  sock=$dir/tolka-$1.sock
  rm -f "$sock"
  if [ "$kind" = sim ]; then "$server" --listen "$sock" --firmware "$1" 2>"$dir/device.log" &
  else python3 "$server" "$sock" "$1" 2>"$dir/device.log" &
  fi
  pid=$!
  i=0; while [ ! -S "$sock" ] && [ $i -lt 100 ]; do sleep 0.05; i=$((i + 1)); done
  [ -S "$sock" ] || { fail "device did not start"; cat "$dir/device.log"; exit 1; }
}
ctl() { "$ctl" --device "unix:$sock" --timeout 10 "$@"; }
expect_rc() {  # expect_rc CODE DESCRIPTION COMMAND...
  want=$1 what=$2; shift 2
  "$@" >"$dir/out" 2>"$dir/err"; rc=$?
  [ "$rc" = "$want" ] || { fail "$what: exit $rc, expected $want"; cat "$dir/out" "$dir/err"; }
}

start 1.0.2
expect_rc 0 "info" ctl info
grep -q '^FirmwareVersion: *1.0.2$' "$dir/out" || fail "info shows no firmware 1.0.2"
grep -q '^battery: *3.[0-9][0-9] V$' "$dir/out" || fail "info shows no battery text"
expect_rc 0 "get --json" ctl get --json
python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["parameters"]["micVol"] == 14 and len(d["parameters"]["eqGain"]) == 7 and len(d["advanced"]) == 7' "$dir/out" \
  || fail "get --json is not the device's settings as JSON"
expect_rc 0 "set" ctl set micVol=5 'eqGain[6]=30'
expect_rc 0 "get after set" ctl get
grep -qx 'micVol=5' "$dir/out" || fail "micVol not 5 after set"
grep -qx 'eqGain\[6\]=30' "$dir/out" || fail "eqGain[6] not 30 after set"
expect_rc 2 "liveVol=20 on 1.0.2" ctl set liveVol=20
grep -q 'liveVol=20 is out of range' "$dir/err" || fail "no clear refusal of liveVol=20"
expect_rc 2 "unknown setting" ctl set volume=3
expect_rc 0 "mix on" ctl mix on
expect_rc 0 "key 1" ctl key 1
expect_rc 2 "key 3" ctl key 3

start 1.0.7
expect_rc 0 "liveVol=20 on 1.0.7" ctl set liveVol=20
expect_rc 0 "get on 1.0.7" ctl get
grep -qx 'liveVol=20' "$dir/out" || fail "liveVol not 20 on 1.0.7"
head -c 98304 /dev/urandom >"$dir/image.bin"
expect_rc 0 "firmware write" ctl firmware write "$dir/image.bin"
grep -q 'firmware written: 98304 bytes' "$dir/out" || fail "firmware write did not report success"
if [ "$kind" = independent ]; then
  grep -q 'image of 98304 bytes verified' "$dir/device.log" || fail "the independent device did not verify the image"
  grep -q 'protocol errors' "$dir/device.log" && fail "the independent device saw protocol errors"
fi
: >"$dir/empty.bin"
expect_rc 2 "empty image" ctl firmware write "$dir/empty.bin"

# Presets: the library file lives in a folder of the test's own.
export QV7_CONFIG_DIR="$dir/config"
mkdir -p "$QV7_CONFIG_DIR"
expect_rc 0 "preset list" ctl preset list
[ "$(wc -l <"$dir/out")" -eq 62 ] || fail "preset list does not show the 62 built-in presets"
expect_rc 0 "preset save" ctl preset save live20
[ "$(wc -c <"$QV7_CONFIG_DIR/para.bin")" -eq 100 ] || fail "para.bin is not one 100-byte record after a save"
# Chinese and Latin names side by side: the kind column starts at one terminal column on every line.
expect_rc 0 "preset list with a user preset" ctl preset list
python3 - "$dir/out" <<'EOF' || fail "preset list: the kind column does not line up by display width"
import sys, unicodedata
starts = set()
for line in open(sys.argv[1], encoding="utf-8"):
    before = line.rstrip("\n").rsplit(" ", 1)[0]
    starts.add(sum(2 if unicodedata.east_asian_width(c) in "WF" else 1 for c in before))
sys.exit(0 if len(starts) == 1 else 1)
EOF
expect_rc 0 "preset apply" ctl preset apply 唱歌03
expect_rc 0 "get after preset apply" ctl get
grep -qx 'eqGain\[6\]=36' "$dir/out" || fail "the device does not hold the applied preset"
expect_rc 0 "key store" ctl key store 1 live20
grep -q 'key 1 now holds live20' "$dir/out" || fail "key store did not report the caption"
expect_rc 2 "delete a built-in preset" ctl preset delete 0
expect_rc 0 "preset delete" ctl preset delete live20
[ -e "$QV7_CONFIG_DIR/para.bin" ] && fail "para.bin left behind after deleting the only user preset"
start 1.0.2
expect_rc 0 "preset save on 1.0.2" ctl preset save old
expect_rc 0 "preset apply on 1.0.2" ctl preset apply old

kill "$pid"; wait "$pid" 2>/dev/null
expect_rc 3 "no device on the socket" ctl info

[ "$failures" -eq 0 ] && echo "all qv7ctl checks passed against $kind"
exit $((failures > 0))
