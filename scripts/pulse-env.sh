#!/usr/bin/env bash
# A private PulseAudio daemon with one null sink, for tests that play sound
# on a machine without a sound card. Nothing of the user's own sound setup is
# used or touched: the daemon gets its own runtime and home directories in a
# temporary folder and listens on its own socket.
#
# Run a command with the daemon up (stopped afterwards, also on failure):
#   bash scripts/pulse-env.sh run COMMAND [ARGS...]
# Or source this file and call tq_pulse_start / tq_pulse_stop; tq_pulse_start
# sets an EXIT trap that stops the daemon.
#
# While the daemon runs, these are exported:
#   PULSE_SERVER        its socket, for every PulseAudio client (parec, the
#                       ALSA "pulse" plugin, the ALSA default via Debian's hook)
#   PULSE_CLIENTCONFIG  a client configuration that never autospawns a daemon
#   PULSE_SINK          the null sink, the default for new playback streams
#   TQ_PULSE_SINK, TQ_PULSE_MONITOR  the sink and its monitor source
#   TQ_PULSE_DIR, TQ_PULSE_PID       the temporary folder and the daemon's PID
#   TQ_ALSA_PULSE_CONF  an ALSA configuration whose default PCM is this sink

source "$(dirname "${BASH_SOURCE[0]}")/lib.sh"

TQ_PULSE_SINK_NAME="${TQ_PULSE_SINK_NAME:-tq_sink}"
TQ_PULSE_WAIT_SECONDS="${TQ_PULSE_WAIT_SECONDS:-10}"

tq_pulse_write_client_config() {
  printf 'autospawn = no\n' >"$TQ_PULSE_DIR/client.conf"
}

# An ALSA configuration of its own: the default PCM plays into the private
# daemon, and underruns are reported to the program (-EPIPE) so that they can
# be counted.
tq_pulse_write_alsa_config() {
  cat >"$TQ_PULSE_DIR/asound.conf" <<EOF
pcm.!default {
  type pulse
  server "$PULSE_SERVER"
  handle_underrun true
  hint { show on description "Private PulseAudio null sink" }
}
ctl.!default {
  type pulse
  server "$PULSE_SERVER"
}
EOF
}

tq_pulse_server_answers() {
  timeout 5 pactl info >/dev/null 2>&1
}

tq_pulse_start() {
  command -v pulseaudio >/dev/null || {
    echo "pulse-env: pulseaudio is not installed" >&2
    return 1
  }
  TQ_PULSE_DIR="$(mktemp -d /tmp/tq-pulse.XXXXXX)"
  mkdir -p "$TQ_PULSE_DIR/run" "$TQ_PULSE_DIR/home"
  chmod 700 "$TQ_PULSE_DIR/run"
  export TQ_PULSE_DIR
  export PULSE_SERVER="unix:$TQ_PULSE_DIR/run/native"
  export PULSE_CLIENTCONFIG="$TQ_PULSE_DIR/client.conf"
  export TQ_PULSE_SINK="$TQ_PULSE_SINK_NAME"
  export TQ_PULSE_MONITOR="$TQ_PULSE_SINK_NAME.monitor"
  export PULSE_SINK="$TQ_PULSE_SINK"
  export TQ_ALSA_PULSE_CONF="$TQ_PULSE_DIR/asound.conf"
  tq_pulse_write_client_config
  tq_pulse_write_alsa_config
  trap tq_pulse_stop EXIT

  # As root, pulseaudio only warns that it is meant for a user session; with
  # its own HOME and runtime directory it runs the same for root and users.
  # The sink has the stream's format, so nothing is resampled or converted
  # and what is played can be found bit for bit in the monitor.
  env HOME="$TQ_PULSE_DIR/home" XDG_RUNTIME_DIR="$TQ_PULSE_DIR/run" \
    XDG_CONFIG_HOME="$TQ_PULSE_DIR/home/.config" PULSE_RUNTIME_PATH="$TQ_PULSE_DIR/run" \
    pulseaudio -n --daemonize=no --exit-idle-time=-1 --disallow-exit --use-pid-file=no \
    --disable-shm=yes --log-target=stderr --log-level=warning \
    -L "module-native-protocol-unix socket=$TQ_PULSE_DIR/run/native auth-anonymous=1" \
    -L "module-null-sink sink_name=$TQ_PULSE_SINK_NAME norewinds=1 rate=44100 channels=2 format=s16le" \
    >"$TQ_PULSE_DIR/daemon.log" 2>&1 &
  TQ_PULSE_PID=$!
  export TQ_PULSE_PID

  local waited=0
  until tq_pulse_server_answers; do
    if ! kill -0 "$TQ_PULSE_PID" 2>/dev/null || [ "$waited" -ge "$TQ_PULSE_WAIT_SECONDS" ]; then
      echo "pulse-env: the PulseAudio daemon did not come up; its log:" >&2
      cat "$TQ_PULSE_DIR/daemon.log" >&2
      tq_pulse_stop
      return 1
    fi
    sleep 1
    waited=$((waited + 1))
  done
  timeout 5 pactl set-default-sink "$TQ_PULSE_SINK" >/dev/null 2>&1 || true
  echo "pulse-env: PulseAudio $TQ_PULSE_PID on $PULSE_SERVER, sink $TQ_PULSE_SINK"
}

# Stops the daemon by its PID (a polite TERM, then KILL after a time limit)
# and removes the temporary folder. Safe to call more than once.
tq_pulse_stop() {
  if [ -n "${TQ_PULSE_PID:-}" ]; then
    tq_stop_pid "$TQ_PULSE_PID"
    TQ_PULSE_PID=""
  fi
  if [ -n "${TQ_PULSE_DIR:-}" ] && [ -d "$TQ_PULSE_DIR" ]; then
    rm -rf "$TQ_PULSE_DIR"
  fi
  TQ_PULSE_DIR=""
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  case "${1:-}" in
    run)
      shift
      [ $# -gt 0 ] || {
        echo "usage: $0 run COMMAND [ARGS...]" >&2
        exit 2
      }
      tq_pulse_start || exit 1
      "$@"
      status=$?
      tq_pulse_stop
      exit "$status"
      ;;
    *)
      echo "usage: $0 run COMMAND [ARGS...]   (or source it: tq_pulse_start / tq_pulse_stop)" >&2
      exit 2
      ;;
  esac
fi
