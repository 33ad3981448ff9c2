#!/bin/sh
# qv7ctl over a para.bin it cannot load whole, and on a full disk: it says so and never loses a preset.
# usage: preset_file_test.sh QV7CTL damaged|full-disk
# full-disk mounts a 64 KiB tmpfs and exits 77 (skipped) where mounting is not permitted.
set -u
ctl=$1 mode=$2
dir=$(mktemp -d)
mnt=
cleanup() { [ -n "$mnt" ] && umount "$mnt" 2>/dev/null; rm -rf "$dir"; }
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
run() {  # run CODE DESCRIPTION COMMAND...: stdout in $dir/out, stderr in $dir/err
  want=$1 what=$2; shift 2
  "$@" >"$dir/out" 2>"$dir/err"; rc=$?
  [ "$rc" = "$want" ] || { fail "$what: exit $rc, expected $want"; cat "$dir/out" "$dir/err"; }
}
says() {  # says FILE TEXT DESCRIPTION
  grep -qF -- "$2" "$1" || { fail "$3: '$2' not in $(basename "$1"):"; cat "$1"; }
}
ctl() { "$ctl" --device sim --timeout 10 "$@"; }
# records FILE NAME...: valid 100-byte user-preset records; a name "bad:NAME" gets a wrong checksum
records() {
  python3 - "$@" <<'EOF'
import sys
out = bytearray()
for name in sys.argv[2:]:
    bad = name.startswith("bad:")
    name = name[4:] if bad else name
    r = bytearray(100)
    r[0], r[1] = 0x1E, 0x0A
    r[2:32] = bytes([14, 14, 14, 14, 1, 0, 0, 10, 10, 3, 12, 0, 2, 0, 9, 0, 10, 1, 18, 23, 24, 25, 30, 31, 31, 4, 4, 7, 2, 15])
    r[32:32 + len(name)] = name.encode()
    r[99] = (sum(r[:99]) + (1 if bad else 0)) & 0xFF
    out += r
open(sys.argv[1], "wb").write(out)
EOF
}
kept() { ls "$QV7_CONFIG_DIR" | grep '^para\.bin\.damaged-[0-9]\{8\}-[0-9]\{6\}$'; }

export QV7_CONFIG_DIR="$dir/config"

