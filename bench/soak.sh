#!/usr/bin/env bash
# Plays the generator through the ALSA service into a private sound
# server's null sink for SECONDS while stress-ng loads the machine, then
# prints how many underruns the service had to recover from and the gaps
# heard: the sink's monitor is recorded all the while and the left
# channel's 1000 Hz sine is searched for gaps and phase steps
# (tests/qt/check_recording.py gaps), which a plugin between the service
# and the server can hide from the service's own count. Exits non-zero on
# any underrun, any gap heard, a lost device or a stalled stream.
#
# Usage: bench/soak.sh SECONDS [ALSA_SOAK] [LOAD]
# ALSA_SOAK: the driver, bench/alsa_soak of a build with the ALSA service and
# the benchmarks (default build/dev/bench/alsa_soak). LOAD: stress-ng's
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

seconds="${1:?usage: bench/soak.sh SECONDS [ALSA_SOAK] [LOAD]}"
soak="${2:-$root/build/dev/bench/alsa_soak}"
load="${3---cpu 2}"
[ -x "$soak" ] || tq_fail "no $soak (build the dev preset first)"

scratch="$(mktemp -d /tmp/tq-soak.XXXXXX)"
parec_pid=""
trap 'tq_stop_pid "${TQ_LOAD_PID:-}"; tq_stop_pid "$parec_pid"; rm -rf "$scratch"' EXIT
monitor="$scratch/monitor.raw"
parec --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
  >"$monitor" 2>"$scratch/parec.log" &
parec_pid=$!
tq_wait_until 10 tq_file_at_least "$monitor" 4096 || tq_fail "parec records nothing"

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
parec_pid=""
# The tone plays from the first buffers to the end, less the start-up.
/usr/bin/python3 "$root/tests/qt/check_recording.py" gaps "$monitor" 1000 \
  "$(awk -v s="$seconds" 'BEGIN { print s * 0.95 - 1 }')" || status=1
exit "$status"
