#!/bin/sh
# Builds the .deb from an existing build (cpack, no compiling), unpacks it and checks the files a user gets, that
# the unpacked qv7ctl runs, and that lintian finds no error. As root it also installs the package with dpkg, runs
# every installed program and purges it again, checking that nothing of it stays behind.
# Usage: package_test.sh BUILD_DIR SCRATCH_DIR PROJECT_VERSION
set -u
build=$1 work=$2 upstream=$3
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }

rm -rf "$work"
mkdir -p "$work/out" "$work/root"

expected="usr/bin/qv7-panel
usr/bin/qv7ctl
usr/bin/qv7-sim
usr/lib/udev/rules.d/70-qv7.rules
usr/share/applications/io.github.qv7panel.Qv7Panel.desktop
usr/share/metainfo/io.github.qv7panel.Qv7Panel.metainfo.xml
usr/share/icons/hicolor/scalable/apps/qv7-panel.svg
usr/share/icons/hicolor/16x16/apps/qv7-panel.png
usr/share/icons/hicolor/32x32/apps/qv7-panel.png
usr/share/icons/hicolor/48x48/apps/qv7-panel.png
usr/share/icons/hicolor/64x64/apps/qv7-panel.png
usr/share/icons/hicolor/128x128/apps/qv7-panel.png
usr/share/icons/hicolor/256x256/apps/qv7-panel.png
usr/share/man/man1/qv7-panel.1.gz
usr/share/man/man1/qv7ctl.1.gz
usr/share/man/man1/qv7-sim.1.gz
usr/share/bash-completion/completions/qv7ctl
usr/share/doc/qv7-panel/copyright
usr/share/doc/qv7-panel/changelog.Debian.gz"

# cpack's staging folder goes under -B, so a package built by hand in the build folder is left alone.
(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out") >"$work/cpack.log" 2>&1 || {
  cat "$work/cpack.log"
  echo "FAIL: cpack"
  exit 1
}
set -- "$work"/out/*.deb
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "FAIL: expected one .deb in $work/out, found: $*"
  exit 1
fi
deb=$1
echo "package: $(basename "$deb")"

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = qv7-panel ] || fail "Package is '$(field Package)'"
# The project's version and Debian's packaging revision.
field Version | grep -qx "$upstream-[0-9][0-9]*" || fail "Version is '$(field Version)', not $upstream-<revision>"
[ "$(field Section)" = sound ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
echo "Depends: $depends"
# dpkg-shlibdeps found the libraries the programs link; libcurl4 also for the panel, which opens it at run time.
for lib in libc6 libqt6widgets6 libstdc++6 libcurl4; do
  echo "$depends" | grep -q "\\b$lib\\b" || fail "Depends lacks $lib"
done
for script in postinst postrm; do
  dpkg-deb -I "$deb" "$script" | grep -q 'udevadm trigger --subsystem-match=hidraw --action=change' ||
    fail "$script does not re-trigger the hidraw devices"
done

dpkg-deb -x "$deb" "$work/root" || { echo "FAIL: dpkg-deb -x"; exit 1; }
(cd "$work/root" && find . ! -type d | sed 's#^\./##' | sort) >"$work/files"
echo "$expected" | sort >"$work/expected"
missing=$(comm -23 "$work/expected" "$work/files")
extra=$(comm -13 "$work/expected" "$work/files")
[ -z "$missing" ] || fail "missing from the package: $(echo "$missing" | tr '\n' ' ')"
[ -z "$extra" ] || fail "not expected in the package: $(echo "$extra" | tr '\n' ' ')"

# Each PNG is drawn at the size of the folder it sits in (width and height are bytes 16-23 of a PNG).
for size in 16 32 48 64 128 256; do
  png=$work/root/usr/share/icons/hicolor/${size}x${size}/apps/qv7-panel.png
  [ -f "$png" ] || continue
  dims=$(od -An -tu1 -j16 -N8 "$png" | awk '{ print $3 * 256 + $4, $7 * 256 + $8 }')
  [ "$dims" = "$size $size" ] || fail "${size}x${size} icon is $dims"
done

desktop=$work/root/usr/share/applications/io.github.qv7panel.Qv7Panel.desktop
metainfo=$work/root/usr/share/metainfo/io.github.qv7panel.Qv7Panel.metainfo.xml
desktop-file-validate "$desktop" || fail "desktop entry does not validate"
if command -v appstreamcli >/dev/null 2>&1; then
  appstreamcli validate --no-net "$metainfo" >"$work/appstream.log" 2>&1 || {
    cat "$work/appstream.log"
    fail "metainfo does not validate"
  }
else
  echo "appstreamcli not installed (package appstream): metainfo not validated"
fi
# The newest release the metainfo names is the version being packaged.
grep -m1 '<release ' "$metainfo" | grep -q "version=\"$upstream\"" || fail "metainfo's newest release is not $upstream"
grep -q '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' \
  "$work/root/usr/share/doc/qv7-panel/copyright" || fail "copyright is not in the machine-readable format"

out=$("$work/root/usr/bin/qv7ctl" --version 2>&1) || fail "unpacked qv7ctl --version: $out"
echo "$out" | grep -qF "$upstream" || fail "unpacked qv7ctl --version says '$out'"

if command -v lintian >/dev/null 2>&1; then
  lintian --fail-on error --tag-display-limit 0 "$deb" >"$work/lintian.log" 2>&1 || fail "lintian reports errors"
  cat "$work/lintian.log"
else
  echo "lintian not installed: package not checked by it"
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "not root: dpkg install and purge not tried"
elif dpkg-query -W -f='${db:Status-Status}' qv7-panel 2>/dev/null | grep -qvx 'not-installed'; then
  echo "qv7-panel is already known to dpkg on this machine: install and purge not tried, to leave it as it is"
else
  # Whatever fails below, the machine is left without the package.
  trap 'dpkg --purge qv7-panel >/dev/null 2>&1' EXIT
  trap 'exit 1' INT TERM HUP
  if dpkg -i "$deb" >"$work/dpkg-install.log" 2>&1; then
    for program in qv7-panel qv7ctl qv7-sim; do
      out=$(QT_QPA_PLATFORM=offscreen "/usr/bin/$program" --version 2>&1) || fail "installed $program --version: $out"
      echo "$out" | grep -qF "$upstream" || fail "installed $program --version says '$out'"
    done
  else
    cat "$work/dpkg-install.log"
    fail "dpkg -i"
  fi
  dpkg --purge qv7-panel >"$work/dpkg-purge.log" 2>&1 || { cat "$work/dpkg-purge.log"; fail "dpkg --purge"; }
  trap - EXIT
  for f in $expected; do
    [ ! -e "/$f" ] || fail "/$f is still there after the purge"
  done
  [ ! -e /usr/share/doc/qv7-panel ] || fail "/usr/share/doc/qv7-panel is still there after the purge"
  status=$(dpkg-query -W -f='${db:Status-Status}' qv7-panel 2>/dev/null)
  [ -z "$status" ] || [ "$status" = not-installed ] || fail "dpkg still knows qv7-panel ($status)"
fi

[ "$fails" -eq 0 ] && echo "package ok"
exit $((fails > 0))