if [ "$mode" = damaged ]; then
  # Each damaged file: what the list shows, what stderr says, and the file kept by the first save.
  for case in stray checksum over-limit; do
    rm -rf "$QV7_CONFIG_DIR"; mkdir -p "$QV7_CONFIG_DIR"
    para=$QV7_CONFIG_DIR/para.bin
    case $case in
      stray) records "$para" one two; printf 'x' >>"$para"; lines=62; reason="file size 201 is not a multiple of 100" ;;
      checksum) records "$para" one bad:two three; lines=64; reason="skipped record 2 (bad checksum)" ;;
      over-limit) records "$para" $(seq -f 'u%g' 1 139); lines=62; reason="over the 138-record limit" ;;
    esac
    cp "$para" "$dir/original"
    run 0 "$case: preset list" ctl preset list
    [ "$(wc -l <"$dir/out")" -eq "$lines" ] || fail "$case: preset list shows $(wc -l <"$dir/out") presets, expected $lines"
    says "$dir/err" "$para" "$case: list names the file"
    says "$dir/err" "$reason" "$case: list says why"
    cmp -s "$para" "$dir/original" || fail "$case: listing changed the file"
    run 0 "$case: preset save" ctl preset save new
    copy=$(kept)
    [ "$(echo "$copy" | grep -c .)" -eq 1 ] || fail "$case: expected one kept copy, found: $copy"
    cmp -s "$QV7_CONFIG_DIR/$copy" "$dir/original" || fail "$case: the kept copy is not the file as it was"
    says "$dir/err" "$QV7_CONFIG_DIR/$copy" "$case: save says where the file was kept"
    says "$dir/out" "saved as preset" "$case: save reports success"
    run 0 "$case: second save" ctl preset save newer
    [ -s "$dir/err" ] && { fail "$case: the second save still warns"; cat "$dir/err"; }
    [ "$(kept | grep -c .)" -eq 1 ] || fail "$case: the second save kept another copy"
  done

  # A stale temporary file of a killed save goes; a look-alike of someone else's stays.
  rm -rf "$QV7_CONFIG_DIR"; mkdir -p "$QV7_CONFIG_DIR"
  records "$QV7_CONFIG_DIR/para.bin" one
  : >"$QV7_CONFIG_DIR/.para.bin.Ab12Z9"
  : >"$QV7_CONFIG_DIR/.para.bin.notours"
  run 0 "list with a stale temporary file" ctl preset list
  [ -e "$QV7_CONFIG_DIR/.para.bin.Ab12Z9" ] && fail "the stale temporary file is still there"
  [ -e "$QV7_CONFIG_DIR/.para.bin.notours" ] || fail "a file not of the temporary pattern was removed"
  [ -s "$dir/err" ] && { fail "a clean file gave a warning"; cat "$dir/err"; }

  # A file the user cannot read (root's, after a run with sudo) is never replaced.
  if [ "$(id -u)" = 0 ] && command -v setpriv >/dev/null; then
    rm -rf "$QV7_CONFIG_DIR"; mkdir -p "$QV7_CONFIG_DIR"
    records "$QV7_CONFIG_DIR/para.bin" one two
    chmod 600 "$QV7_CONFIG_DIR/para.bin"
    cp "$QV7_CONFIG_DIR/para.bin" "$dir/original"
    chown 65534:65534 "$QV7_CONFIG_DIR" && chmod 755 "$dir"
    asnobody() { setpriv --reuid=65534 --regid=65534 --clear-groups "$ctl" --device sim --timeout 10 "$@"; }
    run 0 "unreadable: preset list" asnobody preset list
    says "$dir/err" "Permission denied" "unreadable: list says why"
    run 1 "unreadable: preset save" asnobody preset save new
    says "$dir/err" "not writing $QV7_CONFIG_DIR/para.bin" "unreadable: save refuses"
    grep -q "saved as" "$dir/out" && fail "unreadable: save reported success"
    cmp -s "$QV7_CONFIG_DIR/para.bin" "$dir/original" || fail "unreadable: the file was replaced"
  else
    echo "unreadable-file case skipped: needs root and setpriv to act as another user"
  fi
fi

if [ "$mode" = full-disk ]; then
  mnt=$dir/full
  mkdir -p "$mnt"
  if ! mount -t tmpfs -o size=64k tmpfs "$mnt" 2>"$dir/mount.err"; then
    mnt=
    echo "SKIPPED: cannot mount a 64 KiB tmpfs for the full disk ($(cat "$dir/mount.err"))"
    exit 77
  fi
  export QV7_CONFIG_DIR="$mnt"
  records "$mnt/para.bin" one two three
  cp "$mnt/para.bin" "$dir/original"
  cat /dev/zero >"$mnt/filler" 2>/dev/null
  run 1 "delete on a full disk" ctl preset delete two
  grep -q deleted "$dir/out" && fail "delete on a full disk reported success"
  says "$dir/err" "$mnt/para.bin" "delete on a full disk names the file"
  cmp -s "$mnt/para.bin" "$dir/original" || fail "delete on a full disk changed the file"
  run 1 "save on a full disk" ctl preset save four
  grep -q "saved as" "$dir/out" && fail "save on a full disk reported success"
  cmp -s "$mnt/para.bin" "$dir/original" || fail "save on a full disk changed the file"
  [ "$(ls -A "$mnt" | grep -c '^\.para\.bin\.')" -eq 0 ] || fail "a temporary file was left on the full disk"
  rm -f "$mnt/filler"
  run 0 "delete with room again" ctl preset delete two
  says "$dir/out" "deleted preset 63" "delete with room again"
fi

[ "$failures" -eq 0 ] && echo "all para.bin checks passed ($mode)"
exit $((failures > 0))
