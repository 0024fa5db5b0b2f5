#!/usr/bin/env bash
# Takes the README's picture of the window: the real program (window, ALSA
# service and generator as main() builds them, run by tonquill_drive on Qt's
# offscreen platform, sound into ALSA's null device) set to 1000 Hz, a sine at
# -6 dB on the left and pink noise at -20 dB on the right, then grabbed into
# docs/images/window.png.
#
# Usage: scripts/screenshot.sh [OUTPUT]   (TQ_APP_BUILD_DIR: default build/dev)
set -euo pipefail
source "$(dirname "$0")/lib.sh"
cd "$TQ_ROOT"

output="$(realpath -m "${1:-docs/images/window.png}")"
build="${TQ_APP_BUILD_DIR:-build/dev}"
tq_apt_install "${TQ_BUILD_PACKAGES[@]}" googletest libgtest-dev libbenchmark-dev
cmake --preset dev -B "$build" >/dev/null
cmake --build "$build" -j "$TQ_JOBS" --target tonquill_drive

work="$(mktemp -d /tmp/tq-screenshot.XXXXXX)"
trap 'rm -rf "$work"' EXIT
printf 'pcm.!default { type null }\n' >"$work/null.conf"
mkdir -p "$(dirname "$output")"

# The commands, then a pause so the last one is answered before input ends.
{
  printf '%s\n' "frequency 1000" "level left -6" "wave right Pink" "level right -20" \
    "grab $output"
  sleep 1
} | env ALSA_CONFIG_PATH="$work/null.conf" QT_QPA_PLATFORM=offscreen \
  timeout 30 "$build/tests/qt/tonquill_drive" 2>"$work/driver.log" | tee "$work/answers"
grep -q '^ok grab ' "$work/answers" || {
  echo "no picture was taken; the driver's log:" >&2
  cat "$work/driver.log" >&2
  exit 1
}
echo "screenshot: $output"
