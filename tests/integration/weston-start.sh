#!/usr/bin/env bash
# Fixture: starts a private Wayland compositor (weston, headless, drawing
# with pixman) for the wayland leg, its socket DIR/runtime/tq-wayland in a
# runtime folder of its own (mode 0700, as a session's); --debug lets any
# client take screenshots. The shell's animations are off: by default the
# desktop fades in from black over its first second, and a screenshot taken
# then shows the window darkened. Its PID goes to DIR/weston.pid.
#
# Usage: weston-start.sh DIR      (stopped by stop-pid.sh DIR/weston.pid weston)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

dir="$1"
tq_stop_pid_file "$dir/weston.pid" weston
rm -rf "$dir"
mkdir -p "$dir/runtime"
chmod 0700 "$dir/runtime"
printf '[shell]\nstartup-animation=none\nanimation=none\nclose-animation=none\n' >"$dir/weston.ini"
export XDG_RUNTIME_DIR="$dir/runtime" WAYLAND_DISPLAY=tq-wayland
unset DISPLAY
weston --backend=headless-backend.so --use-pixman --width=1024 --height=768 --idle-time=0 \
  --socket="$WAYLAND_DISPLAY" --config="$dir/weston.ini" --debug --log="$dir/weston.log" </dev/null >/dev/null 2>&1 &
echo $! >"$dir/weston.pid"
# weston-info is a client: it answers once the compositor takes clients.
tq_wait_until 15 weston-info || {
  cat "$dir/weston.log" >&2
  tq_stop_pid_file "$dir/weston.pid" weston
  tq_fail "weston did not come up"
}
echo "weston $(cat "$dir/weston.pid") on $XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
