#!/bin/bash
# qv7ctl's standard output on a full disk (/dev/full): every command whose output is lost says so on
# standard error and exits non-zero; one that prints nothing is not troubled by it. Real processes, with
# qv7-sim on a local socket for the device commands.
# usage: stdout_full_test.sh QV7CTL QV7_SIM
set -u
ctl=$1 sim=$2
. "$(dirname "$0")/test_lib.sh"
export QV7_CONFIG_DIR=$dir/config
mkdir "$QV7_CONFIG_DIR"
"$sim" --listen "$dir/tolka.sock" 2>"$dir/sim.log" & spid=$!
i=0; while [ ! -S "$dir/tolka.sock" ] && [ $i -lt 200 ]; do sleep 0.05; i=$((i + 1)); done
[ -S "$dir/tolka.sock" ] || { echo "FAIL: the simulator did not start"; exit 1; }
dev="--device unix:$dir/tolka.sock --timeout 10"

# exit code to /dev/null | exit code to /dev/full | arguments
while IFS='|' read -r fine full args; do
  fine=$(echo $fine) full=$(echo $full)
  [ -z "$fine" ] && continue
  eval "set -- $args"
  "$ctl" "$@" >/dev/null 2>"$dir/err" </dev/null
  rc=$?
  [ "$rc" = "$fine" ] || { fail "$args to /dev/null: exit $rc, expected $fine"; cat "$dir/err"; }
  "$ctl" "$@" >/dev/full 2>"$dir/err" </dev/null
  rc=$?
  [ "$rc" = "$full" ] || { fail "$args to /dev/full: exit $rc, expected $full"; cat "$dir/err"; }
  if [ "$full" != "$fine" ]; then
    grep -qE "cannot write (to standard output|/dev/stdout)" "$dir/err" ||
      { fail "$args to /dev/full: not said on standard error"; cat "$dir/err"; }
  else
    grep -q "cannot write" "$dir/err" && { fail "$args prints nothing on standard output, yet complained"; cat "$dir/err"; }
  fi
done <<TABLE
0 | 1 | --version
0 | 1 | --help
0 | 1 | preset list --help
0 | 1 | --print-udev-rules
0 | 1 | preset list
0 | 1 | --json preset list
0 | 1 | preset show 0
0 | 1 | preset export 唱歌03 -
0 | 1 | preset export 唱歌03 /dev/stdout
0 | 1 | $dev info
0 | 1 | $dev --json info
0 | 1 | $dev get
0 | 0 | $dev set micVol=4
0 | 0 | $dev key 1
2 | 2 | no-such-command
TABLE

[ "$failures" = 0 ] && echo "standard output checked"
exit $((failures > 0))
