#!/bin/sh
# Installs into a scratch prefix and checks that a user gets the programs, the udev rule, the menu entry and the icon.
set -u
build=$1 src=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
fails=0
for f in usr/bin/qv7-panel usr/bin/qv7ctl usr/bin/qv7-sim usr/lib/udev/rules.d/70-qv7.rules \
         usr/share/applications/io.github.qv7panel.Qv7Panel.desktop usr/share/icons/hicolor/scalable/apps/qv7-panel.svg; do
  [ -e "$dest/$f" ] || { echo "FAIL: $f not installed"; fails=$((fails + 1)); }
done
desktop-file-validate "$dest/usr/share/applications/io.github.qv7panel.Qv7Panel.desktop" || { echo "FAIL: invalid desktop entry"; fails=$((fails + 1)); }
grep -q '^Exec=qv7-panel$' "$dest/usr/share/applications/io.github.qv7panel.Qv7Panel.desktop" || { echo "FAIL: Exec"; fails=$((fails + 1)); }
[ "$fails" -eq 0 ] && echo "install layout ok"
exit $((fails > 0))
