#!/usr/bin/env bash
# Checks of the Windows zip, one per CTest test:
#   check_zip.sh workflow SOURCE_DIR   builds it: cmake --workflow --preset mingw
#   check_zip.sh contents ZIP SOURCE_DIR
#                                      tonquill.exe, README.txt and LICENSE.txt, nothing else
#   check_zip.sh wine ZIP              the tonquill.exe unpacked from it opens its window
#                                      under Wine and File -> Exit! ends it with status 0
# Each prints what it found and exits non-zero on the first failed check.
set -uo pipefail

MAIN_TITLE="Varnholt Tonquill"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

WORK=""
XVFB_PID=""
WINESERVER_PID=""
APP_PID=""

# Stops process $1 by its PID: TERM, then KILL after 5 s.
stop_pid() {
  [ -n "$1" ] && kill -0 "$1" 2>/dev/null || return 0
  kill "$1" 2>/dev/null
  wait_until 5 gone "$1" || kill -9 "$1" 2>/dev/null
  wait "$1" 2>/dev/null
  return 0
}

cleanup() {
  stop_pid "$APP_PID"
  if [ -n "$WINESERVER_PID" ]; then
    timeout 10 wineserver -k 2>/dev/null
    stop_pid "$WINESERVER_PID"
  fi
  stop_pid "$XVFB_PID"
  [ -n "$WORK" ] && rm -rf "$WORK"
}

# Runs until "$@" succeeds, at most $1 seconds.
wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -ge "$deadline" ] && return 1
    sleep 0.2
  done
}

gone() { ! kill -0 "$1" 2>/dev/null; }

# Unpacks the zip into $WORK/zip, removed at the end.
unpack() {
  [ -f "$1" ] || fail "no zip at $1 (the workflow test builds it)"
  local zip
  zip="$(realpath "$1")"
  WORK="$(mktemp -d /tmp/tq-zip.XXXXXX)"
  trap cleanup EXIT
  mkdir "$WORK/zip"
  (cd "$WORK/zip" && cmake -E tar xf "$zip") || fail "cannot unpack $1"
}

workflow() {
  cd "$1" || fail "no source directory $1"
  export CMAKE_BUILD_PARALLEL_LEVEL="${CMAKE_BUILD_PARALLEL_LEVEL:-${TQ_JOBS:-2}}"
  cmake --workflow --preset mingw
}

# Text $1 of the zip is file $2 of the sources, every line ending in CR LF.
same_text_with_crlf() {
  local lines crlf_lines
  lines="$(wc -l <"$1")"
  crlf_lines="$(grep -c $'\r$' "$1")"
  [ "$lines" -gt 0 ] && [ "$lines" -eq "$crlf_lines" ] || return 1
  cmp -s <(tr -d '\r' <"$1") "$2"
}

contents() {
  local zip="$1" source_dir="$2"
  [ -f "$zip" ] || fail "no zip at $zip (the workflow test builds it)"
  local listed
  listed="$(cmake -E tar tf "$zip" | sort | tr '\n' ' ')"
  [ "$listed" = "LICENSE.txt README.txt tonquill.exe " ] || fail "the zip holds: $listed"
  unpack "$zip"
  [ "$(head -c 2 "$WORK/zip/tonquill.exe")" = "MZ" ] || fail "tonquill.exe is not a Windows program"
  same_text_with_crlf "$WORK/zip/README.txt" "$source_dir/README.md" ||
    fail "README.txt is not README.md with Windows line ends"
  same_text_with_crlf "$WORK/zip/LICENSE.txt" "$source_dir/LICENSE" ||
    fail "LICENSE.txt is not LICENSE with Windows line ends"
  echo "the zip holds $listed"
}

# A virtual display and a fresh Wine prefix whose ALSA default device
# discards the sound, as in the Windows leg.
start_wine_environment() {
  export HOME="$WORK/home" WINEPREFIX="$WORK/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mshtml,mscoree="
  mkdir -p "$HOME" "$WINEPREFIX"
  cat >"$HOME/.asoundrc" <<EOF
pcm.!default {
  type file
  slave.pcm "null"
  file "/dev/null"
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

window_exists() { xdotool search --name "^$1\$"; }
visible_windows() { xdotool search --onlyvisible --name '' 2>/dev/null | wc -l; }
more_windows_than() { [ "$(visible_windows)" -gt "$1" ]; }

# Alt+F opens the File menu, a window of its own; Up from its first item
# reaches the last one.
choose_exit() {
  local before
  before="$(visible_windows)"
  xdotool search --name "^$MAIN_TITLE\$" windowfocus --sync &&
    xdotool key alt+f &&
    wait_until 10 more_windows_than "$before" &&
    xdotool key Up Return
}

starts_under_wine() {
  unpack "$1"
  start_wine_environment || fail "Wine prefix and virtual display"
  wine "$WORK/zip/tonquill.exe" >"$WORK/tonquill.log" 2>&1 &
  APP_PID=$!
  wait_until 60 window_exists "$MAIN_TITLE" || fail "the window \"$MAIN_TITLE\" did not appear"
  echo "the window \"$MAIN_TITLE\" appears"
  choose_exit || fail "cannot choose File -> Exit!"
  wait_until 10 gone "$APP_PID" || fail "still running 10 s after File -> Exit!"
  wait "$APP_PID"
  local status=$?
  APP_PID=""
  [ "$status" -eq 0 ] || fail "ended with status $status"
  echo "File -> Exit! ends it with status 0"
}

command="${1:-}"
shift || true
case "$command" in
  workflow) workflow "$@" ;;
  contents) contents "$@" ;;
  wine) starts_under_wine "$@" ;;
  *) fail "unknown check '$command'" ;;
esac
