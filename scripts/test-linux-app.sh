#!/usr/bin/env bash
# The Linux desktop program's test leg: installs what it needs, builds the
# program (preset dev), runs the Qt window tests offscreen (also under a
# decimal-comma locale), runs the ALSA service's leg, then the end-to-end
# test: the real program (the window, the ALSA service, the generator, as
# main() builds them; tonquill_drive works it through its widgets) plays into
# a private PulseAudio null sink, whose monitor is recorded and checked
# against the renderer. Everything started here is stopped by its PID at the
# end, also on failure; every wait has a time limit.
#
# Usage: scripts/test-linux-app.sh [SOAK_SECONDS]   (passed to test-alsa.sh)
# TQ_APP_BUILD_DIR: the build directory (default build/dev, preset dev);
# TQ_APP_SKIP_ALSA_LEG=1 leaves the ALSA leg out when it has run on its own.
set -uo pipefail
source "$(dirname "$0")/lib.sh"
source "$TQ_ROOT/scripts/pulse-env.sh"
cd "$TQ_ROOT"

build="${TQ_APP_BUILD_DIR:-build/dev}"
drive="$build/tests/qt/tonquill_drive"
render="$build/tools/tonquill-render"
work="$(mktemp -d /tmp/tq-app-test.XXXXXX)"
driver_pid=""

# Stops the driver and the sound server if they still run.
stop_processes() {
  if [ -n "$driver_pid" ] && kill -0 "$driver_pid" 2>/dev/null; then
    kill "$driver_pid" 2>/dev/null
    wait "$driver_pid" 2>/dev/null
  fi
  driver_pid=""
  tq_pulse_stop
}
clean_up() {
  stop_processes
  rm -rf "$work"
}
trap clean_up EXIT

# --- the driver: one command out, one answer back -------------------------

# Starts tonquill_drive offscreen with the given ALSA configuration and waits
# for it to be ready.
start_driver() {
  coproc DRIVER { exec env ALSA_CONFIG_PATH="$1" QT_QPA_PLATFORM=offscreen "$drive" 2>"$work/driver.log"; }
  driver_pid=$DRIVER_PID
  exec {driver_in}>&"${DRIVER[1]}" {driver_out}<&"${DRIVER[0]}"
  local line
  read -r -t 15 line <&"$driver_out" && [[ "$line" == ready* ]] || {
    echo "the driver did not start; its log:" >&2
    cat "$work/driver.log" >&2
    return 1
  }
}

# Sends one command and prints the answer; fails on "error" or silence.
drive() {
  local line
  echo "$*" >&"$driver_in"
  read -r -t 15 line <&"$driver_out" || {
    echo "no answer to: $*" >&2
    return 1
  }
  echo "$line"
  [[ "$line" == ok* ]]
}

# Sends "boxes" and prints the answer, "ok boxes N", and the N box lines.
drive_boxes() {
  local answer line count
  answer="$(drive boxes)" || return 1
  echo "$answer"
  count="${answer##* }"
  while [ "$count" -gt 0 ] && read -r -t 15 line <&"$driver_out"; do
    echo "$line"
    count=$((count - 1))
  done
}

# Sends "exit" and waits (at most 15 s) for the program's own end, status 0.
exit_driver() {
  drive exit >/dev/null || return 1
  tq_wait_gone "$driver_pid" 15 || {
    echo "the program did not end after Exit!" >&2
    return 1
  }
  wait "$driver_pid"
  local status=$?
  driver_pid=""
  exec {driver_in}>&- {driver_out}<&-
  echo "exit status $status"
  [ "$status" -eq 0 ]
}

# --- the steps -------------------------------------------------------------

end_to_end() {
  tq_pulse_start || return 1
  trap clean_up EXIT  # tq_pulse_start set its own
  start_driver "$TQ_ALSA_PULSE_CONF" || return 1
  drive frequency 1000 && drive wave left Sine && drive level left -6 &&
    drive wave right Pink && drive level right -20 || return 1
  # The settings are heard within two buffers and the ring: wait past that.
  sleep 1.5
  local bytes=$((2 * 44100 * 4))
  timeout 15 parec --latency-msec=20 --format=s16le --rate=44100 --channels=2 --raw \
    -d "$TQ_PULSE_MONITOR" 2>/dev/null | head -c "$bytes" >"$work/recording.raw"
  drive state || return 1
  exit_driver || return 1
  tq_pulse_stop
  [ "$(stat -c %s "$work/recording.raw")" -eq "$bytes" ] || {
    echo "the recording is short" >&2
    return 1
  }
  "$render" --left sine --right pink --frequency 1000 --left-level -6 --right-level -20 \
    --seconds 30 -o - >"$work/reference.raw" || return 1
  /usr/bin/python3 tests/qt/check_recording.py "$work/recording.raw" "$work/reference.raw" 1000
}

# With no sound device the window opens and works, and says why once.
without_sound_device() {
  printf 'pcm.!default { type hw card 63 }\n' >"$work/no-device.conf"
  start_driver "$work/no-device.conf" || return 1
  local answer
  answer="$(drive_boxes)"
  echo "$answer"
  grep -qx 'ok boxes 1' <<<"$answer" &&
    grep -q '^box Message from Varnholt Tonquill | .' <<<"$answer" || return 1
  answer="$(drive frequency 440)" && echo "$answer" && [[ "$answer" == *" 440" ]] || return 1
  # The panel worked and no second box came up.
  answer="$(drive_boxes)" && echo "$answer" && grep -qx 'ok boxes 1' <<<"$answer" || return 1
  exit_driver
}

tq_apt_install "${TQ_BUILD_PACKAGES[@]}" googletest libgtest-dev libbenchmark-dev locales \
  qt6-base-dev libasound2-dev libasound2-plugins pulseaudio pulseaudio-utils python3-numpy ||
  exit 1
tq_ensure_comma_locale || echo "warning: no locale with a decimal comma could be made"

status=0
tq_log "Linux program: build"
cmake --preset dev -B "$build" >/dev/null &&
  cmake --build "$build" -j "$TQ_JOBS" --target tonquill qt_window_tests tonquill_drive \
    tonquill-render || exit 1

tq_log "Linux program: window tests (offscreen)"
ctest --test-dir "$build/tests/qt" --output-on-failure --timeout 120 || status=1

if [ -f scripts/test-alsa.sh ] && [ -z "${TQ_APP_SKIP_ALSA_LEG:-}" ]; then
  tq_log "ALSA service leg"
  bash scripts/test-alsa.sh "$@" || status=1
fi

tq_log "Linux program: end to end on a private PulseAudio sink"
end_to_end || {
  echo "end-to-end test FAILED; the driver's log:"
  cat "$work/driver.log" 2>/dev/null
  status=1
}
stop_processes

tq_log "Linux program: no sound device"
without_sound_device || {
  echo "no-device test FAILED"
  status=1
}
stop_processes
[ "$status" -eq 0 ] && echo "Linux program: passed" || echo "Linux program: FAILED"
exit "$status"
