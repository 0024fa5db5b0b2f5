#!/usr/bin/env bash
# The Windows leg: cross-builds tonquill.exe and the unit tests with
# mingw-w64, runs the unit tests under Wine, then drives the program under
# Wine on a virtual X display with xdotool. Wine gets a fresh prefix and a
# private HOME whose ALSA default device writes the program's sound to a
# file, which is then analysed. Prints PASS/FAIL per check; exits non-zero
# when any check fails. Everything started here is stopped by its PID at the
# end, also on failure.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
cd "$TQ_ROOT" || exit 1

TQ_WINDOWS_PACKAGES=(cmake ninja-build g++-mingw-w64-x86-64-posix googletest wine wine64 xvfb
  xdotool python3-numpy imagemagick)
BUILD_DIR=build/mingw
APP_EXE="$BUILD_DIR/src/platform/win32/tonquill.exe"
PROBE_EXE="$BUILD_DIR/tests/windows/tq_probe.exe"
MAIN_TITLE="Varnholt Tonquill"
BOX_TITLE="Message Zavadudor Eduzuvovo"
NOTICE_TITLE="Message from Varnholt Tonquill"
FREQUENCY_BOX_ID=50
LEFT_LEVEL_BOX_ID=51
CAPTURE_FRAMES=131072  # about 3 s of sound, all after the last entry
# The right channel stays at -50 dB: 25000 * 202 / 64000 = 78.
RIGHT_PEAK_LIMIT=80

