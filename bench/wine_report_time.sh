#!/usr/bin/env bash
# Times the Windows program's sound device report under Wine: from the
# Return that picks File -> "List sound playback devices" to the report's box
# on screen, over RUNS runs, with the program playing into an ALSA file
# plugin meanwhile. Xvfb and the Wine prefix are the Wine legs' own fixtures,
# started here in a temporary folder and stopped by their PIDs at the end.
#
# Usage: bench/wine_report_time.sh [MINGW_BUILD_DIR] [RUNS]
# MINGW_BUILD_DIR (default build/mingw) must hold tonquill.exe and
# tq_probe.exe (preset mingw).
set -uo pipefail
here="$(cd "$(dirname "$0")/../tests/integration" && pwd)"
source "$here/lib.sh"

TQ_MINGW="$(realpath "${1:-build/mingw}")"
runs="${2:-5}"
box_title="Message Zavadudor Eduzuvovo"
work="$(mktemp -d /tmp/tq-wine-report.XXXXXX)"
app_pid=""

clean_up() {
  tq_stop_pid "$app_pid"
  bash "$here/wine-stop.sh" "$work/wine" >/dev/null 2>&1
  tq_stop_pid_file "$work/xvfb/xvfb.pid" Xvfb
  rm -rf "$work"
}
trap clean_up EXIT

export TQ_XVFB_DIR="$work/xvfb"
bash "$here/xvfb-start.sh" "$TQ_XVFB_DIR" || exit 1
bash "$here/wine-start.sh" "$work/wine" || exit 1
export WINEPREFIX="$work/wine/prefix" WINEDEBUG=-all HOME="$work/home"
mkdir -p "$HOME"
printf 'pcm.!default { type file slave.pcm "null" file "%s" format "raw" }\n' \
  "$work/capture.raw" >"$HOME/.asoundrc"
tq_use_display

wine "$TQ_MINGW/src/platform/win32/tonquill.exe" >"$work/tonquill.log" 2>&1 &
app_pid=$!
tq_wait_until 60 tq_window_exists "$TQ_MAIN_TITLE" || tq_fail "the program's window did not appear"

# Milliseconds from the menu command to the box; the box is closed again.
time_one_report() {
  tq_open_file_menu || return 1
  local start end
  start="$(date +%s%N)"
  xdotool key Return
  tq_wait_until 120 tq_window_exists "$box_title" || return 1
  end="$(date +%s%N)"
  echo $(((end - start) / 1000000))
  xdotool key Return
  tq_wait_until 10 tq_window_gone "$box_title"
}

for run in $(seq 1 "$runs"); do
  ms="$(time_one_report)" || tq_fail "run $run: no report box"
  echo "run $run: ${ms} ms from the menu command to the report's box"
done
