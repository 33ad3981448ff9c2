#!/bin/bash
# One program at a time on a Tolka across users, with real processes: root's qv7ctl without a runtime folder
# (as under sudo) beside a user's holder, and a user's qv7ctl beside root's. Each looks for the per-user lock in
# its own folder; the lock on the node itself is what they share. A file in /dev/shm stands in for the hidraw node
# (flock on it behaves as on the node; tests/vm runs the real node). Runs as root, the user being nobody.
# usage: device_lock_users_test.sh QV7CTL HOLD_DEVICE_LOCK
set -u
ctl=$1 holder=$2
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root to run a second user's process"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: no setpriv"; exit 77; }
[ -d /dev/shm ] && [ -w /dev/shm ] || { echo "SKIP: no writable /dev/shm"; exit 77; }
dir=$(mktemp -d -p /dev/shm qv7-users.XXXXXX)
hpid=
trap 'kill $hpid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
chmod 755 "$dir"
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

node=$dir/hidraw9
: >"$node"
chmod 666 "$node"  # as the seat's access rule leaves a Tolka's node: the user and root may open it
printf 'x' >"$dir/image.bin"
chmod 644 "$dir/image.bin"
mkdir -m 0700 "$dir/run-user" "$dir/tmp-root"
chown nobody "$dir/run-user"
as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups -- env XDG_RUNTIME_DIR="$dir/run-user")
as_root=(env -u XDG_RUNTIME_DIR TMPDIR="$dir/tmp-root")

hold() {
    rm -f "$dir/holder.out"
    "$@" "$holder" "$node" >"$dir/holder.out" 2>&1 &
    hpid=$!
    local until=$((SECONDS + 60))
    until [ -s "$dir/holder.out" ] || [ $SECONDS -ge $until ]; do sleep 0.05; done
    grep -q '^holding ' "$dir/holder.out" || fail "the holder did not take the lock: $(cat "$dir/holder.out")"
}
let_go() {
    kill -KILL $hpid
    wait $hpid 2>/dev/null
    hpid=
}

# A refused command exits 4 and says who holds the Tolka as far as it can know: another user's program.
expect_refused() {
    local who=$1
    shift
    "$@" "$ctl" --device "$node" --timeout 1 "${command[@]}" >/dev/null 2>"$dir/refused.log"
    local rc=$?
    [ $rc -eq 4 ] || fail "$who: \`${command[*]}\` beside the other user's holder exited $rc, not 4: $(cat "$dir/refused.log")"
    grep -qF "is in use by another user's program (pid $hpid)" "$dir/refused.log" ||
        fail "$who: the refusal does not name the holder: $(cat "$dir/refused.log")"
}

# Once the holder is gone the lock is free: the command goes on to the device, which a plain file is not.
expect_past_lock() {
    local who=$1
    shift
    "$@" "$ctl" --device "$node" --timeout 1 "${command[@]}" >/dev/null 2>"$dir/free.log"
    local rc=$?
    [ $rc -ne 4 ] || fail "$who: \`${command[*]}\` still refused after the holder went: $(cat "$dir/free.log")"
}

# 1. The user's program holds the Tolka; root writes firmware without a runtime folder.
command=(firmware write "$dir/image.bin")
hold "${as_user[@]}"
expect_refused "root beside the user" "${as_root[@]}"
let_go
expect_past_lock "root after the user" "${as_root[@]}"

# 2. Root holds it; the user's qv7ctl, in the user's session, asks for the settings.
command=(get)
hold "${as_root[@]}"
expect_refused "the user beside root" "${as_user[@]}"
let_go
expect_past_lock "the user after root" "${as_user[@]}"

exit $((failures > 0))
