#!/usr/bin/env bash
# Fixture: starts a private X server (Xvfb) for the Wine legs. It picks a
# free display number and writes it to DIR/display once it accepts
# connections; its PID goes to DIR/xvfb.pid.
#
# Usage: xvfb-start.sh DIR      (stopped by stop-pid.sh DIR/xvfb.pid Xvfb)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

dir="$1"
tq_stop_pid_file "$dir/xvfb.pid" Xvfb
rm -rf "$dir"
mkdir -p "$dir"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" </dev/null \
  >"$dir/xvfb.log" 2>&1 &
echo $! >"$dir/xvfb.pid"
export TQ_XVFB_DIR="$dir"
tq_wait_until 15 grep -qx '[0-9]\+' "$dir/display" || {
  cat "$dir/xvfb.log" >&2
  tq_stop_pid_file "$dir/xvfb.pid" Xvfb
  tq_fail "Xvfb did not come up"
}
tq_use_display
echo "Xvfb $(cat "$dir/xvfb.pid") on $DISPLAY"
