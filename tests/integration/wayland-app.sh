#!/usr/bin/env bash
# The Linux program as a native Wayland window on the weston fixture (its
# XDG_RUNTIME_DIR and WAYLAND_DISPLAY in the environment, no DISPLAY): the
# driver's window on Qt's Wayland plugin, 600 x 280 as the compositor gets
# it (the protocol's set_window_geometry, WAYLAND_DEBUG) and as weston's
# screenshot shows it, ended by File -> Exit!
# with status 0; then the real program, which must come up on Wayland too.
#
# Usage: wayland-app.sh TONQUILL_DRIVE TONQUILL WORK_DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

drive="$1"
program="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work"
unset DISPLAY
printf 'pcm.!default { type null }\n' >"$work/null.conf"

# The window geometry last sent to the compositor, "0, 0, W, H", from a
# WAYLAND_DEBUG log.
last_geometry() {
  grep -o 'set_window_geometry([^)]*)' "$1" | tail -n 1 | sed 's/.*(\(.*\))/\1/'
}
# Whether the log shows a buffer committed to a surface (the window drawn).
window_drawn() { grep -q 'attach(wl_buffer@' "$1"; }

WAYLAND_DEBUG=1 TQ_DRIVER_PLATFORM=wayland tq_start_driver "$drive" "$work/null.conf" "$work/driver.log"
trap 'tq_stop_pid "$tq_driver_pid"; tq_stop_pid "${program_pid:-}"' EXIT
answer="$(tq_drive platform)"
echo "$answer"
[ "$answer" = "ok platform wayland 600x280" ] || tq_fail "a native Wayland window of 600 x 280"
tq_wait_until 15 window_drawn "$work/driver.log" || tq_fail "the window is never drawn"
geometry="$(last_geometry "$work/driver.log")"
echo "window geometry sent to the compositor: $geometry"
[ "$geometry" = "0, 0, 600, 280" ] || tq_fail "the compositor gets 600 x 280"

(cd "$work" && timeout 20 weston-screenshooter) || tq_fail "weston-screenshooter"
shot="$(ls "$work"/wayland-screenshot-*.png 2>/dev/null | head -n 1)"
[ -n "$shot" ] || tq_fail "no screenshot written"
# Below weston's top bar, on its mid-grey pattern, the light pixels are the
# window's: their bounding box is the window as the compositor shows it.
panel="$(convert "$shot" -crop 1024x736+0+32 +repage -colorspace gray -threshold 80% -trim \
  -format '%w %h' info:)"
echo "screenshot $shot: the light window is $panel"
[ "$panel" = "600 280" ] || tq_fail "the screenshot shows the 600 x 280 window"
tq_exit_driver || tq_fail "File -> Exit! ends the program with status 0"

env WAYLAND_DEBUG=1 ALSA_CONFIG_PATH="$work/null.conf" "$program" >"$work/program.out" 2>"$work/program.log" &
program_pid=$!
tq_wait_until 15 window_drawn "$work/program.log" || tq_fail "tonquill shows no Wayland window"
geometry="$(last_geometry "$work/program.log")"
echo "tonquill: window geometry $geometry"
[ "$geometry" = "0, 0, 600, 280" ] || tq_fail "tonquill's window is 600 x 280"
