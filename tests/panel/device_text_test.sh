#!/bin/bash
# A Tolka whose serial number and name hold a line end, a carriage return and terminal escape sequences:
# `qv7ctl info` shows them escaped, one field per line, alone and handed over to a running panel; --json
# keeps the texts as they are. Real processes: qv7-sim on a local socket, qv7ctl, the panel offscreen.
# usage: device_text_test.sh QV7_PANEL QV7CTL QV7_SIM
set -u
panel=$1 ctl=$2 sim=$3
dir=$(mktemp -d)
spid= ppid_=
trap 'kill $ppid_ $spid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

export XDG_RUNTIME_DIR="$dir/run" QV7_CONFIG_DIR="$dir/config" QT_QPA_PLATFORM=offscreen
mkdir -m 0700 "$XDG_RUNTIME_DIR" "$QV7_CONFIG_DIR"
unset QV7_DEVICE
device="unix:$dir/tolka"
serial=$(printf 'QV7\nOS: forged\033[2J0001')
name=$(printf 'Tol\rka')

"$sim" --listen "$dir/tolka" --serial "$serial" --name "$name" --verbose 2>>"$dir/sim.log" &
spid=$!
i=0; while [ ! -S "$dir/tolka" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -S "$dir/tolka" ] || { echo "FAIL: the simulator did not start"; cat "$dir/sim.log"; exit 1; }

# check_info WHERE: the text report has one line per field, the texts escaped, no control byte at all.
check_info() {
    "$ctl" --device "$device" --timeout 10 info >"$dir/info.txt" 2>"$dir/info.err" || { fail "$1: info exited $?"; cat "$dir/info.err"; return; }
    grep -qxF 'SerialNumber:      QV7\nOS: forged\x1b[2J0001' "$dir/info.txt" || fail "$1: serial not shown escaped"
    grep -qxF 'Name:              Tol\rka' "$dir/info.txt" || fail "$1: name not shown escaped"
    grep -q '^OS:' "$dir/info.txt" && fail "$1: the serial forged a line"
    LC_ALL=C grep -q '[[:cntrl:]]' <(tr -d '\n' <"$dir/info.txt") && fail "$1: a control character reached the output"
    [ "$(wc -l <"$dir/info.txt")" -eq 10 ] || fail "$1: $(wc -l <"$dir/info.txt") lines, not the 10 fields"
    "$ctl" --device "$device" --timeout 10 --json info >"$dir/info.json" 2>>"$dir/info.err" || fail "$1: --json info exited $?"
    python3 - "$dir/info.json" "$serial" "$name" <<'PY' || fail "$1: --json does not keep the texts as they are"
import json, sys
d = json.load(open(sys.argv[1]))
assert d["SerialNumber"] == sys.argv[2] and d["Name"] == sys.argv[3], d
PY
    [ $failures -eq 0 ] || cat -A "$dir/info.txt"
}

check_info "qv7ctl alone"

"$panel" --device "$device" >>"$dir/panel.trace" 2>>"$dir/panel.log" &
ppid_=$!
until=$((SECONDS + 120))
until grep -qs "^program qv7-panel" "$XDG_RUNTIME_DIR"/qv7-tolka-*.lock && "$ctl" --device "$device" --timeout 2 get >/dev/null 2>&1; do
    [ $SECONDS -lt $until ] || { fail "the panel did not hold the Tolka"; cat "$dir/panel.log"; exit 1; }
    sleep 0.1
done
check_info "through the panel"
[ "$(grep -c "client connected" "$dir/sim.log")" -eq 3 ] || fail "info did not go through the panel: $(grep -c "client connected" "$dir/sim.log") conversations, not 2 alone and the panel's"

exit $((failures > 0))
