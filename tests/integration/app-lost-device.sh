#!/usr/bin/env bash
# The Linux program when its sound server goes away and comes back: the
# real program (tonquill_drive: window, sound service, generator as main()
# builds them) starts before the sound server of this test's own, which
# PULSE_SERVER already names: TQ_SERVER=pulse (the default) a PulseAudio
# daemon (pulse-start.sh in WORK_DIR), pipewire the whole PipeWire
# (pipewire-start.sh: pipewire, wireplumber, pipewire-pulse). One notice
# box, and the program plays on the server's sink within 2 s of its answer.
# It then plays a 1000 Hz sine at -6 dB on the left into the server, which
# is stopped. Checked: one notice box within 1 s, the program's CPU while it
# waits below 0.2 % of a core, the same sine at the same level recorded from
# the sink within 2 s of the daemon answering again, no second box for a
# second loss while the first is open, and File -> Exit! while the device is
# away ends the program at once with status 0.
#
# Usage: app-lost-device.sh TONQUILL_DRIVE TONQUILL_RENDER WORK_DIR
set -uo pipefail
here="$(dirname "$0")"
source "$here/lib.sh"

drive="$1"
render="$2"
work="$3"
server="${TQ_SERVER:-pulse}"
pulse="$work/$server"
notice="The sound device was lost. Tonquill plays again as soon as it is back."
measure_seconds=10

rm -rf "$work"
mkdir -p "$work"
parec_pid=""
trap 'tq_stop_pid "$parec_pid"; tq_stop_pid "${tq_driver_pid:-}"; stop_daemon' EXIT

start_daemon() {
  bash "$here/$server-start.sh" "$pulse" >>"$work/$server-start.log" 2>&1 ||
    tq_fail "the $server server starts (log: $work/$server-start.log)"
  set -a
  # shellcheck disable=SC1091
  source "$pulse/environment"
  set +a
}
stop_daemon() {
  if [ "$server" = pipewire ]; then
    bash "$here/pipewire-stop.sh" "$pulse"
  else
    tq_stop_pid_file "$pulse/pulseaudio.pid" pulseaudio
  fi
}
# Where the server's PulseAudio protocol socket will be.
socket="$pulse/native"
[ "$server" = pulse ] || socket="$pulse/pulse/native"
now_ms() { echo $(($(date +%s%N) / 1000000)); }

# CPU time of every thread of process $1, in nanoseconds.
cpu_ns() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ total += $1 } END { print total + 0 }'
}

# Waits (at most $1 s) until the program shows $2 open boxes; prints them.
wait_for_boxes() {
  local deadline=$((SECONDS + $1)) listing
  while :; do
    listing="$(tq_drive_boxes)" || return 1
    if [ "$(head -n 1 <<<"$listing")" = "ok boxes $2" ]; then
      echo "$listing"
      return 0
    fi
    [ "$SECONDS" -lt "$deadline" ] || {
      echo "$listing"
      return 1
    }
    sleep 0.05
  done
}

# The program's stream plays on the daemon's sink.
stream_on_sink() { [ -n "$(timeout 5 pactl list short sink-inputs 2>/dev/null)" ]; }
# The service has noticed a loss (the driver's state line says lost=1); the
# second round trip lets the loss event queued before it reach the window.
device_lost() { tq_drive state | grep -q ' lost=1' && tq_drive state >/dev/null; }

echo "-- the program starts before the daemon"
export PULSE_SERVER="unix:$socket" PULSE_CLIENTCONFIG="$work/client.conf"
printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
tq_start_driver "$drive" /dev/null "$work/driver.log"
tq_drive state | grep -q ' service=pulse' || tq_fail "the sound server's service is chosen"
boxes="$(wait_for_boxes 3 1)" || tq_fail "one notice box while no server answers: $boxes"
grep -qF "$notice" <<<"$boxes" || tq_fail "the box says the device is away"
start_daemon
answered=$(now_ms)
tq_wait_until 10 stream_on_sink || tq_fail "the program plays on the daemon's sink"
arrived=$(($(now_ms) - answered))
echo "playing on the daemon's sink ${arrived} ms after it answered"
[ "$arrived" -le 2000 ] || tq_fail "the program plays within 2 s of the server's arrival"
tq_drive dismiss >/dev/null || tq_fail "the notice box is closed"
tq_drive frequency 1000 && tq_drive wave left Sine && tq_drive level left -6 ||
  tq_fail "the settings are taken"

