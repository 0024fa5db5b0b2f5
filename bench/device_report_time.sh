#!/usr/bin/env bash
# Times the sound device report (the whole text, 9,990-rate probe included)
# over the ALSA service with a private PulseAudio daemon up: once with the
# system's ALSA configuration (its default PCM then plays into the daemon
# and the name hints list every plugin PCM), once with the private
# configuration alone. Target: at most 50 ms per device. Exits non-zero
# when the best run of either is over the target.
#
# Usage: bench/device_report_time.sh [BUILD_DIR]
# BUILD_DIR must hold bench/alsa_report_time (TQ_WITH_ALSA=ON,
# TQ_BUILD_BENCH=ON); without one, build/soak is configured and built.
set -uo pipefail
source "$(dirname "$0")/../scripts/lib.sh"
source "$TQ_ROOT/scripts/pulse-env.sh"
cd "$TQ_ROOT"

build="${1:-}"
target_ms=50
tq_apt_install "${TQ_BUILD_PACKAGES[@]}" libasound2-dev libasound2-plugins pulseaudio \
  pulseaudio-utils libbenchmark-dev || exit 1
if [ -z "$build" ]; then
  build=build/soak
  cmake -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTQ_WITH_ALSA=ON -DTQ_BUILD_BENCH=ON \
    -DTQ_BUILD_TESTS=OFF -DTQ_BUILD_TOOLS=OFF >/dev/null || exit 1
fi
cmake --build "$build" -j "$TQ_JOBS" --target alsa_report_time || exit 1
tq_pulse_start || exit 1

status=0
measure() {
  local label="$1"
  shift
  echo "== $label"
  # Plugins of other sound systems (JACK) print on stderr by themselves.
  local output
  output="$("$@" "$build/bench/alsa_report_time" 5 2>/dev/null)"
  echo "$output"
  local best
  best="$(echo "$output" | awk '/^best:/ { print $2 }')"
  if awk -v best="$best" -v limit="$target_ms" 'BEGIN { exit !(best == "" || best > limit) }'; then
    echo "over the target of $target_ms ms per device"
    status=1
  fi
}
measure "system ALSA configuration, default = private PulseAudio" env
measure "private configuration: the PulseAudio default only" \
  env ALSA_CONFIG_PATH="$TQ_ALSA_PULSE_CONF"
exit "$status"
