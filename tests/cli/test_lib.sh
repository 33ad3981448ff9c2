# Sourced by the qv7ctl test scripts: a scratch folder that goes at exit together with the service
# ($hpid) and device ($spid) a script started, and a failure counter the script exits with.
here=$(cd "$(dirname "$0")" && pwd)
dir=$(mktemp -d)
spid= hpid=
trap 'kill $spid $hpid 2>/dev/null; wait 2>/dev/null; rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
