#!/usr/bin/env bash
# Fixture: a fresh Wine prefix in DIR/prefix (WINEPREFIX) on the Xvfb
# fixture's display, with its server kept running for the Wine legs (PID in
# DIR/wineserver.pid). Wine draws its own window frames (no window manager
# on Xvfb) and plays through ALSA; in DIR/home (the legs' HOME unless they
# bring their own) ALSA's default device writes what is played to
# DIR/capture.raw, so that the Windows unit tests have a wave device.
#
# Usage: wine-start.sh DIR      (TQ_XVFB_DIR: the Xvfb fixture; stopped by wine-stop.sh DIR)
set -euo pipefail
source "$(dirname "$0")/lib.sh"

dir="$1"
bash "$(dirname "$0")/wine-stop.sh" "$dir"
mkdir -p "$dir/prefix" "$dir/home"
cat >"$dir/home/.asoundrc" <<CONF
pcm.!default {
  type file
  slave.pcm "null"
  file "$dir/capture.raw"
  format "raw"
}
CONF
export WINEPREFIX="$dir/prefix" HOME="$dir/home" WINEDEBUG=-all WINEDLLOVERRIDES="mshtml,mscoree="
tq_use_display
wineserver --persistent --foreground </dev/null >"$dir/wineserver.log" 2>&1 &
echo $! >"$dir/wineserver.pid"
timeout 300 wineboot --init >"$dir/wineboot.log" 2>&1 || {
  cat "$dir/wineboot.log" >&2
  tq_fail "wineboot could not make the prefix"
}
timeout 60 wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null
timeout 60 wine reg add 'HKCU\Software\Wine\Drivers' /v Audio /d alsa /f >/dev/null
echo "Wine prefix $WINEPREFIX, wineserver $(cat "$dir/wineserver.pid") on $DISPLAY"
