#!/usr/bin/env bash
# Runs COMMAND with a private PulseAudio daemon up, the same one the tests
# get as a CTest fixture (tests/integration/pulse-start.sh), in a temporary
# folder, and stops it by its PID afterwards. COMMAND sees PULSE_SERVER,
# PULSE_CLIENTCONFIG, PULSE_SINK, TQ_PULSE_MONITOR (the sink's monitor) and
# TQ_ALSA_PULSE_CONF (an ALSA configuration whose default PCM is the sink).
#
# Usage: scripts/pulse-env.sh COMMAND [ARGS...]
set -uo pipefail
fixtures="$(cd "$(dirname "$0")/../tests/integration" && pwd)"
[ $# -gt 0 ] || {
  echo "usage: $0 COMMAND [ARGS...]" >&2
  exit 2
}
dir="$(mktemp -d /tmp/tq-pulse.XXXXXX)"
trap 'bash "$fixtures/stop-pid.sh" "$dir/pulseaudio.pid" pulseaudio; rm -rf "$dir"' EXIT
bash "$fixtures/pulse-start.sh" "$dir" || exit 1
set -a
source "$dir/environment"
set +a
"$@"
