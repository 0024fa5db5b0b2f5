#!/usr/bin/env bash
# Runs the window frame test on a private Xvfb, under openbox or with no
# window manager at all. Usage: window_frame_test.sh openbox|none TEST_BINARY
set -euo pipefail
manager="$1"
binary="$2"
work="$(mktemp -d)"
xvfb_pid=""
manager_pid=""
stop() {
  for pid in $manager_pid $xvfb_pid; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  done
  rm -rf "$work"
}
trap stop EXIT

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" </dev/null \
  >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 150); do grep -qx '[0-9]\+' "$work/display" 2>/dev/null && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"

if [ "$manager" = openbox ]; then
  openbox --sm-disable >"$work/openbox.log" 2>&1 &
  manager_pid=$!
  # Ready once it has published what it supports.
  for _ in $(seq 100); do
    xprop -root _NET_SUPPORTED 2>/dev/null | grep -q _NET_FRAME_EXTENTS && break
    sleep 0.1
  done
fi
TQ_WINDOW_MANAGER="$manager" QT_QPA_PLATFORM=xcb "$binary"
