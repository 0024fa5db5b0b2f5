#!/usr/bin/env bash
# The sound server's own share of the underruns: PulseAudio's client pacat
# plays a 1000 Hz sine into the private null sink for SECONDS with the
# buffer the program's ALSA service asks for (100 ms target length, 50 ms
# requests; LATENCY_MS and PROCESS_MS choose others) while stress-ng loads
# the machine as bench/soak.sh does. Counted: the underruns the server
# reported to pacat, and the gaps heard in the sink's monitor
# (tests/qt/check_recording.py gaps). What pacat gets under a load, the
# program cannot be expected to avoid with the same buffer. Either server:
# pacat speaks to PipeWire through pipewire-pulse.
#
# Usage: bench/server_soak.sh SECONDS [LOAD] [LATENCY_MS PROCESS_MS]
# (LOAD: as for bench/soak.sh). Against the server the environment names,
# or a private one of its own (scripts/pulse-env.sh; TQ_SERVER=pipewire).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -n "${TQ_PULSE_MONITOR:-}" ] || exec bash "$root/scripts/pulse-env.sh" bash "$0" "$@"
source "$root/tests/integration/lib.sh"

seconds="${1:?usage: bench/server_soak.sh SECONDS [LOAD] [LATENCY_MS PROCESS_MS]}"
load="${2---cpu 2}"
latency_ms="${3:-100}"
process_ms="${4:-50}"
scratch="$(mktemp -d /tmp/tq-server-soak.XXXXXX)"
parec_pid=""
trap 'tq_stop_pid "${TQ_LOAD_PID:-}"; tq_stop_pid "$parec_pid"; rm -rf "$scratch"' EXIT

/usr/bin/python3 - "$scratch/tone.raw" "$seconds" <<'PYTHON'
import sys

import numpy as np

times = np.arange(round(float(sys.argv[2]) * 44100))
sine = np.round(16384 * np.sin(2 * np.pi * 1000 * times / 44100)).astype("<i2")
np.stack([sine, sine], axis=1).tofile(sys.argv[1])
PYTHON
parec --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
  >"$scratch/monitor.raw" 2>"$scratch/parec.log" &
parec_pid=$!
tq_wait_until 10 tq_file_at_least "$scratch/monitor.raw" 4096 || tq_fail "parec records nothing"

tq_start_load "$load" "$seconds" "$scratch"
echo "server soak: $seconds s of pacat (${latency_ms} ms, requests of ${process_ms} ms)" \
  "under stress-ng $load on $(pactl info | sed -n 's/^Server Name: //p')"
# pacat -v tells each underrun on a line of its own among its status lines.
pacat -v --latency-msec="$latency_ms" --process-time-msec="$process_ms" --format=s16le \
  --rate=44100 --channels=2 --raw "$scratch/tone.raw" 2>&1 | tr '\r' '\n' >"$scratch/pacat.log"
tq_stop_pid "${TQ_LOAD_PID:-}"
sleep 0.5
tq_stop_pid "$parec_pid"
parec_pid=""
echo "underruns: $(grep -c 'Stream underrun' "$scratch/pacat.log")"
/usr/bin/python3 "$root/tests/qt/check_recording.py" gaps "$scratch/monitor.raw" 1000
