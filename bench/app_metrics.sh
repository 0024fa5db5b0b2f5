#!/usr/bin/env bash
# Measures the Linux program on a private PulseAudio null sink:
#  - time from start to the window shown: the real `tonquill` on a private
#    X server (Xvfb), from the launch until the window is mapped, 5 runs;
#  - CPU use over SECONDS (default 60) while playing, in all and per thread
#    (the run times the scheduler counts), and resident memory:
#    the real `tonquill` as it starts (stream running, levels at start-up),
#    and the same program run by tonquill_drive with 1000 Hz, a sine at
#    -6 dB on the left and pink noise at -20 dB on the right;
#  - PulseAudio's own client `pacat` playing into the same sink for SECONDS
#    with the buffer attributes of the program's stream (2 x 32768 bytes
#    queued on the server, asked for 32768 at a time, the sink 1024 frames
#    ahead: pacat always asks the server to adjust the latency, so its
#    target is the two buffers and twice the sink's 1024 frames), and the
#    ratio of the program's stream thread (tq-pulse) to it;
#  - the program while no sound server answers (PULSE_SERVER names a socket
#    nobody listens on): its CPU over SECONDS, per thread, retrying;
#  - change latency for frequency and level: tonquill_drive changes them
#    through the widgets while the sink's monitor is recorded
#    (bench/app_latency.py).
# Everything started here is stopped by its PID at the end, also on failure.
#
# Usage: bench/app_metrics.sh [SECONDS]   (TQ_APP_BUILD_DIR: default build/dev)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
[ -n "${TQ_ALSA_PULSE_CONF:-}" ] || exec bash scripts/pulse-env.sh bash "$0" "$@"
source tests/integration/lib.sh
source bench/metrics_lib.sh

seconds="${1:-60}"
build="${TQ_APP_BUILD_DIR:-build/dev}"
app="$build/src/platform/qt/tonquill"
drive="$build/tests/qt/tonquill_drive"
work="$(mktemp -d /tmp/tq-metrics.XXXXXX)"
pids=()

cmake --preset dev -B "$build" >/dev/null &&
  cmake --build "$build" -j 2 --target tonquill tonquill_drive || exit 1

clean_up() {
  local pid
  for pid in "${pids[@]}"; do tq_stop_pid "$pid"; done
  pids=()
  rm -rf "$work"
}

trap clean_up EXIT
export ALSA_CONFIG_PATH="$TQ_ALSA_PULSE_CONF"

# The sound server's run time in nanoseconds, all its threads.
server_pid="$(cat "$(dirname "${PULSE_SERVER#unix:}")/pulseaudio.pid" 2>/dev/null)"
server_run_time() { cpu_ns "$server_pid"; }

# CPU use of PID over the measuring time, in all and per thread, then its
# resident memory; the sound server's CPU over the same time.
measure_playing() {
  local name="$1" pid="$2" server_before
  sleep 2
  thread_run_times "$pid" >"$work/before"
  server_before="$(server_run_time)"
  sleep "$seconds"
  thread_run_times "$pid" >"$work/after"
  awk -v a="$server_before" -v b="$(server_run_time)" -v s="$seconds" -v n="$name" \
    'BEGIN { printf "%s: the sound server meanwhile %.2f %% of one core\n", n, (b - a) / s / 1e7 }'
  LC_ALL=C join "$work/before" "$work/after" | awk -v s="$seconds" -v n="$name" '
    { used = ($5 - $3) / 1e9; total += used
      if (used > 0) printf "%s:   thread %s (%s) %.2f %%\n", n, $1, $2, used * 100 / s }
    END { printf "%s: CPU %.2f %% of one core over %d s\n", n, total * 100 / s, s }'
  awk -v n="$name" '/^VmRSS|^VmHWM/ { printf "%s: %s %.1f MB\n", n, $1, $2 / 1024 }' \
    "/proc/$pid/status"
}

# Run time of the thread named $2 in the "after" table of the last
# measure_playing, in nanoseconds (0 if none).
thread_used() {
  LC_ALL=C join "$work/before" "$work/after" | awk -v t="$1" '$2 == t { used += $5 - $3 }
    END { print used + 0 }'
}