failures=0
pass() { echo "PASS: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
# Runs "$@" as the check named $1; returns its status.
check() {
  local name="$1"
  shift
  if "$@"; then
    pass "$name"
    return 0
  fi
  fail "$name"
  return 1
}

WORK=""
XVFB_PID=""
WINESERVER_PID=""
APP_PID=""


cleanup() {
  tq_stop_pid "$APP_PID"
  if [ -n "$WINESERVER_PID" ]; then
    # Ends the wine processes of our own prefix only, then the server.
    timeout 10 wineserver -k 2>/dev/null
    tq_stop_pid "$WINESERVER_PID"
  fi
  tq_stop_pid "$XVFB_PID"
  if [ -n "$WORK" ] && [ -z "${TQ_KEEP_WINE_WORK:-}" ]; then rm -rf "$WORK"; fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Runs until "$@" succeeds, at most $1 seconds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

window_exists() { xdotool search --name "^$1\$"; }
window_gone() { ! window_exists "$1"; }
file_size() { stat -c %s "$1" 2>/dev/null || echo 0; }
file_at_least() { [ "$(file_size "$1")" -ge "$2" ]; }

start_wine_environment() {
  WORK="$(mktemp -d /tmp/tq-windows.XXXXXX)"
  export HOME="$WORK/home" WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mshtml,mscoree="
  CAPTURE="$WORK/capture.raw"
  mkdir -p "$HOME" "$WINEPREFIX"
  cat >"$HOME/.asoundrc" <<EOF
pcm.!default {
  type file
  slave.pcm "null"
  file "$CAPTURE"
  format "raw"
}
EOF
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WORK/display" >"$WORK/xvfb.log" 2>&1 &
  XVFB_PID=$!
  wait_until 10 test -s "$WORK/display" || return 1
  DISPLAY=":$(head -n1 "$WORK/display")"
  export DISPLAY
  wineserver -p -f >"$WORK/wineserver.log" 2>&1 &
  WINESERVER_PID=$!
  timeout 180 wineboot -i >"$WORK/wineboot.log" 2>&1 || return 1
  timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null &&
    timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null
}

# Clicks into the box with control id $1, replaces its text by $2, hits Enter.
enter_in_box() {
  local x y
  read -r x y < <(timeout 20 wine "$PROBE_EXE" center "$MAIN_TITLE" "$1") || return 1
  local erase=(End)
  for _ in {1..12}; do erase+=(BackSpace); done
  xdotool mousemove "$x" "$y" click 1 &&
    sleep 0.3 &&
    xdotool key "${erase[@]}" &&
    xdotool type "$2" &&
    xdotool key Return
}

# The icon sits in the top left corner of the frame Wine draws.
title_bar_shows_icon() {
  local x y
  read -r x y < <(xdotool search --name "^$MAIN_TITLE\$" getwindowgeometry --shell |
    awk -F= '$1 == "X" { x = $2 } $1 == "Y" { y = $2 } END { print x, y }')
  [ -n "$y" ] || return 1
  import -window root -crop "24x24+$x+$y" -depth 8 rgb:- | /usr/bin/python3 tests/windows/title_icon.py
}

tone_on_the_left() {
  local after_entry
  after_entry="$(file_size "$CAPTURE")"
  wait_until 30 file_at_least "$CAPTURE" $((after_entry + 2 * CAPTURE_FRAMES * 4)) || {
    echo "the capture did not grow after the level entry"
    return 1
  }
  /usr/bin/python3 tests/windows/analyze_capture.py "$CAPTURE" 1000 0.1 "$RIGHT_PEAK_LIMIT" \
    "$CAPTURE_FRAMES"
}

device_report_box() {
  xdotool key alt+f && sleep 0.3 && xdotool key Return &&
    wait_until 120 window_exists "$BOX_TITLE" || return 1
  timeout 20 wine "$PROBE_EXE" starts-with "$BOX_TITLE" "Number of sound output devices is 1"
  local found=$?
  xdotool key Return
  wait_until 10 window_gone "$BOX_TITLE" && [ "$found" -eq 0 ]
}

# Presses the keys "$@" and expects the program to end within 2 s, status 0.
ends_with_status_0() {
  local start status
  sleep 0.5
  start="$(date +%s%N)"
  xdotool key "$@"
  if ! tq_wait_gone "$APP_PID" 2; then
    echo "still running 2 s after $*"
    return 1
  fi
  wait "$APP_PID"
  status=$?
  APP_PID=""
  echo "ended $((($(date +%s%N) - start) / 1000000)) ms after $* with status $status"
  [ "$status" -eq 0 ]
}

notice_and_window() {
  wait_until 60 window_exists "$NOTICE_TITLE" && window_exists "$MAIN_TITLE" >/dev/null
}

# Without .asoundrc ALSA has no default device, so Wine has no wave device.
without_sound_device() {
  mkdir -p "$WORK/home-without-sound"
  HOME="$WORK/home-without-sound" wine "$APP_EXE" >"$WORK/tonquill-without-sound.log" 2>&1 &
  APP_PID=$!
  check "no sound device: the window opens and a notice box tells why" notice_and_window || return
  timeout 20 wine "$PROBE_EXE" starts-with "$NOTICE_TITLE" ""
  xdotool key Return
  sleep 1
  check "no sound device: the notice is shown once" window_gone "$NOTICE_TITLE"
  check "no sound device: File -> Exit! ends the program with status 0 within 2 s" \
    ends_with_status_0 alt+f Up Return
}

end_to_end() {
  wine "$APP_EXE" >"$WORK/tonquill.log" 2>&1 &
  APP_PID=$!
  check "the window \"$MAIN_TITLE\" appears" wait_until 60 window_exists "$MAIN_TITLE" || return
  check "the title bar shows the program's icon" title_bar_shows_icon
  # TQ_WINDOWS_SCREENSHOT=file.png keeps a picture of the display (ImageMagick).
  if [ -n "${TQ_WINDOWS_SCREENSHOT:-}" ]; then
    sleep 1
    import -window root "$TQ_WINDOWS_SCREENSHOT"
  fi
  check "1000 + Enter in the frequency box" enter_in_box "$FREQUENCY_BOX_ID" 1000
  sleep 0.5
  check "0 + Enter in the left level box" enter_in_box "$LEFT_LEVEL_BOX_ID" 0
  check "1000 Hz sine on the left, right channel silent" tone_on_the_left
  check "File -> List sound playback devices: \"Number of sound output devices is 1\"" \
    device_report_box
  check "Alt+F4 ends the program with status 0 within 2 s" ends_with_status_0 alt+F4
}

tq_apt_install "${TQ_WINDOWS_PACKAGES[@]}" || exit 1

tq_log "cross-building with mingw-w64"
if ! { cmake --preset mingw >/dev/null && cmake --build --preset mingw -j "$TQ_JOBS"; }; then
  fail "cross-build"
  exit 1
fi
pass "cross-build"

tq_log "Wine prefix and virtual display"
if ! start_wine_environment; then
  fail "Wine prefix and virtual display"
  exit 1
fi
pass "Wine prefix and virtual display"

tq_log "unit tests under Wine"
check "unit tests under Wine" ctest --test-dir "$BUILD_DIR" --output-on-failure --timeout 300

tq_log "icon groups"
check "tonquill.exe carries the icon groups IDI_ICON1 and IDR_MAINFRAME" \
  timeout 20 wine "$PROBE_EXE" icon-groups "$APP_EXE" IDI_ICON1 IDR_MAINFRAME

tq_log "end to end under Wine"
end_to_end

tq_log "end to end under Wine, without a sound device"
without_sound_device

tq_log "Windows leg"
echo "$failures check(s) failed"
[ "$failures" -eq 0 ]
