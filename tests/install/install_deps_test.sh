#!/bin/bash
# scripts/install-deps asked through apt's real solver (apt-get -s) about a dpkg database in which udev and
# libudev-dev are missing and one package was left half-configured: systemd's packages come at the installed
# version (no "held broken packages", no upgrade of libudev1 or systemd), and the half-configured package is
# finished, not taken for missing. Needs apt's package lists (install-deps has run once); skipped without them.
# usage: install_deps_test.sh SOURCE_DIR
set -u
src=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

installed=$(dpkg-query -W -f='${Version}' libudev1 2>/dev/null) || { echo "SKIP: no libudev1"; exit 77; }
if ! apt-cache show "libudev-dev=$installed" >/dev/null 2>&1; then
    echo "SKIP: the installed systemd $installed is not in apt's lists (none fetched, or superseded)"
    exit 77
fi

# The machine's dpkg database without udev and libudev-dev, and with cmake half-configured.
python3 - /var/lib/dpkg/status "$dir/status" <<'PY'
import sys
stanzas = open(sys.argv[1], encoding="utf-8").read().split("\n\n")
out = []
for s in stanzas:
    name = next((l[9:] for l in s.splitlines() if l.startswith("Package: ")), None)
    if name in ("udev", "libudev-dev"):
        continue
    if name == "cmake":
        s = "\n".join("Status: install ok half-configured" if l.startswith("Status: ") else l for l in s.splitlines())
    out.append(s)
open(sys.argv[2], "w", encoding="utf-8").write("\n\n".join(out))
PY
for f in available diversions statoverride; do : >"$dir/$f"; done
mkdir -p "$dir/info" "$dir/updates"

QV7_DPKG_ADMINDIR=$dir QV7_APT_SIMULATE=1 "$src/scripts/install-deps" >"$dir/out" 2>&1
rc=$?
[ $rc -eq 0 ] || fail "install-deps exited $rc: $(tail -5 "$dir/out")"
grep -q "^Inst udev ($installed " "$dir/out" || fail "udev is not installed at $installed: $(grep -E 'udev|^E:' "$dir/out" | head -5)"
grep -q "^Inst libudev-dev ($installed " "$dir/out" || fail "libudev-dev is not installed at $installed"
grep -qE "^Inst (libudev1|systemd|libsystemd0) " "$dir/out" && fail "systemd would be upgraded: $(grep -E '^Inst (libudev1|systemd|libsystemd0) ' "$dir/out")"
grep -q "^Finishing the installation of: cmake" "$dir/out" || fail "the half-configured cmake was not finished"
grep "^Installing:" "$dir/out" | grep -qw cmake && fail "the half-configured cmake was taken for missing"

[ $failures -eq 0 ] && echo "install-deps: udev and libudev-dev at $installed through apt's solver; cmake finished"
exit $failures
