#!/usr/bin/env bash
# Wine leg: tonquill.exe under Wine without a sound device (a HOME without
# .asoundrc gives ALSA no default device, so Wine has no wave device). The
# window opens with a notice box telling why; the notice is shown once; File
# -> "Exit!" ends the program with status 0 within 2 s.
#
# Usage: wine-no-device.sh MINGW_BUILD_DIR WORK_DIR   (WINEPREFIX, TQ_XVFB_DIR: the fixtures)
set -uo pipefail
source "$(dirname "$0")/lib.sh"

TQ_MINGW="$1"
work="$2"
notice_title="Message from Varnholt Tonquill"

rm -rf "$work"
mkdir -p "$work/home"
export HOME="$work/home"
tq_use_display

wine "$TQ_MINGW/src/platform/win32/tonquill.exe" >"$work/tonquill.log" 2>&1 &
app_pid=$!
trap 'tq_stop_pid "$app_pid"' EXIT

tq_wait_until 60 tq_window_exists "$notice_title" && tq_window_exists "$TQ_MAIN_TITLE" >/dev/null ||
  tq_fail "the window opens and a notice box tells why"
tq_probe starts-with "$notice_title" ""
echo "PASS: the window opens and a notice box tells why"

xdotool key Return
tq_wait_until 10 tq_window_gone "$notice_title" || tq_fail "Return closes the notice"
# The window is in front and its menu opens: no second notice took over.
tq_wait_until 10 tq_probe foreground "$TQ_MAIN_TITLE" && tq_open_file_menu &&
  tq_window_gone "$notice_title" || tq_fail "the notice is shown once"
echo "PASS: the notice is shown once"

# Up from the first entry of the File menu is its last, "Exit!".
tq_keys_end_program "$app_pid" Up Return || tq_fail "File -> Exit! ends the program with status 0 within 2 s"
echo "PASS: File -> Exit! ends the program with status 0 within 2 s"
