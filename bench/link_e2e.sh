#!/bin/sh
# The link end to end against the stop-and-wait floor: start-up, one setting and a 98,304-byte firmware
# write over a local socket with 0, 1 and 2 ms of emulated per-report latency, each beside a bare
# ping-pong of as many round trips (bench/link_e2e.cpp). A busy machine moves the times, less the ratios.
# usage: bench/link_e2e.sh [build/bin/link_e2e] [repetitions] [more link_e2e options]
set -eu
program=${1:-build/bin/link_e2e}
reps=${2:-5}
[ $# -gt 0 ] && shift
[ $# -gt 0 ] && shift
echo "load average: $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) CPUs"
exec "$program" --reps "$reps" "$@"
