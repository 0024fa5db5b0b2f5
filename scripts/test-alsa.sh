#!/usr/bin/env bash
# The ALSA service's test leg: installs what it needs, builds the service
# with its tests and drivers, runs alsa_tests with a private PulseAudio
# daemon up (stopped by its PID at the end, also on failure), then the
# 60-second soak under load. Runs on its own or from the Linux app's leg.
#
# Usage: scripts/test-alsa.sh [SOAK_SECONDS]   (0 leaves the soak out)
set -uo pipefail
source "$(dirname "$0")/lib.sh"
source "$TQ_ROOT/scripts/pulse-env.sh"
cd "$TQ_ROOT"

soak_seconds="${1:-60}"
build=build/alsa
tq_apt_install "${TQ_BUILD_PACKAGES[@]}" googletest libgtest-dev libbenchmark-dev \
  libasound2-dev libasound2-plugins pulseaudio pulseaudio-utils stress-ng || exit 1

tq_log "ALSA service: build"
cmake -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTQ_WITH_ALSA=ON -DTQ_BUILD_TESTS=ON \
  -DTQ_BUILD_BENCH=ON -DTQ_BUILD_TOOLS=ON -DTQ_WARNINGS_AS_ERRORS=ON >/dev/null || exit 1
cmake --build "$build" -j "$TQ_JOBS" --target alsa_tests alsa_soak alsa_report_time tonquill-render || exit 1

tq_log "ALSA service: tests (file plugin, private PulseAudio daemon)"
tq_pulse_start || exit 1
TQ_REQUIRE_PULSE=1 ctest --test-dir "$build/tests/alsa" --output-on-failure --timeout 120
tests_status=$?
tq_pulse_stop
trap - EXIT

soak_status=0
if [ "$soak_seconds" -gt 0 ]; then
  tq_log "ALSA service: ${soak_seconds}-second soak under load"
  bash bench/soak.sh "$soak_seconds" "$build"
  soak_status=$?
fi
[ "$tests_status" -eq 0 ] && [ "$soak_status" -eq 0 ]
