#!/usr/bin/env bash
# Wine leg: tonquill.exe under Wine on the Xvfb fixture's display, worked
# with xdotool, its sound captured through an ALSA file plugin. The window
# appears with the program's icon in its title bar; Tab from the frequency
# box visits the boxes, bars and waveform rows in the order they stand on
# screen and back, the arrows move within a row; 1000 + Return in the
# frequency box and 0 + Return in the left level box (reached by Tab) give a
# 1000 Hz sine on the left and silence on the right; File -> "List sound
# playback devices" shows one device; Alt+F4 ends the program with status 0
# within 2 s.
#
# Usage: wine-app.sh MINGW_BUILD_DIR WORK_DIR   (WINEPREFIX, TQ_XVFB_DIR: the fixtures)
set -uo pipefail
source "$(dirname "$0")/lib.sh"

TQ_MINGW="$1"
work="$2"
box_title="Message Zavadudor Eduzuvovo"
frequency_box=50
left_level_box=51
capture_frames=131072 # about 3 s of sound, all after the last entry
right_peak_limit=80   # the right channel stays at -50 dB: 25000 * 202 / 64000 = 78

rm -rf "$work"
mkdir -p "$work/home"
capture="$work/capture.raw"
cat >"$work/home/.asoundrc" <<CONF
pcm.!default {
  type file
  slave.pcm "null"
  file "$capture"
  format "raw"
}
CONF
export HOME="$work/home"
tq_use_display

pass() { echo "PASS: $*"; }

# The icon sits in the top left corner of the frame Wine draws.
title_bar_shows_icon() {
  local x y
  read -r x y < <(xdotool search --name "^$TQ_MAIN_TITLE\$" getwindowgeometry --shell |
    awk -F= '$1 == "X" { x = $2 } $1 == "Y" { y = $2 } END { print x, y }')
  [ -n "$y" ] || return 1
  import -window root -crop "24x24+$x+$y" -depth 8 rgb:- | /usr/bin/python3 \
    "$(dirname "$0")/../windows/title_icon.py"
}

box_has_focus() { tq_probe focus "$TQ_MAIN_TITLE" "$1"; }
box_lost_focus() {
  tq_probe focus "$TQ_MAIN_TITLE" "$1"
  [ $? -eq 1 ]
}

# Clicks into the box with control id $1.
click_into_box() {
  local x y
  read -r x y < <(tq_probe center "$TQ_MAIN_TITLE" "$1") || return 1
  xdotool mousemove "$x" "$y" click 1 && tq_wait_until 10 box_has_focus "$1"
}

# Replaces the text of the focused box $1 by $2 and hits Return; done when
# the focus has gone back to the window.
enter_in_box() {
  local erase=(End)
  for _ in {1..12}; do erase+=(BackSpace); done
  xdotool key "${erase[@]}" && xdotool type "$2" && xdotool key Return &&
    tq_wait_until 10 box_lost_focus "$1"
}

focused() { tq_probe focused "$TQ_MAIN_TITLE" | tr -d '\r'; }
focus_is() { [ "$(focused)" = "$1" ]; }

# Presses key $1, then waits until the focused control is $2 ("CLASS ID X Y").
key_moves_focus_to() {
  xdotool key "$1" && tq_wait_until 10 focus_is "$2" || {
    echo "after $1 the focus is on \"$(focused)\", not on \"$2\""
    return 1
  }
}

# From the frequency box, in screen order: its bar, the left level box and
# bar, the left waveform row (at its checked button), the same on the right,
# and round to the frequency box; Shift+Tab goes back.
tab_order() {
  local key control
  while read -r key control; do
    key_moves_focus_to "$key" "$control" || return 1
  done <<'STEPS'
Tab ScrollBar 0 100 30
Tab Edit 51 20 80
Tab ScrollBar 0 100 80
Tab Button 52 20 100
Tab Edit 56 20 160
Tab ScrollBar 0 100 160
Tab Button 57 20 180
Tab Edit 50 20 20
shift+Tab Button 57 20 180
STEPS
}

