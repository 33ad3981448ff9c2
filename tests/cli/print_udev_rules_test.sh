#!/bin/sh
# `qv7ctl --print-udev-rules` prints the shipped rule file byte for byte and exits 0, so that
# `qv7ctl --print-udev-rules | sudo tee /etc/udev/rules.d/70-qv7.rules` installs exactly what a package would.
# usage: print_udev_rules_test.sh QV7CTL RULES_FILE
set -u
ctl=$1 rules=$2
out=$(mktemp)
trap 'rm -f "$out"' EXIT
"$ctl" --print-udev-rules >"$out"; rc=$?
[ "$rc" -eq 0 ] || { echo "FAIL: qv7ctl --print-udev-rules exited $rc"; exit 1; }
cmp "$rules" "$out" || { echo "FAIL: the printed rules differ from $rules:"; diff "$rules" "$out"; exit 1; }
# Wherever it stands, even behind other options, the answer is the same and no device is looked for.
QV7_DEVICE=unix:/nonexistent "$ctl" --timeout 1 --print-udev-rules >"$out"; rc=$?
[ "$rc" -eq 0 ] && cmp -s "$rules" "$out" || { echo "FAIL: after --timeout 1: exit $rc"; exit 1; }
echo "printed udev rules match $rules"
