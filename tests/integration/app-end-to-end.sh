#!/usr/bin/env bash
# The Linux program end to end: the window, the sound service (the sound
# server's, as the fixture's server answers) and the generator as main()
# builds them, worked through the widgets by
# tonquill_drive, set to 1000 Hz, a sine at -6 dB on the left and pink noise
# at -20 dB on the right, playing into the null sink of a sound server
# fixture (PulseAudio or PipeWire). Two seconds recorded from the sink's
# monitor must show the frequency and both levels of what tonquill-render
# makes of the same settings, the sine without a gap or a phase step
# (tests/qt/check_recording.py); then File -> Exit! ends it with status 0.
#
# Usage: app-end-to-end.sh TONQUILL_DRIVE TONQUILL_RENDER WORK_DIR
# (TQ_ALSA_PULSE_CONF, TQ_PULSE_MONITOR, PULSE_SERVER: the fixture)
set -uo pipefail
source "$(dirname "$0")/lib.sh"

drive="$1"
render="$2"
work="$3"
monitor="$work/monitor.raw"
bytes_per_second=$((44100 * 4))
# A change is heard once the two queued 8192-frame buffers and the sink's
# latency (1024 frames; ALSA's ring: 100 ms) have played; a quarter of a second
# more for the sound server.
settle_bytes=$(((2 * 8192 + 1764 + 11025) * 4))
record_bytes=$((2 * bytes_per_second))

rm -rf "$work"
mkdir -p "$work"
# 1024 frames a fragment: a shorter one would shrink PipeWire's cycle for every stream.
parec --latency=4096 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
  >"$monitor" 2>"$work/parec.log" &
parec_pid=$!
trap 'tq_stop_pid "$parec_pid"; tq_stop_pid "${tq_driver_pid:-}"' EXIT
tq_wait_until 10 tq_file_at_least "$monitor" 4096 || tq_fail "parec records nothing"

tq_start_driver "$drive" "$TQ_ALSA_PULSE_CONF" "$work/driver.log"
tq_drive frequency 1000 && tq_drive wave left Sine && tq_drive level left -6 &&
  tq_drive wave right Pink && tq_drive level right -20 || tq_fail "the settings are taken"
from=$(($(tq_file_size "$monitor") + settle_bytes))
tq_wait_until 15 tq_file_at_least "$monitor" $((from + record_bytes)) ||
  tq_fail "the monitor recording does not grow"
state="$(tq_drive state)"
echo "$state"
[[ "$state" == *" service=pulse" ]] || tq_fail "the program plays as the sound server's client"
tq_exit_driver || {
  cat "$work/driver.log"
  tq_fail "File -> Exit! ends the program with status 0"
}
tq_stop_pid "$parec_pid"
tail -c +$((from + 1)) "$monitor" | head -c "$record_bytes" >"$work/recording.raw"

"$render" --left sine --right pink --frequency 1000 --left-level -6 --right-level -20 \
  --seconds 30 -o - >"$work/reference.raw" || tq_fail "tonquill-render"
/usr/bin/python3 "$(dirname "$0")/../qt/check_recording.py" "$work/recording.raw" \
  "$work/reference.raw" 1000 || tq_fail "the recording matches the renderer's output"
