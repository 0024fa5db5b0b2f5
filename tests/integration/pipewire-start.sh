#!/usr/bin/env bash
# Fixture: starts a private PipeWire (a D-Bus session bus of its own,
# pipewire, wireplumber and pipewire-pulse, PipeWire's PulseAudio server)
# with one null sink, for the tests that play sound against the sound server
# most desktops now run. Everything it uses is in DIR: the runtime folder
# (DIR/run: PipeWire's socket), the PulseAudio protocol's socket
# (DIR/pulse/native), the configuration (DIR/config), the state WirePlumber
# keeps (DIR/state), the logs and a PID file per process. DIR/environment
# holds what a client needs, the same variables as pulse-start.sh writes
# (tests/integration/fixtures.cmake gives the tests the same). Nothing of
# the user's own sound setup is used or touched; no systemd user session is
# needed, and it runs the same as root. Returns once the sink is there.
#
# The graph runs at 44100 Hz only and the sink has the stream's format, so
# nothing is resampled: what is played is found bit for bit in the monitor.
#
# Usage: pipewire-start.sh DIR      (stopped by pipewire-stop.sh DIR)
set -euo pipefail
here="$(dirname "$0")"
source "$here/lib.sh"

dir="$(realpath -m "$1")"  # the sockets need a full path
sink=tq_sink
bash "$here/pipewire-stop.sh" "$dir"
rm -rf "$dir"
mkdir -p "$dir/run" "$dir/pulse" "$dir/home" "$dir/state" "$dir/config/pipewire/pipewire.conf.d" \
  "$dir/config/wireplumber/main.lua.d" "$dir/config/wireplumber/bluetooth.lua.d"
chmod 700 "$dir/run"
tq_write_client_files "$dir" "$dir/pulse/native" "$sink" "Private PipeWire null sink"
echo "PIPEWIRE_RUNTIME_DIR=$dir/run" >>"$dir/environment"

# The graph's clock at the stream's rate, never switched to another.
cat >"$dir/config/pipewire/pipewire.conf.d/tq-rate.conf" <<CONF
context.properties = {
    default.clock.rate          = 44100
    default.clock.allowed-rates = [ 44100 ]
}
CONF
# PipeWire's PulseAudio server on a socket of its own, with the null sink
# in the format of the stream; loaded again whenever the server starts.
cat >"$dir/config/pipewire/pipewire-pulse.conf" <<CONF
context.properties = { }
context.spa-libs = {
    audio.convert.* = audioconvert/libspa-audioconvert
    support.*       = support/libspa-support
}
context.modules = [
    { name = libpipewire-module-rt args = { nice.level = -11 } flags = [ ifexists nofail ] }
    { name = libpipewire-module-protocol-native }
    { name = libpipewire-module-client-node }
    { name = libpipewire-module-adapter }
    { name = libpipewire-module-metadata }
    { name = libpipewire-module-protocol-pulse args = { } }
]
pulse.cmd = [
    { cmd = "load-module"
      args = "module-null-sink sink_name=$sink rate=44100 channels=2 format=s16le" flags = [ ] }
]
pulse.properties = {
    server.address = [ "$PULSE_SERVER" ]
}
CONF
# WirePlumber links and routes streams; no hardware monitors, and no
# volumes or targets restored from one stream to the next, so that every
# test starts from the same state.
cat >"$dir/config/wireplumber/main.lua.d/90-enable-all.lua" <<'LUA'
load_module("metadata")
default_access.enable()
device_defaults.enable()
stream_defaults.properties["restore-props"] = false
stream_defaults.properties["restore-target"] = false
stream_defaults.enable()
load_script("intended-roles.lua")
LUA
: >"$dir/config/wireplumber/bluetooth.lua.d/90-enable-all.lua"

# Every process of the server sees only the fixture's folders.
run() {
  local name="$1"
  shift
  env HOME="$dir/home" XDG_RUNTIME_DIR="$dir/run" PIPEWIRE_RUNTIME_DIR="$dir/run" \
    XDG_CONFIG_HOME="$dir/config" XDG_STATE_HOME="$dir/state" XDG_DATA_HOME="$dir/home/data" \
    PULSE_RUNTIME_PATH="$dir/pulse" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/bus" \
    DISABLE_RTKIT=1 PIPEWIRE_LOG_SYSTEMD=false "$@" </dev/null >"$dir/$name.log" 2>&1 &
  echo $! >"$dir/$name.pid"
}
give_up() {
  for log in "$dir"/*.log; do
    echo "--- $log" >&2
    tail -n 20 "$log" >&2
  done
  bash "$here/pipewire-stop.sh" "$dir"
  tq_fail "$1"
}

run dbus-daemon dbus-daemon --session --nofork --nopidfile --address="unix:path=$dir/bus"
tq_wait_until 10 test -S "$dir/bus" || give_up "the D-Bus session bus does not start"
run pipewire pipewire
tq_wait_until 10 test -S "$dir/run/pipewire-0" || give_up "pipewire does not start"
run wireplumber wireplumber
run pipewire-pulse pipewire-pulse
sink_ready() { timeout 5 pactl list short sinks | grep -q "	$sink	"; }
tq_wait_until 20 sink_ready || give_up "pipewire-pulse has no sink $sink on $PULSE_SERVER"
# pipewire-pulse refuses ("Not supported") until WirePlumber's default
# metadata is there, which on a busy machine can come after the sink.
tq_wait_until 20 timeout 5 pactl set-default-sink "$sink" || give_up "pipewire-pulse does not take $sink as the default sink"
echo "PipeWire $(cat "$dir/pipewire.pid") with pipewire-pulse on $PULSE_SERVER, sink $sink"
