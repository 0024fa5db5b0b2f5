#!/usr/bin/env bash
# Takes the README's picture of the window: the real program (window, ALSA
# service and generator as main() builds them, run by tonquill_drive on Qt's
# offscreen platform, sound into ALSA's null device) set to 1000 Hz, a sine at
# -6 dB on the left and pink noise at -20 dB on the right, then grabbed into
# docs/images/window.png.
#
# Usage: scripts/screenshot.sh [OUTPUT]   (TQ_APP_BUILD_DIR: default build/dev)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
source tests/integration/lib.sh

output="$(realpath -m "${1:-docs/images/window.png}")"
build="${TQ_APP_BUILD_DIR:-build/dev}"
cmake --preset dev -B "$build" >/dev/null && cmake --build "$build" -j 2 --target tonquill_drive ||
  exit 1

work="$(mktemp -d /tmp/tq-screenshot.XXXXXX)"
trap 'tq_stop_pid "${tq_driver_pid:-}"; rm -rf "$work"' EXIT
printf 'pcm.!default { type null }\n' >"$work/null.conf"
mkdir -p "$(dirname "$output")"

tq_start_driver "$build/tests/qt/tonquill_drive" "$work/null.conf" "$work/driver.log"
tq_drive frequency 1000 && tq_drive level left -6 && tq_drive wave right Pink &&
  tq_drive level right -20 && tq_drive grab "$output" || {
  cat "$work/driver.log" >&2
  tq_fail "no picture was taken"
}
tq_exit_driver
echo "screenshot: $output"
