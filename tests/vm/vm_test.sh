#!/bin/sh
# CTest entry of a VM test: prepares the guest, boots it, runs GUEST_SCRIPT there and requires MARKER in its output.
# usage: vm_test.sh CACHE_DIR WORK_DIR MARKER GUEST_SCRIPT [ARGS...]
# Exit 77 (skipped) with the reason when QEMU or the kernel cannot be had.
set -u
HERE=$(cd "$(dirname "$0")" && pwd)
CACHE=$1 WORK=$2 MARKER=$3
shift 3
skip() { echo "SKIPPED: $*"; exit 77; }

command -v qemu-system-x86_64 >/dev/null || skip "qemu-system-x86_64 not found (install qemu-system-x86)"
"$HERE/prepare.sh" "$CACHE"
rc=$?
[ $rc -eq 77 ] && skip "no guest kernel or initramfs (see the reason above)"
[ $rc -eq 0 ] || { echo "vm test: preparing the guest failed ($rc)"; exit 1; }

rm -rf "$WORK"
mkdir -p "$WORK"
OUT=$WORK/../$(basename "$WORK").out
"$HERE/run-vm.sh" "$CACHE" "$WORK" "$@" >"$OUT" 2>&1
rc=$?
cat "$OUT"
[ $rc -eq 0 ] || { echo "vm test: guest command failed with status $rc"; exit 1; }
# The serial console ends lines with CR LF.
tr -d '\r' <"$OUT" | grep -qx "$MARKER" ||
    { echo "vm test: the guest exited 0 but never printed $MARKER"; exit 1; }
echo "vm test: passed ($MARKER)"
