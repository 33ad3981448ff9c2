#!/bin/bash
# An offline machine: both online checks fail at once (nothing listens on the service's port). Their libcurl lines
# ("dwError = N") stay off the panel's terminal, and --trace shows them. A missing libcurl (QV7_LIBCURL_SONAME names
# one that does not exist) is said on the terminal and in the trace, and the panel goes on as an offline one does.
# usage: offline_checks_test.sh QV7_PANEL [LOADS_CURL]   (LOADS_CURL: ON, the default, when the panel opens libcurl at
# run time; OFF leaves the missing-libcurl runs out, since a panel that links it cannot start without it)
set -u
panel=$1
loads_curl=${2:-ON}
dir=$(mktemp -d)
pid=
trap 'kill $pid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

export XDG_RUNTIME_DIR="$dir/run" QT_QPA_PLATFORM=offscreen
mkdir -m 0700 "$XDG_RUNTIME_DIR"
# A port nothing listens on: the connection is refused at once, as on a machine with no network.
port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
export QV7_CHECK_HOST="127.0.0.1:$port" QV7_SITE_HOST="127.0.0.1:$port"

# Runs the panel until its trace shows both checks have ended (the driver's trace says when the firmware check
# starts; the panel check ends first), or for 15 s, whichever comes first.
run_panel() {
    local name=$1
    shift
    mkdir -p "$dir/$name"
    QV7_CONFIG_DIR="$dir/$name" "$panel" --simulate "$@" >"$dir/$name.out" 2>"$dir/$name.err" &
    pid=$!
    local until=$((SECONDS + 15))
    while [ $SECONDS -lt $until ] && ! grep -q "^dwError = .*" "$dir/$name.out"; do sleep 0.2; done
    # Both checks start a second after the window is built; two more seconds let the refused one end.
    sleep 3
    kill $pid 2>/dev/null
    wait $pid 2>/dev/null
    status[$name]=$?
    pid=
}
declare -A status

run_panel quiet
grep -q "dwError" "$dir/quiet.out" "$dir/quiet.err" && fail "the panel printed libcurl lines without --trace: $(grep -h dwError "$dir/quiet.out" "$dir/quiet.err" | head -2)"
run_panel traced --trace
grep -q "^dwError = 7" "$dir/traced.out" || fail "--trace did not show the refused connection (dwError = 7): $(head -c 600 "$dir/traced.out")"

case $loads_curl in
ON | on | 1 | TRUE | true)
    missing="online checks off: libcurl could not be loaded (libqv7-no-such-curl.so.4: cannot open shared object file"
    for traced in "" --trace; do
        name=missing${traced:+_traced}
        QV7_LIBCURL_SONAME=libqv7-no-such-curl.so.4 run_panel $name $traced
        [ "$(grep -cF "$missing" "$dir/$name.err")" = 1 ] || fail "$name: the terminal was not told once that libcurl is missing: $(head -c 600 "$dir/$name.err")"
        [ "${status[$name]}" = "${status[quiet]}" ] || fail "$name: the panel ended with ${status[$name]}, an offline one with ${status[quiet]}"
    done
    grep -qF "$missing" "$dir/missing.out" && fail "without --trace, the missing libcurl was traced on standard output"
    grep -A1 -F "$missing" "$dir/missing_traced.out" | grep -q "^dwError = 2" || fail "--trace did not show the missing libcurl and its failure (dwError = 2): $(head -c 600 "$dir/missing_traced.out")"
    ;;
esac

[ $failures -eq 0 ] && echo "offline checks: quiet without --trace, shown with it; a missing libcurl said, no crash"
exit $failures
