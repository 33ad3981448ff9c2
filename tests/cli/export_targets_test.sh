#!/bin/bash
# qv7ctl preset export FILE for every kind of thing FILE can name: a regular file is replaced atomically,
# what is not one is written in place (a FIFO, a character device, the command's own standard output by
# any of its names) or refused (a directory, a block device, a socket, a link to nothing), and never
# replaced by a plain file. Device nodes are made in the scratch folder (as root), so no real one is at risk.
# usage: export_targets_test.sh QV7CTL
set -u
ctl=$1
dir=$(mktemp -d)
rpid=
trap 'kill $rpid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
export QV7_CONFIG_DIR=$dir/config
mkdir "$QV7_CONFIG_DIR"

is_doc() { python3 -c 'import json,sys; d=json.load(open(sys.argv[1])); assert d["format"]=="qv7-presets" and d["presets"][0]["name"]=="唱歌03"' "$1" 2>/dev/null; }
kind() { stat -c %F "$1" 2>/dev/null || echo missing; }
# A node like /dev/null (c 1 3), /dev/full (c 1 7) or a loop disk (b 7 0) of our own; where nodes cannot be
# made, that row is skipped.
node() { mknod "$dir/$1" "$2" "$3" "$4" 2>/dev/null; }

# run NAME TARGET EXIT: the export to TARGET, with standard output and error kept apart.
run() {
  "$ctl" preset export 唱歌03 "$2" >"$dir/$1.out" 2>"$dir/$1.err" </dev/null
  rc=$?
  [ "$rc" = "$3" ] || { fail "$1: exit $rc, expected $3"; cat "$dir/$1.err"; }
}

# name | set-up | target | exit | then (a shell test of what must hold)
while IFS='|' read -r name setup target code check; do
  name=$(echo $name) code=$(echo $code)
  [ -z "$name" ] && continue
  eval "$setup" || { echo "skip $name: cannot set up"; continue; }
  run "$name" "$(eval echo "$target")" "$code"
  eval "$check" || { fail "$name: '$check' does not hold"; ls -l "$dir" | sed 's/^/    /'; cat "$dir/$name.err"; }
done <<'TABLE'
new file       | :                                                  | $dir/new.json | 0 | is_doc "$dir/new.json" && grep -q "exported 1 presets" "$dir/new file.out"
regular file   | echo old >"$dir/old.json"; chmod 640 "$dir/old.json" | $dir/old.json | 0 | is_doc "$dir/old.json" && [ "$(stat -c %a "$dir/old.json")" = 640 ]
link to file   | echo old >"$dir/real.json"; ln -s real.json "$dir/link.json" | $dir/link.json | 0 | [ -L "$dir/link.json" ] && is_doc "$dir/real.json"
link to nothing| ln -s gone.json "$dir/dangling.json"                | $dir/dangling.json | 1 | [ -L "$dir/dangling.json" ] && [ ! -e "$dir/gone.json" ] && grep -q "symbolic link to nothing" "$dir/link to nothing.err"
FIFO           | mkfifo "$dir/fifo"; timeout 30 cat "$dir/fifo" >"$dir/fifo.got" & rpid=$! | $dir/fifo | 0 | wait $rpid; [ -p "$dir/fifo" ] && is_doc "$dir/fifo.got"
null device    | node null c 1 3                                    | $dir/null | 0 | [ -c "$dir/null" ]
full device    | node full c 1 7                                    | $dir/full | 1 | [ -c "$dir/full" ] && grep -q "No space left" "$dir/full device.err"
block device   | node disk b 7 0                                    | $dir/disk | 1 | [ -b "$dir/disk" ] && grep -q "a block device" "$dir/block device.err"
directory      | mkdir "$dir/folder"                                | $dir/folder | 1 | [ -d "$dir/folder" ] && grep -q "a directory" "$dir/directory.err"
socket         | python3 -c 'import socket,sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$dir/sock" | $dir/sock | 1 | [ -S "$dir/sock" ] && grep -q "a socket" "$dir/socket.err"
dev stdout     | :                                                  | /dev/stdout | 0 | is_doc "$dir/dev stdout.out"
link to fd 1   | ln -s /proc/self/fd/1 "$dir/out-link"              | $dir/out-link | 0 | [ -L "$dir/out-link" ] && is_doc "$dir/link to fd 1.out"
link to stdout | ln -s /dev/stdout "$dir/out-link2"                  | $dir/out-link2 | 0 | [ -L "$dir/out-link2" ] && is_doc "$dir/link to stdout.out"
TABLE

# Standard output through a pipe, by its /dev name: the document arrives whole, with nothing after it.
"$ctl" preset export 唱歌03 /dev/stdout 2>"$dir/pipe.err" | cat >"$dir/pipe.got"
is_doc "$dir/pipe.got" || { fail "/dev/stdout into a pipe: no document"; cat "$dir/pipe.got" "$dir/pipe.err"; }
# Appended where the shell opened it: what was in the file stays.
echo first >"$dir/log"
"$ctl" preset export 唱歌03 /dev/stdout >>"$dir/log" 2>/dev/null || fail "/dev/stdout appended: exit $?"
[ "$(head -1 "$dir/log")" = first ] || fail "/dev/stdout appended: the file's first line went"

[ "$failures" = 0 ] && echo "export targets: all passed"
exit $((failures > 0))
