#!/usr/bin/env bash
# The live player without a sound device: no sound server answers or is
# expected, and ALSA's default names a card that is not there. It ends with
# status 1 and one line on standard error that says what was tried, within
# 3 seconds.
#
# Usage: player-no-device.sh TONQUILL_PLAY WORK_DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

play="$1"
work="$2"
rm -rf "$work"
mkdir -p "$work"
tq_without_sound_device "$work"
export ALSA_CONFIG_PATH="$work/no-device.conf"

start=$(date +%s%N)
timeout 10 "$play" --frequency 440 </dev/null >"$work/stdout" 2>"$work/stderr"
status=$?
elapsed_ms=$((($(date +%s%N) - start) / 1000000))
cat "$work/stderr"
echo "status $status after $elapsed_ms ms"
[ "$status" -eq 1 ] || tq_fail "status 1"
[ "$(wc -l <"$work/stderr")" -eq 1 ] || tq_fail "one line on standard error"
grep -q 'sound server' "$work/stderr" && grep -q 'ALSA' "$work/stderr" ||
  tq_fail "the line says what was tried"
[ ! -s "$work/stdout" ] || tq_fail "nothing on standard output"
[ "$elapsed_ms" -le 3000 ] || tq_fail "it ends within 3 s"
