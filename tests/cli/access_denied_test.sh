#!/bin/bash
# A Tolka node this user may not open: qv7ctl says so with the fix, instead of "no Tolka".
# Root opens a mode-000 node regardless, so as root the program runs as nobody.
# usage: access_denied_test.sh QV7CTL RULE_PATH
set -u
qv7ctl=$1 rule_path=$2
# The device name must be under /dev/; a scratch node in /dev/shm stands in for /dev/hidrawN.
[ -d /dev/shm ] && [ -w /dev/shm ] || { echo "SKIP: no writable /dev/shm"; exit 77; }
dir=$(mktemp -d -p /dev/shm qv7-access.XXXXXX)
trap 'rm -rf "$dir"' EXIT
chmod 755 "$dir"
node=$dir/hidraw7
: >"$node"
chmod 000 "$node"
as_user=()
if [ "$(id -u)" = 0 ]; then
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups --)
fi
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

out=$("${as_user[@]}" "$qv7ctl" --device "$node" info 2>&1)
rc=$?
printf '%s\n' "$out"
[ "$rc" = 3 ] || fail "exit $rc, expected 3 (no usable device)"
for want in "a Tolka is at $node" "permission denied" "$rule_path" "qv7ctl --print-udev-rules" \
    "sudo udevadm control --reload-rules && sudo udevadm trigger" "plug the Tolka in again"; do
    grep -qF -- "$want" <<<"$out" || fail "advice lacks: $want"
done
exit $((failures > 0))
