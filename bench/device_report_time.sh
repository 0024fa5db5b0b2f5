#!/usr/bin/env bash
# Times the sound device report (the whole text, 9,990-rate probe included)
# over the ALSA service with a private PulseAudio daemon up: once with the
# system's ALSA configuration (its default PCM then plays into the daemon
# and the name hints list every plugin PCM), once with the private
# configuration alone. Target: at most 50 ms per device. Exits non-zero
# when the best run of either is over the target.
#
# Usage: bench/device_report_time.sh [BUILD_DIR]
# BUILD_DIR (default build/dev) must hold bench/alsa_report_time
# (TQ_WITH_ALSA=ON, TQ_BUILD_BENCH=ON); it is built here.
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
[ -n "${TQ_ALSA_PULSE_CONF:-}" ] || exec bash scripts/pulse-env.sh bash "$0" "$@"

build="${1:-build/dev}"
target_ms=50
cmake --build "$build" -j 2 --target alsa_report_time || exit 1

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
