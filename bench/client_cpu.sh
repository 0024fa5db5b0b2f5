#!/usr/bin/env bash
# The processor time the sound server's own clients take to play with given
# buffer attributes, as the yardstick for the program's stream: PulseAudio's
# client pacat (on either server: PipeWire serves the same protocol through
# pipewire-pulse) and, on PipeWire, its native client pw-cat. Each plays
# for SECONDS, ROUNDS times, into the private server's null sink; the time
# is the scheduler's run time of all the client's threads (schedstat), from
# one second after it started, in percent of one core.
#
# pacat asks for the target length LATENCY_MS and requests of PROCESS_MS
# (--latency-msec, --process-time-msec); pw-cat has no target length, only
# the graph's period it asks for (--latency), which is the request size:
# it gets PROCESS_MS.
#
# Usage: bench/client_cpu.sh SECONDS LATENCY_MS PROCESS_MS [ROUNDS]
# Against the server the environment names (PULSE_SERVER, and for pw-cat
# PIPEWIRE_RUNTIME_DIR), or run by hand a private one of its own
# (scripts/pulse-env.sh; TQ_SERVER=pipewire for PipeWire). Prints one line
# per client and round: "CLIENT round N: P % of a core".
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -n "${PULSE_SERVER:-}" ] || exec bash "$root/scripts/pulse-env.sh" bash "$0" "$@"
source "$root/tests/integration/lib.sh"
source "$root/bench/metrics_lib.sh"

seconds="${1:?usage: bench/client_cpu.sh SECONDS LATENCY_MS PROCESS_MS [ROUNDS]}"
latency_ms="${2:?}"
process_ms="${3:?}"
rounds="${4:-3}"
scratch="$(mktemp -d /tmp/tq-client-cpu.XXXXXX)"
client_pid=""
trap 'tq_stop_pid "$client_pid"; rm -rf "$scratch"' EXIT

# Runs "$@" in the background and prints its processor share over SECONDS.
measure() {
  "$@" >"$scratch/client.log" 2>&1 &
  client_pid=$!
  sleep 1
  local before after
  before=$(cpu_ns "$client_pid")
  sleep "$seconds"
  after=$(cpu_ns "$client_pid")
  tq_gone "$client_pid" && {
    cat "$scratch/client.log" >&2
    tq_fail "$1 ended before the measurement did"
  }
  tq_stop_pid "$client_pid"
  client_pid=""
  awk -v a="$before" -v b="$after" -v s="$seconds" 'BEGIN { printf "%.3f", (b - a) / (s * 1e7) }'
}

echo "server: $(pactl info | sed -n 's/^Server Name: //p'), sink ${PULSE_SINK:-default}"
echo "buffer: target length ${latency_ms} ms, requests of ${process_ms} ms; ${seconds} s a round"
for round in $(seq "$rounds"); do
  share="$(measure pacat --latency-msec="$latency_ms" --process-time-msec="$process_ms" \
    --format=s16le --rate=44100 --channels=2 --raw /dev/zero)" || exit 1
  echo "pacat round $round: $share % of a core"
done
[ -n "${PIPEWIRE_RUNTIME_DIR:-}" ] || exit 0
# pw-cat reads sound files only: silence long enough for a round.
/usr/bin/python3 - "$scratch/silence.wav" $((seconds + 5)) <<'PYTHON'
import sys
import wave

with wave.open(sys.argv[1], "wb") as out:
    out.setnchannels(2)
    out.setsampwidth(2)
    out.setframerate(44100)
    out.writeframes(bytes(4 * 44100 * int(sys.argv[2])))
PYTHON
for round in $(seq "$rounds"); do
  share="$(measure pw-cat --playback --latency="${process_ms}ms" --target="${PULSE_SINK:-0}" \
    "$scratch/silence.wav")" || exit 1
  echo "pw-cat round $round: $share % of a core"
done
