#!/bin/sh
# In the guest: the hidraw transport and hot-plug monitor against the uhid simulator, twice over.
# usage: guest-smoke.sh SMOKE_BINARY [DEVICE-COMMAND...]   (default device: SMOKE_BINARY device)
set -u
SMOKE=$1
shift
[ -c /dev/uhid ] || { echo "guest: no /dev/uhid"; exit 1; }
if [ $# -eq 0 ]; then set -- "$SMOKE" device; fi
"$SMOKE" host "$@"