echo "-- the daemon stops while the program plays"
stop_daemon
stopped=$(now_ms)  # the daemon is gone
boxes="$(wait_for_boxes 3 1)" || tq_fail "one notice box after the loss: $boxes"
noticed=$(($(now_ms) - stopped))
echo "$boxes"
grep -qF "$notice" <<<"$boxes" || tq_fail "the box says the device was lost"
echo "notice box shown ${noticed} ms after the daemon was gone"
[ "$noticed" -le 1500 ] || tq_fail "the loss is noticed within 1 s (and the box asked for)"

before=$(cpu_ns "$tq_driver_pid")
sleep "$measure_seconds"
after=$(cpu_ns "$tq_driver_pid")
cpu_percent="$(awk -v a="$before" -v b="$after" -v s="$measure_seconds" \
  'BEGIN { printf "%.3f", (b - a) / (s * 1e7) }')"
echo "CPU while the device is away: ${cpu_percent} % of one core over ${measure_seconds} s"
awk -v p="$cpu_percent" 'BEGIN { exit !(p < 0.2) }' || tq_fail "CPU while waiting below 0.2 %"

echo "-- the daemon starts again"
start_daemon
back=$(now_ms)
# 1024 frames a fragment: a shorter one would shrink PipeWire's cycle for every stream.
parec --latency=4096 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
  >"$work/monitor.raw" 2>"$work/parec.log" &
parec_pid=$!
recording_started=$(now_ms)
tq_wait_until 15 tq_file_at_least "$work/monitor.raw" $((4 * 44100 * 4)) ||
  tq_fail "4 s recorded from the sink's monitor"
tq_stop_pid "$parec_pid"
parec_pid=""
tq_drive state
"$render" --left sine --frequency 1000 --left-level -6 --seconds 1 -o - >"$work/reference.raw" ||
  tq_fail "tonquill-render"
/usr/bin/python3 - "$work/monitor.raw" "$work/reference.raw" \
  $((recording_started - back)) <<'PYTHON' || tq_fail "the sine is heard again within 2 s"
import sys
import numpy as np

RATE = 44100
recording = np.fromfile(sys.argv[1], dtype="<i2").reshape(-1, 2)[:, 0].astype(np.float64)
reference = np.fromfile(sys.argv[2], dtype="<i2").reshape(-1, 2)[:, 0].astype(np.float64)
late_ms = int(sys.argv[3])
window = RATE // 100
want = np.sqrt(np.mean(reference * reference))
onset = None
for start in range(0, len(recording) - window, window):
    part = recording[start:start + window]
    if abs(20 * np.log10(np.sqrt(np.mean(part * part)) / want + 1e-12)) < 1.0:
        onset = start
        break
if onset is None:
    sys.exit("no stretch of the sine's level in the recording")
heard_ms = late_ms + onset * 1000 // RATE
# The frequency and level of one second, half a second after the onset.
stretch = recording[onset + RATE // 2:onset + RATE // 2 + RATE]
rising = np.nonzero((stretch[:-1] < 0) & (stretch[1:] >= 0))[0]
crossings = rising + stretch[rising] / (stretch[rising] - stretch[rising + 1])
frequency = (len(crossings) - 1) * RATE / (crossings[-1] - crossings[0])
level = 20 * np.log10(np.sqrt(np.mean(stretch * stretch)) / want)
print(f"heard again {heard_ms} ms after the daemon answered: "
      f"{frequency:.3f} Hz, {level:+.2f} dB against the renderer")
ok = heard_ms <= 2000 and abs(frequency - 1000) < 0.1 and abs(level) < 0.5 and len(stretch) == RATE
sys.exit(0 if ok else 1)
PYTHON

echo "-- a second loss while the first box is still open"
stop_daemon
tq_wait_until 10 device_lost || tq_fail "the second loss is noticed"
boxes="$(wait_for_boxes 0 1)" || tq_fail "still one box after a second loss: $boxes"

echo "-- File -> Exit! while the device is away"
exit_started=$(now_ms)
tq_exit_driver || {
  cat "$work/driver.log"
  tq_fail "File -> Exit! ends the program with status 0"
}
ended=$(($(now_ms) - exit_started))
echo "ended ${ended} ms after Exit!"
[ "$ended" -le 1000 ] || tq_fail "the program ends at once while the device is away"
