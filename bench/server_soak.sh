#!/usr/bin/env bash
# The sound server's own share of the underruns: PulseAudio's client pacat
# plays silence into the private null sink for SECONDS with the buffer the
# program's ALSA service asks for (100 ms target length, 50 ms requests)
# while stress-ng loads the machine as bench/soak.sh does, and the underruns
# the server reported to it are counted. What pacat gets under a load, the
# program cannot be expected to avoid with the same buffer.
#
# Usage: bench/server_soak.sh SECONDS [LOAD]   (LOAD: as for bench/soak.sh)
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -n "${TQ_PULSE_MONITOR:-}" ] || exec bash "$root/scripts/pulse-env.sh" bash "$0" "$@"
source "$root/tests/integration/lib.sh"

seconds="${1:?usage: bench/server_soak.sh SECONDS [LOAD]}"
load="${2---cpu 2}"
scratch="$(mktemp -d /tmp/tq-server-soak.XXXXXX)"
trap 'tq_stop_pid "${TQ_LOAD_PID:-}"; rm -rf "$scratch"' EXIT
tq_start_load "$load" "$seconds" "$scratch"
echo "server soak: $seconds s of pacat under stress-ng $load"
# pacat -v tells each underrun on a line of its own among its status lines.
timeout "$seconds" pacat -v --latency-msec=100 --process-time-msec=50 --format=s16le \
  --rate=44100 --channels=2 --raw /dev/zero 2>&1 | tr '\r' '\n' >"$scratch/pacat.log"
echo "underruns: $(grep -c 'Stream underrun' "$scratch/pacat.log")"
