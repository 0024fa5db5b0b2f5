#!/usr/bin/env bash
# Checks of the Windows zip and installer, one per CTest test:
#   check_zip.sh workflow SOURCE_DIR   builds them: cmake --workflow --preset mingw
#   check_zip.sh contents ZIP SOURCE_DIR
#                                      tonquill.exe and its page tonquill.html, README.txt
#                                      and LICENSE.txt, nothing else
#   check_zip.sh wine ZIP MINGW_BUILD_DIR
#                                      the tonquill.exe unpacked from it opens its window
#                                      under Wine (the fixtures' display and prefix) and
#                                      File -> Exit! ends it with status 0
#   check_zip.sh installer MINGW_BUILD_DIR VERSION
#                                      the workflow made tonquill-VERSION-setup.exe beside
#                                      the zip: a 64-bit Windows program, an NSIS installer
#                                      (it is run under Wine by the wine leg)
# Each prints what it found and exits non-zero on the first failed check.
set -uo pipefail

# tq_wait_until, tq_probe, tq_open_file_menu, tq_keys_end_program ...
# shellcheck source=../integration/lib.sh
source "$(dirname "$0")/../integration/lib.sh"

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

WORK=""
APP_PID=""

cleanup() {
  tq_stop_pid "$APP_PID"
  [ -n "$WORK" ] && rm -rf "$WORK"
}

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
  [ "$listed" = "LICENSE.txt README.txt tonquill.exe tonquill.html " ] ||
    fail "the zip holds: $listed"
  unpack "$zip"
  [ "$(head -c 2 "$WORK/zip/tonquill.exe")" = "MZ" ] || fail "tonquill.exe is not a Windows program"
  cmp -s "$WORK/zip/tonquill.html" "$source_dir/data/tonquill.html" ||
    fail "tonquill.html is not data/tonquill.html"
  same_text_with_crlf "$WORK/zip/README.txt" "$source_dir/README.md" ||
    fail "README.txt is not README.md with Windows line ends"
  same_text_with_crlf "$WORK/zip/LICENSE.txt" "$source_dir/LICENSE" ||
    fail "LICENSE.txt is not LICENSE with Windows line ends"
  echo "the zip holds $listed"
}

# On the display and in the Wine prefix of the fixtures (TQ_XVFB_DIR,
# WINEPREFIX), with a HOME of its own whose ALSA default device discards
# the sound; tq_probe of the mingw build $2 tells when the menu is open.
starts_under_wine() {
  unpack "$1"
  TQ_MINGW="$2"
  mkdir -p "$WORK/home"
  cat >"$WORK/home/.asoundrc" <<CONF
pcm.!default {
  type file
  slave.pcm "null"
  file "/dev/null"
  format "raw"
}
CONF
  export HOME="$WORK/home"
  tq_use_display
  wine "$WORK/zip/tonquill.exe" >"$WORK/tonquill.log" 2>&1 &
  APP_PID=$!
  tq_wait_until 60 tq_window_exists "$TQ_MAIN_TITLE" ||
    fail "the window \"$TQ_MAIN_TITLE\" does not appear"
  echo "the window \"$TQ_MAIN_TITLE\" appears"
  tq_wait_until 10 tq_probe foreground "$TQ_MAIN_TITLE" || fail "the window is not in front"
  tq_open_file_menu || fail "Alt+F does not open the File menu"
  # Up from the menu's first item reaches its last one, "Exit!".
  tq_keys_end_program "$APP_PID" Up Return || fail "File -> Exit! does not end it with status 0"
  APP_PID=""
  echo "File -> Exit! ends it with status 0"
}

installer() {
  local setup="$1/tonquill-$2-setup.exe"
  [ -f "$setup" ] || fail "no installer at $setup; the build holds: $(cd "$1" && ls -- *.exe 2>/dev/null)"
  local pe_offset machine
  pe_offset="$(od -An -t u4 -j 60 -N 4 "$setup" | tr -d ' ')"
  machine="$(od -An -t x2 -j $((pe_offset + 4)) -N 2 "$setup" | tr -d ' ')"
  [ "$(head -c 2 "$setup")" = "MZ" ] && [ "$machine" = "8664" ] ||
    fail "$setup is not a 64-bit Windows program (machine $machine)"
  grep -qa "Nullsoft" "$setup" || fail "$setup is not an NSIS installer"
  echo "$(basename "$setup"): a 64-bit NSIS installer of $(stat -c %s "$setup") bytes"
}

command="${1:-}"
shift || true
case "$command" in
  workflow) workflow "$@" ;;
  contents) contents "$@" ;;
  wine) starts_under_wine "$@" ;;
  installer) installer "$@" ;;
  *) fail "unknown check '$command'" ;;
esac
