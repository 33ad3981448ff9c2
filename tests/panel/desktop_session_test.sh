#!/bin/bash
# What a desktop session does to a program: a log pipe whose reader went away, standard streams closed at
# start, --help and --version asked where there is no display.
# usage: desktop_session_test.sh QV7_PANEL QV7CTL QV7_SIM VERSION
panel=$1 ctl=$2 sim=$3 version=$4
dir=$(mktemp -d)
pids=
trap 'kill $pids 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$dir/run
mkdir -m 700 "$XDG_RUNTIME_DIR"

# A PNG that ends with its IEND chunk and holds nothing before its signature.
png_intact() {
    [ "$(head -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] &&
        [ "$(tail -c 8 "$1" | od -An -tx1 | tr -d ' \n')" = 49454e44ae426082 ]
}

# A reader that takes one byte and leaves: every later trace line meets a closed pipe.
for streams in stdout stdout+stderr; do
    shot=$dir/pipe-$streams.png
    if [ $streams = stdout ]; then
        "$panel" --simulate --screenshot="$shot" 2>"$dir/err" | head -c1 >/dev/null
    else
        "$panel" --simulate --screenshot="$shot" 2>&1 | head -c1 >/dev/null
    fi
    status=${PIPESTATUS[0]}
    [ "$status" = 0 ] || fail "$streams to a closed pipe: the panel ended with $status"
    png_intact "$shot" || fail "$streams to a closed pipe: the panel did not go on to its screenshot"
done

# Started with 0, 1 and 2 closed: whatever the panel opens first must not become its standard output.
shot=$dir/closed.png
"$panel" --simulate --screenshot="$shot" <&- >&- 2>&-
status=$?
[ "$status" = 0 ] || fail "closed standard streams: screenshot run ended with $status"
png_intact "$shot" || fail "closed standard streams: the screenshot is damaged"

"$panel" --simulate <&- >&- 2>&- &
pid=$!
pids=$pid
# Once a later start has been answered, the running copy is past its window and device set-up.
for _ in $(seq 600); do
    [ -S "$XDG_RUNTIME_DIR/$(basename "$panel")" ] && break
    sleep 0.1
done
"$panel" --simulate >/dev/null 2>&1 || fail "closed standard streams: a second start was not answered"
for fd in 0 1 2; do
    target=$(readlink "/proc/$pid/fd/$fd")
    [ "$target" = /dev/null ] || fail "closed standard streams: descriptor $fd is '$target', not /dev/null"
done
kill $pid 2>/dev/null
wait $pid 2>/dev/null
pids=

# --help and --version: printed on standard output and exit 0, with no display and no platform chosen.
while read -r program option expect; do
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "${!program}" "$option" 2>"$dir/err")
    status=$?
    [ "$status" = 0 ] || fail "$program $option ended with $status: $(head -c 300 "$dir/err")"
    case $expect in
        version) [ "$out" = "$(basename "${!program}") $version" ] || fail "$program $option printed '$out'" ;;
        usage) [[ $out == usage:* ]] || fail "$program $option printed '${out:0:200}'" ;;
    esac
done <<'EOF'
panel --help usage
panel -h usage
panel --version version
ctl --help usage
ctl --version version
sim --help usage
sim --version version
EOF

# Every spelling the panel accepted before still reaches the window; anything else is refused before it.
while read -r expect args; do
    # shellcheck disable=SC2086
    "$panel" $args --screenshot="$dir/spelling.png" >/dev/null 2>"$dir/err"
    status=$?
    [ "$status" = "$expect" ] || fail "qv7-panel $args ended with $status, not $expect: $(head -c 300 "$dir/err")"
done <<'EOF'
0 --simulate
0 --simulate=1.0.2
0 --device sim
0 --device=sim:1.0.0
2 --simulate --no-such-option
2 --device
2 --device nowhere
EOF

[ $failures = 0 ] && echo "all desktop session checks passed"
exit $((failures > 0))
