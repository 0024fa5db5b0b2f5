#!/usr/bin/env bash
# Fixture cleanup: stops what pipewire-start.sh DIR started, by the PIDs in
# DIR, clients of the server first and the D-Bus bus last.
#
# Usage: pipewire-stop.sh DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"
for name in pipewire-pulse wireplumber pipewire dbus-daemon; do
  tq_stop_pid_file "$1/$name.pid" "$name"
done