printf "\n== %s\n" "start to window shown (Xvfb)"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
tq_wait_until 5 grep -qx '[0-9]\+' "$work/display"
export DISPLAY=":$(cat "$work/display")"
for run in 1 2 3 4 5; do
  start_ns="$(date +%s%N)"
  QT_QPA_PLATFORM=xcb "$app" 2>"$work/app-$run.log" &
  app_pid=$!
  pids+=("$app_pid")
  shown=""
  for _ in $(seq 1000); do
    if xdotool search --onlyvisible --name '^Varnholt Tonquill$' >/dev/null 2>&1; then
      shown="$(date +%s%N)"
      break
    fi
    tq_gone "$app_pid" && break
    sleep 0.005
  done
  if [ -z "$shown" ]; then
    echo "run $run: the window did not appear; the program said:"
    cat "$work/app-$run.log"
  else
    echo "run $run: $(((shown - start_ns) / 1000000)) ms"
  fi
  if [ "$run" -lt 5 ]; then tq_stop_pid "$app_pid"; fi
done

printf "\n== %s\n" "the real program as it starts, playing, for $seconds s"
measure_playing "tonquill (start-up levels)" "$app_pid"
stream_ns="$(thread_used tq-pulse)"
tq_stop_pid "$app_pid"

printf "\n== %s\n" "pacat, the stream's buffer attributes, for $seconds s"
pacat --raw --format=s16le --rate=44100 --channels=2 --latency=73728 --process-time=32768 \
  -d "$PULSE_SINK" </dev/zero 2>"$work/pacat.log" &
pacat_pid=$!
pids+=("$pacat_pid")
measure_playing "pacat" "$pacat_pid"
pacat_ns="$(LC_ALL=C join "$work/before" "$work/after" | awk '{ t += $5 - $3 } END { print t }')"
tq_stop_pid "$pacat_pid"
awk -v a="$stream_ns" -v b="$pacat_ns" \
  'BEGIN { printf "stream thread (tq-pulse) / pacat: %.2f\n", (b > 0 ? a / b : 0) }'

printf "\n== %s\n" "the real program while no sound server answers, for $seconds s"
PULSE_SERVER="unix:$work/no-server" QT_QPA_PLATFORM=xcb "$app" 2>/dev/null &
waiting_pid=$!
pids+=("$waiting_pid")
measure_playing "tonquill (no server yet)" "$waiting_pid"
tq_stop_pid "$waiting_pid"

printf "\n== %s\n" "the program with a sine and pink noise set, for $seconds s"
coproc DRIVER { exec env QT_QPA_PLATFORM=offscreen "$drive" 2>"$work/driver.log"; }
pids+=("$DRIVER_PID")
exec {to_driver}>&"${DRIVER[1]}" {from_driver}<&"${DRIVER[0]}"
# Sends a command; prints the time the driver made the change.
drive() {
  local line
  echo "$*" >&"$to_driver"
  read -r -t 15 line <&"$from_driver" || return 1
  [[ "$line" == ok* ]] || return 1
  awk '{ print $3 }' <<<"$line"
}
read -r -t 15 _ <&"$from_driver" || exit 1
drive frequency 1000 >/dev/null && drive level left -6 >/dev/null &&
  drive wave right Pink >/dev/null && drive level right -20 >/dev/null || exit 1
measure_playing "tonquill_drive (sine -6 dB, pink -20 dB)" "$DRIVER_PID"

printf "\n== %s\n" "change latency, measured at the sink's monitor"
start_monitor_recording "$work"
sleep 1
: >"$work/commands"
for _ in 1 2 3 4 5; do
  echo "$(drive frequency 2000) frequency 1000 2000" >>"$work/commands"
  sleep 1.2
  echo "$(drive frequency 1000) frequency 2000 1000" >>"$work/commands"
  sleep 1.2
  echo "$(drive level left -30) level -6 -30" >>"$work/commands"
  sleep 0.6
  echo "$(drive level left -6) level -30 -6" >>"$work/commands"
  sleep 0.6
done
sleep 1
tq_stop_pid "$parec_pid"
wait "$recorder_pid"
/usr/bin/python3 bench/app_latency.py analyse "$work/monitor.raw" "$work/arrivals" \
  "$work/commands"
drive exit >/dev/null
