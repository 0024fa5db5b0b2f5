#!/usr/bin/env bash
# Runs COMMAND with a private sound server up, the same one the tests get as
# a CTest fixture, in a temporary folder, and stops it by its PID
# afterwards: a PulseAudio daemon (tests/integration/pulse-start.sh), or
# with TQ_SERVER=pipewire PipeWire with its PulseAudio server
# (tests/integration/pipewire-start.sh). COMMAND sees PULSE_SERVER,
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
server="${TQ_SERVER:-pulse}"
dir="$(mktemp -d "/tmp/tq-$server.XXXXXX")"
stop() {
  if [ "$server" = pipewire ]; then
    bash "$fixtures/pipewire-stop.sh" "$dir"
  else
    bash "$fixtures/stop-pid.sh" "$dir/pulseaudio.pid" pulseaudio
  fi
  rm -rf "$dir"
}
trap stop EXIT
bash "$fixtures/$server-start.sh" "$dir" || exit 1
set -a
source "$dir/environment"
set +a
"$@"
