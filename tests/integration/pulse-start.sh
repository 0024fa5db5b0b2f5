#!/usr/bin/env bash
# Fixture: starts a private PulseAudio daemon with one null sink, for the
# tests that play sound on a machine without a sound card. Everything it uses
# is in DIR: the socket (DIR/native), a client configuration that never
# autospawns a daemon (DIR/client.conf), an ALSA configuration whose default
# PCM plays into the sink (DIR/asound.conf), the log and DIR/pulseaudio.pid.
# DIR/environment holds what a client needs (the tests get the same from
# tests/integration/CMakeLists.txt). Nothing of the user's own sound setup is
# used or touched. Returns once the daemon answers on its socket.
#
# Usage: pulse-start.sh DIR      (stopped by stop-pid.sh DIR/pulseaudio.pid pulseaudio)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

dir="$1"
sink=tq_sink
tq_stop_pid_file "$dir/pulseaudio.pid" pulseaudio
rm -rf "$dir"
mkdir -p "$dir/run" "$dir/home"
chmod 700 "$dir/run"
tq_write_client_files "$dir" "$dir/native" "$sink" "Private PulseAudio null sink"

# As root, pulseaudio only warns that it is meant for a user session; with
# its own HOME and runtime directory it runs the same for root and users.
# The sink has the stream's format, so nothing is resampled or converted and
# what is played can be found bit for bit in its monitor.
env HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" XDG_CONFIG_HOME="$dir/home/.config" \
  PULSE_RUNTIME_PATH="$dir/run" \
  pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
  --disable-shm=yes --log-target=stderr --log-level=warning \
  -L "module-native-protocol-unix socket=$dir/native auth-anonymous=1" \
  -L "module-null-sink sink_name=$sink norewinds=1 rate=44100 channels=2 format=s16le" \
  </dev/null >"$dir/daemon.log" 2>&1 &
echo $! >"$dir/pulseaudio.pid"

if ! tq_wait_until 15 timeout 5 pactl info; then
  cat "$dir/daemon.log" >&2
  tq_stop_pid_file "$dir/pulseaudio.pid" pulseaudio
  tq_fail "the PulseAudio daemon does not answer on $PULSE_SERVER"
fi
pactl set-default-sink "$sink"
echo "PulseAudio $(cat "$dir/pulseaudio.pid") on $PULSE_SERVER, sink $sink"
