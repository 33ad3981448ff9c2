#!/bin/sh
# The manual pages and qv7ctl's bash completion land where man and bash-completion look, and the gzipped pages
# carry no name or time stamp (two builds of one source install the same bytes).
# usage: man_install_test.sh BUILD_DIR SOURCE_DIR
set -u
build=$1 src=$2
dest=$(mktemp -d)
trap 'rm -rf "$dest"' EXIT
DESTDIR=$dest cmake --install "$build" --prefix /usr >/dev/null || { echo "FAIL: cmake --install"; exit 1; }
fails=0
fail() { echo "FAIL: $*"; fails=$((fails + 1)); }
for program in qv7-panel qv7ctl qv7-sim; do
  page=$dest/usr/share/man/man1/$program.1.gz
  [ -f "$page" ] || { fail "usr/share/man/man1/$program.1.gz not installed"; continue; }
  gzip -dc "$page" | cmp -s - "$build/man/$program.1" || fail "$program.1.gz is not the built page"
  # gzip's header: byte 3 holds the flags (8: a file name follows), bytes 4 to 7 the time stamp.
  header=$(od -An -tx1 -j3 -N5 "$page" | tr -d ' \n')
  [ "$header" = 0000000000 ] || fail "$program.1.gz carries a name or time stamp (header bytes 3-7: $header)"
  MANWIDTH=80 man -l "$page" 2>&1 | grep -q "^NAME" || fail "man -l cannot show $program.1.gz"
done
completion=$dest/usr/share/bash-completion/completions/qv7ctl
[ -f "$completion" ] || fail "usr/share/bash-completion/completions/qv7ctl not installed"
[ -f "$completion" ] && { cmp -s "$completion" "$src/cli/qv7ctl.bash-completion" || fail "the installed completion differs"; }
[ "$fails" -eq 0 ] && echo "man pages and completion installed"
exit $((fails > 0))
