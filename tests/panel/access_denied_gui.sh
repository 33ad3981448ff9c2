#!/bin/bash
# Runs a test program as a user without root's power to open any file: as nobody when started as root,
# with a home and configuration folder of its own that nobody may write.
# usage: access_denied_gui.sh PROGRAM [ARGS...]
set -u
if [ "$(id -u)" != 0 ]; then exec "$@"; fi
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
chown nobody "$dir"
HOME=$dir QV7_CONFIG_DIR=$dir/config XDG_CONFIG_HOME=$dir/config XDG_RUNTIME_DIR= TMPDIR=$dir \
    setpriv --reuid=nobody --regid=nogroup --clear-groups -- "$@"
