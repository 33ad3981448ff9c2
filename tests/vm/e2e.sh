#!/bin/sh
# CTest entry of the end-to-end VM test: runs it when qv7ctl and qv7-sim have their real-HID pieces, else says what lacks.
# usage: e2e.sh CACHE_DIR WORK_DIR QV7CTL QV7SIM [QV7PANEL]
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
CACHE=$1 WORK=$2 CTL=$3 SIM=$4 PANEL=${5:-}
missing=""
help=$("$CTL" --help 2>&1)
echo "$help" | grep -q "^  list\b" || missing="$missing qv7ctl-list"
echo "$help" | grep -q "^  watch\b" || missing="$missing qv7ctl-watch"
"$SIM" --help 2>&1 | grep -q -- --uhid || missing="$missing qv7-sim--uhid"
if [ -n "$missing" ]; then
    echo "SKIPPED: not wired yet:$missing (the end-to-end test needs them)"
    exit 77
fi
exec "$HERE/vm_test.sh" "$CACHE" "$WORK" QV7_E2E_OK "$HERE/guest-e2e.sh" "$CTL" "$SIM" $PANEL
