#!/bin/sh
# Boots the test VM and runs one command in it; prints the guest's console and exits with the command's status.
# usage: run-vm.sh CACHE_DIR WORK_DIR COMMAND [ARGS...]
#   The host's / is the guest's root, read-only; WORK_DIR is shared read-write at the same path and is the
#   command's working directory. 124: no exit marker came back (the VM crashed, hung or timed out).
set -u
CACHE=$1
WORK=$(cd "$2" && pwd)
shift 2
MEM=${QV7_VM_MEM:-256}          # 64 MB hangs the guest
TIMEOUT=${QV7_VM_TIMEOUT:-240}
if [ -z "${QV7_VM_ACCEL:-}" ]; then
    # A paravirtual /dev/kvm (kvm_pvm) cannot boot a stock kernel: software emulation there.
    if [ -w /dev/kvm ] && [ ! -d /sys/module/kvm_pvm ]; then QV7_VM_ACCEL=kvm; else QV7_VM_ACCEL=tcg; fi
fi
case $QV7_VM_ACCEL in
kvm) ACCEL="-accel kvm -cpu host" ;;
*) ACCEL="-accel tcg,thread=multi -cpu max" ;;
esac
BIOS=""
[ -f /usr/share/qemu/qboot.rom ] && BIOS="-bios /usr/share/qemu/qboot.rom"   # quiet and fast
LOG=$WORK/console.log
# shellcheck disable=SC2086
timeout -k 5 "$TIMEOUT" qemu-system-x86_64 $ACCEL -smp 2 -m "$MEM" \
    -nodefaults -no-user-config -nographic -serial stdio -no-reboot $BIOS \
    -kernel "$CACHE/vmlinux" -initrd "$CACHE/initramfs.cpio" \
    -append "console=ttyS0 panic=-1 quiet loglevel=3 vmwork=$WORK -- $*" \
    -virtfs local,path=/,mount_tag=hostroot,security_model=none,readonly=on,multidevs=remap \
    -virtfs local,path="$WORK",mount_tag=work,security_model=none,multidevs=remap \
    </dev/null >"$LOG" 2>&1
cat "$LOG"
rc=$(sed -n 's/.*VMTEST_EXIT=\([0-9]*\).*/\1/p' "$LOG" | tail -n1)
[ -n "$rc" ] || { echo "run-vm: no VMTEST_EXIT marker (the VM crashed, hung or timed out after ${TIMEOUT}s)" >&2; exit 124; }
exit "$rc"
