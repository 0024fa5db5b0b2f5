#!/usr/bin/env bash
# Fixture cleanup: stops the process whose PID is in PIDFILE, if it is still
# the program NAME (TERM, then KILL after 5 s), and removes the file.
#
# Usage: stop-pid.sh PIDFILE NAME
set -uo pipefail
source "$(dirname "$0")/lib.sh"
tq_stop_pid_file "$1" "$2"
