#!/usr/bin/env bash
# Plays the generator through the ALSA service into a private PulseAudio
# null sink for SECONDS (default 600) while stress-ng keeps both cores busy,
# then prints how many underruns the service had to recover from. Exits
# non-zero on any underrun, a lost device or a stalled stream.
#
# Usage: bench/soak.sh [SECONDS] [BUILD_DIR]
# BUILD_DIR must hold bench/alsa_soak (TQ_WITH_ALSA=ON, TQ_BUILD_BENCH=ON);
# without one, build/soak is configured and built.
set -uo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
source "$TQ_ROOT/scripts/pulse-env.sh"
cd "$TQ_ROOT"

seconds="${1:-600}"
build="${2:-}"
tq_apt_install "${TQ_BUILD_PACKAGES[@]}" libasound2-dev libasound2-plugins pulseaudio \
  pulseaudio-utils stress-ng libbenchmark-dev || exit 1

if [ -z "$build" ]; then
  build=build/soak
  cmake -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTQ_WITH_ALSA=ON -DTQ_BUILD_BENCH=ON \
    -DTQ_BUILD_TESTS=OFF -DTQ_BUILD_TOOLS=OFF >/dev/null || exit 1
fi
cmake --build "$build" -j "$TQ_JOBS" --target alsa_soak || exit 1

stress_pid=""
stop_all() {
  if [ -n "$stress_pid" ]; then
    kill "$stress_pid" 2>/dev/null
    wait "$stress_pid" 2>/dev/null
    stress_pid=""
  fi
  tq_pulse_stop
}
tq_pulse_start || exit 1
trap stop_all EXIT

# stress-ng ends by itself shortly after the soak, should this script die.
stress-ng --cpu 2 --timeout "$((seconds + 30))s" --quiet &
stress_pid=$!

echo "soak: ${seconds} s of playing under stress-ng --cpu 2"
ALSA_CONFIG_PATH="$TQ_ALSA_PULSE_CONF" "$build/bench/alsa_soak" "$seconds"
status=$?
[ "$status" -eq 0 ] && echo "soak: passed" || echo "soak: FAILED"
exit "$status"