# Right on the right row's Sine selects Triangle, which gives the focus back
# to the window as a click does; Tab then reaches the row at Triangle, and
# Left selects Sine again.
arrows_in_row() {
  key_moves_focus_to Right window || return 1
  xdotool key Tab Tab Tab Tab Tab Tab Tab Tab &&
    tq_wait_until 10 focus_is "Button 62 78 180" || {
    echo "Tab from the window reaches \"$(focused)\", not the right Triangle"
    return 1
  }
  key_moves_focus_to Left window
}

# The last capture_frames frames, all played after the level entry.
tone_on_the_left() {
  local after_entry
  after_entry="$(tq_file_size "$capture")"
  tq_wait_until 30 tq_file_at_least "$capture" $((after_entry + 2 * capture_frames * 4)) || {
    echo "the capture did not grow after the level entry"
    return 1
  }
  /usr/bin/python3 "$(dirname "$0")/../windows/analyze_capture.py" "$capture" 1000 0.1 \
    "$right_peak_limit" "$capture_frames"
}

device_report_box() {
  tq_open_file_menu && xdotool key Return && tq_wait_until 120 tq_window_exists "$box_title" ||
    return 1
  tq_probe starts-with "$box_title" "Number of sound output devices is 1"
  local found=$?
  xdotool key Return
  tq_wait_until 10 tq_window_gone "$box_title" && [ "$found" -eq 0 ]
}

wine "$TQ_MINGW/src/platform/win32/tonquill.exe" >"$work/tonquill.log" 2>&1 &
app_pid=$!
trap 'tq_stop_pid "$app_pid"' EXIT

if ! tq_wait_until 60 tq_window_exists "$TQ_MAIN_TITLE"; then
  # What the display and Wine had instead, for the log.
  echo "windows on the display:"
  xdotool search --name . getwindowname %@ 2>/dev/null | sort | uniq -c
  echo "Wine processes:"
  ps -eo pid,etime,stat,args | grep -i '[w]ine' | cut -c1-160
  echo "the program's output:"
  cat "$work/tonquill.log"
  tq_fail "the window \"$TQ_MAIN_TITLE\" does not appear"
fi
pass "the window \"$TQ_MAIN_TITLE\" appears"
tq_wait_until 10 title_bar_shows_icon || {
  title_bar_shows_icon
  tq_fail "the title bar does not show the program's icon"
}
pass "the title bar shows the program's icon"
click_into_box "$frequency_box" || tq_fail "a click into the frequency box"
tab_order || tq_fail "Tab and Shift+Tab move through the controls in screen order"
pass "Tab and Shift+Tab move through the controls in screen order"
arrows_in_row || tq_fail "Right and Left move within a waveform row"
pass "Right and Left move within a waveform row"
click_into_box "$frequency_box" || tq_fail "a click into the frequency box"
enter_in_box "$frequency_box" 1000 || tq_fail "1000 + Return in the frequency box"
pass "1000 + Return in the frequency box"
# From the window, Tab reaches the first box, then its bar, then this one.
for _ in 1 2 3; do xdotool key Tab; done
tq_wait_until 10 box_has_focus "$left_level_box" || tq_fail "Tab to the left level box"
enter_in_box "$left_level_box" 0 || tq_fail "0 + Return in the left level box"
pass "Tab to the left level box, 0 + Return"
tone_on_the_left || tq_fail "1000 Hz sine on the left, right channel silent"
pass "1000 Hz sine on the left, right channel silent"
device_report_box || tq_fail "File -> List sound playback devices: one device"
pass "File -> List sound playback devices: \"Number of sound output devices is 1\""
tq_wait_until 10 tq_probe foreground "$TQ_MAIN_TITLE" || tq_fail "the window is not in front"
tq_keys_end_program "$app_pid" alt+F4 || tq_fail "Alt+F4 ends the program with status 0 within 2 s"
pass "Alt+F4 ends the program with status 0 within 2 s"
