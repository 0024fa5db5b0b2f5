#!/usr/bin/env bash
# Wine leg: tonquill.exe at a display scale of DPI dots per inch (96 is
# 100 %, 144 is 150 %). The outer size is 600 x 280 and every control stands
# where the panel puts it at 96 DPI, both scaled by DPI / 96 (the scroll
# bars as wide as the client area less 120 scaled); every control's text
# fits inside it; the manifest (visual styles, per-monitor scaling, no
# elevation) and the version resource are in the executable. At 96 it runs
# in the fixtures' prefix; at any other scale in a fresh prefix of its own
# whose LogPixels is DPI, stopped at the end (Wine reads it at start).
#
# Usage: wine-scaling.sh MINGW_BUILD_DIR WORK_DIR DPI VERSION
#        (WINEPREFIX, TQ_XVFB_DIR: the fixtures)
set -uo pipefail
here="$(dirname "$0")"
source "$here/lib.sh"

TQ_MINGW="$1"
work="$2"
dpi="$3"
version="$4"
program="$TQ_MINGW/src/platform/win32/tonquill.exe"

# Class, id, x, y, width, height of each control at 96 DPI, in creation
# order; W is a scroll bar's width.
expected_at_96='Static 0 0 0 10000 10000
Static 0 100 0 100 20
Static 0 75 20 20 20
Edit 50 20 20 53 20
ScrollBar 0 100 30 W 20'
for section in "60 51 52 61 53 54 55 65 67" "140 56 57 62 58 59 60 66 68"; do
  read -r y box sine triangle square sawtooth pulse white pink <<<"$section"
  expected_at_96+="
Static 0 100 $y 200 20
Static 0 75 $((y + 20)) 20 20
Edit $box 20 $((y + 20)) 53 20
ScrollBar 0 100 $((y + 20)) W 20
Button $sine 20 $((y + 40)) 58 30
Button $triangle 78 $((y + 40)) 106 30
Button $square 184 $((y + 40)) 82 30
Button $sawtooth 266 $((y + 40)) 106 30
Button $pulse 372 $((y + 40)) 70 30
Button $white 442 $((y + 40)) 70 30
Button $pink 512 $((y + 40)) 58 30"
done

rm -rf "$work"
mkdir -p "$work"
app_pid=""
own_prefix=""
cleanup() {
  tq_stop_pid "$app_pid"
  [ -z "$own_prefix" ] || bash "$here/wine-stop.sh" "$own_prefix"
}
trap cleanup EXIT

if [ "$dpi" -ne 96 ]; then
  own_prefix="$work/wine"
  bash "$here/wine-start.sh" "$own_prefix" >"$work/wine-start.log" 2>&1 || {
    cat "$work/wine-start.log"
    tq_fail "a Wine prefix of its own"
  }
  export WINEPREFIX="$own_prefix/prefix" HOME="$own_prefix/home"
  timeout 60 wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
    >/dev/null || tq_fail "LogPixels $dpi"
fi
tq_use_display

# The scaled figure: rounded to the nearest pixel, as Windows' MulDiv does.
scale() { echo $((($1 * dpi + 48) / 96)); }

# The expected layout at $dpi for a client area $1 wide.
expected_layout() {
  local bar_width=$(($1 - $(scale 120)))
  awk -v dpi="$dpi" -v bar="$bar_width" '
    function scale(v) { return int((v * dpi + 48) / 96) }
    { print $1, $2, scale($3), scale($4), ($5 == "W" ? bar : scale($5)), scale($6) }' \
    <<<"$expected_at_96"
}

pass() { echo "PASS: $*"; }

wine "$program" >"$work/tonquill.log" 2>&1 &
app_pid=$!
tq_wait_until 60 tq_window_exists "$TQ_MAIN_TITLE" || tq_fail "the window does not appear"
tq_wait_until 10 tq_probe layout "$TQ_MAIN_TITLE" || tq_fail "no layout of the window"
tq_probe layout "$TQ_MAIN_TITLE" | tr -d '\r' >"$work/layout.txt"
cat "$work/layout.txt"

read -r _ outer_width outer_height < <(grep '^window ' "$work/layout.txt")
[ "$outer_width $outer_height" = "$(scale 600) $(scale 280)" ] ||
  tq_fail "outer size $outer_width x $outer_height at $dpi DPI, not $(scale 600) x $(scale 280)"
pass "outer size $outer_width x $outer_height at $dpi DPI"

read -r _ client_width _ < <(grep '^client ' "$work/layout.txt")
diff <(expected_layout "$client_width") <(grep -v '^window \|^client ' "$work/layout.txt") ||
  tq_fail "the controls do not stand where the layout puts them at $dpi DPI"
pass "every control stands where the layout puts it, scaled to $dpi DPI"

tq_probe text-fits "$TQ_MAIN_TITLE" || tq_fail "a control's text does not fit inside it"
pass "every control's text fits inside it"

tq_probe manifest "$program" >"$work/manifest.xml" || tq_fail "no manifest in tonquill.exe"
for part in 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' \
  '>PerMonitorV2, PerMonitor<' '>true/pm<' 'level="asInvoker"' \
  '{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}'; do
  grep -qF "$part" "$work/manifest.xml" || tq_fail "the manifest lacks $part"
done
pass "the manifest: Common Controls 6, per-monitor v2 scaling, asInvoker, Windows 10 and 11"

tq_probe version "$program" | tr -d '\r' >"$work/version.txt"
diff - "$work/version.txt" <<VERSION || tq_fail "the version resource"
FileVersionNumber=$version.0
ProductName=Tonquill
CompanyName=Varnholt Electronics
FileDescription=Tonquill two-channel audio function generator
FileVersion=$version
ProductVersion=$version
VERSION
pass "the version resource: Tonquill $version by Varnholt Electronics"
