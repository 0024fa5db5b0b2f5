#!/usr/bin/env bash
# Plays the generator through a wave-out service into a private sound
# server's null sink for SECONDS while stress-ng loads the machine, then
# prints how many underruns the service counted and the gaps
# heard: the sink's monitor is recorded all the while and the left
# channel's 1000 Hz sine is searched for gaps and phase steps
# (tests/qt/check_recording.py gaps), which a plugin between the service
# and the server can hide from the service's own count. Beside it the
# server's own client, pacat, with the same buffer as the sound server
# service (two 32768-byte buffers queued, one asked for at a time, the sink
# 1024 frames ahead: pacat has the server adjust the latency, which halves
# what the target leaves over two requests) plays a 1500 Hz tone on the
# right: a gap heard in both tones at once is the
# server's (its graph skipped a cycle for every stream, as PipeWire does on
# a loaded machine), printed but not held against the program. Exits non-zero on
# any underrun, any gap heard, a lost device or a stalled stream.
#
# Usage: bench/soak.sh SECONDS [DRIVER] [LOAD]
# DRIVER: bench/pulse_soak of a build with the benchmarks (the sound server
# service, as the program plays on a desktop; the default,
# build/dev/bench/pulse_soak) or bench/alsa_soak (the ALSA service, through
# ALSA's pulse plugin on the same server). LOAD: stress-ng's
# arguments (default "--cpu 2": both cores busy; "--cpu 2 --io 2 --hdd 1"
# adds disk writes and syncs as a user's busy machine has; "" plays on a
# quiet machine). The test command runs
# it for 60 s as the CTest tests soak_pulse and soak_pipewire with each
# server's fixture up; run by hand, it starts a server of its own
# (scripts/pulse-env.sh; TQ_SERVER=pipewire for PipeWire).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -n "${TQ_ALSA_PULSE_CONF:-}" ] || exec bash "$root/scripts/pulse-env.sh" bash "$0" "$@"
source "$root/tests/integration/lib.sh"

seconds="${1:?usage: bench/soak.sh SECONDS [DRIVER] [LOAD]}"
soak="${2:-$root/build/dev/bench/pulse_soak}"
load="${3---cpu 2}"
[ -x "$soak" ] || tq_fail "no $soak (build the dev preset first)"

scratch="$(mktemp -d /tmp/tq-soak.XXXXXX)"
parec_pid=""
pacat_pid=""
trap 'tq_stop_pid "${TQ_LOAD_PID:-}"; tq_stop_pid "$parec_pid"; tq_stop_pid "$pacat_pid"
      rm -rf "$scratch"' EXIT
monitor="$scratch/monitor.raw"
parec --latency-msec=200 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
  >"$monitor" 2>"$scratch/parec.log" &
parec_pid=$!
tq_wait_until 10 tq_file_at_least "$monitor" 4096 || tq_fail "parec records nothing"
# The server's own client: silence on the left, a 1500 Hz tone on the right.
/usr/bin/python3 - "$scratch/reference.raw" "$((seconds + 10))" <<'PY'
import sys
import numpy as np
times = np.arange(int(sys.argv[2]) * 44100)
right = np.round(12000 * np.sin(2 * np.pi * 1500 * times / 44100))
np.stack([np.zeros_like(right), right], axis=1).astype("<i2").tofile(sys.argv[1])
PY
pacat --raw --format=s16le --rate=44100 --channels=2 --latency=73728 --process-time=32768 \
  --client-name="soak reference" <"$scratch/reference.raw" 2>"$scratch/pacat.log" &
pacat_pid=$!

tq_start_load "$load" "$seconds" "$scratch"
if [ -n "$TQ_LOAD_PID" ]; then
  echo "soak: $seconds s of playing under stress-ng $load"
else
  echo "soak: $seconds s of playing, no load added"
fi
ALSA_CONFIG_PATH="$TQ_ALSA_PULSE_CONF" "$soak" "$seconds"
status=$?
tq_stop_pid "${TQ_LOAD_PID:-}"
sleep 0.5  # the end of the stream reaches the monitor
tq_stop_pid "$parec_pid"
tq_stop_pid "$pacat_pid"
parec_pid="" pacat_pid=""
# The tone plays from the first buffers to the end, less the start-up.
/usr/bin/python3 "$root/tests/qt/check_recording.py" gaps "$monitor" 1000 \
  "$(awk -v s="$seconds" 'BEGIN { print s * 0.95 - 1 }')" 1500 || status=1
exit "$status"
