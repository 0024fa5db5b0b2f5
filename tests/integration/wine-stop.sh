#!/usr/bin/env bash
# Fixture cleanup: ends the Wine processes of the prefix in DIR/prefix, stops
# its server by the PID in DIR/wineserver.pid and removes the prefix.
#
# Usage: wine-stop.sh DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

dir="$1"
if [ -d "$dir/prefix" ]; then WINEPREFIX="$dir/prefix" timeout 20 wineserver --kill; fi
tq_stop_pid_file "$dir/wineserver.pid" wineserver
rm -rf "$dir"
