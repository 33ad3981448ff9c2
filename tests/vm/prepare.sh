#!/bin/sh
# Fetches and unpacks a Debian kernel into a cache (never installed) and builds the guest's initramfs.
# usage: prepare.sh CACHE_DIR    Exit 0 when ready, 77 with a reason on stderr when it cannot be had.
set -eu
CACHE=$1
HERE=$(cd "$(dirname "$0")" && pwd)
skip() { echo "vm prepare: $*" >&2; exit 77; }

command -v busybox >/dev/null || skip "busybox not found (package busybox-static)"
busybox --list 2>/dev/null | grep -qx depmod || skip "busybox has no depmod applet (need busybox-static)"
command -v xz >/dev/null || skip "xz not found (package xz-utils)"
command -v dpkg-deb >/dev/null || skip "dpkg-deb not found: the kernel comes from a Debian package"

mkdir -p "$CACHE"
if [ -f "$CACHE/kernel-ready" ] && [ "$CACHE/initramfs.cpio" -nt "$HERE/init" ] &&
    [ "$CACHE/initramfs.cpio" -nt "$HERE/prepare.sh" ]; then
    exit 0
fi
fetch_kernel() {
    # The generic flavour: the cloud one lacks 9p.
    KV=${QV7_VM_KERNEL:-$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: linux-image-\(.*-amd64\)$/\1/p' | head -1)}
    if [ -z "$KV" ] && [ "$(id -u)" -eq 0 ]; then
        apt-get update -qq >/dev/null 2>&1 || true
        KV=$(apt-cache depends linux-image-amd64 2>/dev/null | sed -n 's/.*Depends: linux-image-\(.*-amd64\)$/\1/p' | head -1)
    fi
    [ -n "$KV" ] || skip "apt knows no linux-image-amd64 (run apt-get update)"

    mkdir -p "$CACHE/debs"
    if ! ls "$CACHE/debs/linux-image-${KV}_"*.deb >/dev/null 2>&1; then
        (cd "$CACHE/debs" && apt-get download -q "linux-image-$KV" >/dev/null 2>&1) ||
            skip "apt-get download linux-image-$KV failed (no package lists or no network)"
    fi
    rm -rf "$CACHE/kernel"
    mkdir -p "$CACHE/kernel"
    dpkg-deb -x "$CACHE/debs/linux-image-${KV}_"*.deb "$CACHE/kernel" || skip "cannot unpack linux-image-$KV"
    busybox depmod -b "$CACHE/kernel" "$KV"

    # An uncompressed ELF vmlinux boots through PVH and skips the xz decompressor, which is slow under TCG.
    K=$CACHE/kernel/boot/vmlinuz-$KV
    off=$(LC_ALL=C grep -obUaP '\xfd7zXZ\x00' "$K" | head -1 | cut -d: -f1)
    [ -n "$off" ] || skip "no xz stream in $K"
    tail -c +$((off + 1)) "$K" | xz -dc --single-stream >"$CACHE/vmlinux" 2>/dev/null || [ -s "$CACHE/vmlinux" ] ||
        skip "cannot extract vmlinux from $K"
    echo "$KV" >"$CACHE/kernel-ready"
}

if [ -f "$CACHE/kernel-ready" ]; then KV=$(cat "$CACHE/kernel-ready"); else fetch_kernel; fi

# Modules in load order, from modules.dep (without udevd nothing loads hid-generic, and without it no hidraw).
MD=$CACHE/kernel/lib/modules/$KV
st=$(mktemp -d)
trap 'rm -rf "$st"' EXIT
mkdir -p "$st/bin" "$st/dev" "$st/proc" "$st/sys" "$st/lib/modules"
cp "$(command -v busybox)" "$st/bin/busybox"
cp "$HERE/init" "$st/init"
chmod 755 "$st/init"
: >"$st/modules.order"
for w in virtio_pci 9pnet_virtio 9p uhid hid-generic; do
    line=$(grep -E "/$w\.ko(\.xz)?:" "$MD/modules.dep") || skip "kernel $KV has no module $w"
    # "mod: dep1 dep2 ...": each depends on those after it, so load from the end.
    for f in $(echo "$line" | tr -d ':' | awk '{for(i=NF;i>1;i--) print $i; print $1}'); do
        n=$(basename "$f" | sed 's/\.ko\(\.xz\)\{0,1\}$//')
        grep -qx "$n" "$st/modules.order" && continue
        case $f in
        *.xz) xz -dc "$MD/$f" >"$st/lib/modules/$n.ko" ;;
        *) cp "$MD/$f" "$st/lib/modules/$n.ko" ;;
        esac
        echo "$n" >>"$st/modules.order"
    done
done
(cd "$st" && find . | busybox cpio -o -H newc -R 0:0) >"$CACHE/initramfs.cpio" 2>/dev/null
echo "vm prepare: kernel $KV, modules: $(tr '\n' ' ' <"$st/modules.order")" >&2
