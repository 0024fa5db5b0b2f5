#!/usr/bin/env bash
# Measures the live player on a private sound server's null sink:
#  - start to sound: from the launch of tonquill-play until its sine is in
#    the sink's monitor, 5 runs;
#  - CPU over SECONDS (default 60) while playing, side by side with pacat
#    playing into the same sink at the same time with the stream's buffer
#    attributes (2 x 32768 bytes queued, asked for 32768 at a time), both
#    as the scheduler's run time of all their threads, and the ratio;
#  - command latency: "frequency 2000" / "frequency 1000" written to the
#    player's standard input, until the sink's monitor has the new
#    frequency; level latency: "left-level -30" / "left-level 0" until the
#    monitor has the new level (bench/app_latency.py, which the window's
#    figures use too);
#  - quit to exit: from "quit" written until the process is gone.
# Everything started here is stopped by its PID at the end, also on failure.
#
# Usage: bench/player_metrics.sh [SECONDS]   (TQ_PLAYER_BUILD_DIR: default build/dev;
# TQ_SERVER=pipewire for PipeWire)
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
[ -n "${TQ_PULSE_MONITOR:-}" ] || exec bash scripts/pulse-env.sh bash "$0" "$@"
source tests/integration/lib.sh
source bench/metrics_lib.sh

seconds="${1:-60}"
build="${TQ_PLAYER_BUILD_DIR:-build/dev}"
play="$build/tools/tonquill-play"
work="$(mktemp -d /tmp/tq-player-metrics.XXXXXX)"
pids=()

cmake --build "$build" -j 2 --target tonquill-play >/dev/null || exit 1

clean_up() {
  local pid
  for pid in "${pids[@]}"; do tq_stop_pid "$pid"; done
  pids=()
  rm -rf "$work"
}
trap clean_up EXIT

now() { date +%s.%N; }

start_monitor_recording "$work"
sleep 1

printf "\n== %s\n" "start to sound (5 runs)"
: >"$work/starts"
for _ in 1 2 3 4 5; do
  echo "$(now) level -99 0" >>"$work/starts"
  "$play" --seconds 1 </dev/null &
  pids+=($!)
  sleep 2.5
done

printf "\n== %s\n" "command and level latency (5 rounds)"
mkfifo "$work/commands.fifo"
"$play" <"$work/commands.fifo" >"$work/replies" &
play_pid=$!
pids+=("$play_pid")
exec {commands}>"$work/commands.fifo"
sleep 1.5
: >"$work/changes"
send() {
  echo "$(now) $2" >>"$work/changes"
  echo "$1" >&"$commands"
}
for _ in 1 2 3 4 5; do
  send "frequency 2000" "frequency 1000 2000"
  sleep 1.2
  send "frequency 1000" "frequency 2000 1000"
  sleep 1.2
  send "left-level -30" "level 0 -30"
  sleep 0.6
  send "left-level 0" "level -30 0"
  sleep 0.6
done
sleep 1
tq_stop_pid "$parec_pid"
wait "$recorder_pid"
/usr/bin/python3 bench/app_latency.py analyse "$work/monitor.raw" "$work/arrivals" \
  "$work/starts" | sed 's/^level -99 -> 0/start to sound/; s/^level change latency/start to sound/'
/usr/bin/python3 bench/app_latency.py analyse "$work/monitor.raw" "$work/arrivals" \
  "$work/changes" | sed 's/^frequency change/command (frequency) change/'

printf "\n== %s\n" "CPU over $seconds s, tonquill-play and pacat side by side"
pacat --raw --format=s16le --rate=44100 --channels=2 --latency=73728 --process-time=32768 \
  -d "$PULSE_SINK" </dev/zero 2>"$work/pacat.log" &
pacat_pid=$!
pids+=("$pacat_pid")
sleep 2
play_before=$(cpu_ns "$play_pid")
pacat_before=$(cpu_ns "$pacat_pid")
thread_run_times "$play_pid" >"$work/threads-before"
sleep "$seconds"
thread_run_times "$play_pid" >"$work/threads-after"
LC_ALL=C join "$work/threads-before" "$work/threads-after" | awk -v s="$seconds" '
  { printf "tonquill-play thread %s (%s): %.3f %% of one core\n", $1, $2, ($5 - $3) / s / 1e7 }'
play_ns=$(($(cpu_ns "$play_pid") - play_before))
pacat_ns=$(($(cpu_ns "$pacat_pid") - pacat_before))
awk -v p="$play_ns" -v q="$pacat_ns" -v s="$seconds" 'BEGIN {
  printf "tonquill-play: %.3f %% of one core\npacat: %.3f %% of one core\n", p / s / 1e7, q / s / 1e7
  printf "tonquill-play / pacat: %.2f\n", (q > 0 ? p / q : 0) }'
quit_ns=$(date +%s%N)
echo quit >&"$commands"
until tq_gone "$play_pid"; do
  [ $(($(date +%s%N) - quit_ns)) -lt 5000000000 ] || break
  sleep 0.01
done
tq_gone "$play_pid" && echo "quit to exit: $((($(date +%s%N) - quit_ns) / 1000000)) ms" ||
  echo "quit: still running after 5 s"
grep -c '^ok' "$work/replies" | sed 's/^/replies ok: /'
