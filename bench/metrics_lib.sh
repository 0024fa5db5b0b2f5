# Helpers the measuring scripts share; sourced, with the repository root as
# the working folder.

# Nanoseconds process PID has run, all its threads (the scheduler's own
# count, exact, unlike the tick-sampled times in stat).
cpu_ns() {
  cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ total += $1 } END { print total + 0 }'
}

# Each thread of process PID: id, name and the nanoseconds it has run.
thread_run_times() {
  local task
  for task in "/proc/$1"/task/*; do
    printf '%s %s %s\n' "${task##*/}" "$(tr ' ' '_' <"$task/comm")" \
      "$(cut -d' ' -f1 "$task/schedstat")"
  done | LC_ALL=C sort
}

# Records the sink's monitor ($TQ_PULSE_MONITOR) into WORK/monitor.raw, each
# chunk's arrival time into WORK/arrivals, for app_latency.py analyse. Sets
# parec_pid and recorder_pid and adds both to the array pids.
start_monitor_recording() {
  local work="$1"
  mkfifo "$work/monitor.fifo"
  /usr/bin/python3 bench/app_latency.py record "$work/monitor.raw" "$work/arrivals" \
    <"$work/monitor.fifo" &
  recorder_pid=$!
  parec --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
    >"$work/monitor.fifo" &
  parec_pid=$!
  pids+=("$parec_pid" "$recorder_pid")
}
