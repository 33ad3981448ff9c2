#!/bin/bash
# One program at a time on a Tolka across users, with real processes: root's qv7ctl without a runtime folder
# (as under sudo) beside a user's holder, and a user's qv7ctl beside root's. Each looks for the per-user lock in
# its own folder; the lock on the node itself is what they share. A file in /dev/shm stands in for the hidraw node
# (flock on it behaves as on the node; tests/vm runs the real node). Runs as root, the user being nobody.
# A socket device has no node to lock: the simulator serves one host and turns any other away, saying so.
# usage: device_lock_users_test.sh QV7CTL HOLD_DEVICE_LOCK QV7_SIM
set -u
ctl=$1 holder=$2 sim=$3
[ "$(id -u)" = 0 ] || { echo "SKIP: needs root to run a second user's process"; exit 77; }
command -v setpriv >/dev/null || { echo "SKIP: no setpriv"; exit 77; }
[ -d /dev/shm ] && [ -w /dev/shm ] || { echo "SKIP: no writable /dev/shm"; exit 77; }
dir=$(mktemp -d -p /dev/shm qv7-users.XXXXXX)
hpid= spid=
trap 'kill $hpid $spid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
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

# 3. A simulated Tolka on a socket, the user's program connected to it; root's firmware write is turned away.
"$sim" --listen "$dir/tolka" 2>"$dir/sim.log" &
spid=$!
until=$((SECONDS + 60))
until [ -S "$dir/tolka" ] || [ $SECONDS -ge $until ]; do sleep 0.05; done
chmod 666 "$dir/tolka"  # connecting takes write access to the socket
rm -f "$dir/run-user/held"
"${as_user[@]}" python3 -c '
import socket, sys, time
s = socket.socket(socket.AF_UNIX, socket.SOCK_SEQPACKET)
s.connect(sys.argv[1])
open(sys.argv[2], "w").close()
time.sleep(600)
' "$dir/tolka" "$dir/run-user/held" &
hpid=$!
until=$((SECONDS + 60))
until [ -e "$dir/run-user/held" ] || [ $SECONDS -ge $until ] || ! kill -0 $hpid 2>/dev/null; do sleep 0.05; done
[ -e "$dir/run-user/held" ] || fail "the user's host did not connect"
"${as_root[@]}" "$ctl" --device "unix:$dir/tolka" --timeout 5 firmware write "$dir/image.bin" >/dev/null 2>"$dir/refused.log"
rc=$?
[ $rc -eq 4 ] || fail "root beside the user's host on a socket Tolka exited $rc, not 4: $(cat "$dir/refused.log")"
grep -qF "is in use by another program: the simulated Tolka is serving another host" "$dir/refused.log" ||
    fail "the socket refusal does not say why: $(cat "$dir/refused.log")"
grep -q "turned a second host away" "$dir/sim.log" || fail "the simulator does not say it turned a host away"
let_go
# The first host gone, the next is served.
"${as_root[@]}" "$ctl" --device "unix:$dir/tolka" --timeout 5 get >/dev/null 2>"$dir/free.log" ||
    fail "root after the user's host left: exit $?: $(cat "$dir/free.log")"

exit $((failures > 0))
