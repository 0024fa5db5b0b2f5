# shellcheck shell=bash
# Shared by the integration legs and their fixtures (sourced, not run).
# Every wait polls a condition and gives up at a deadline.

# Runs "$@" (output dropped) until it succeeds, at most $1 seconds.
tq_wait_until() {
  local deadline=$((SECONDS + $1))
  shift
  until "$@" >/dev/null 2>&1; do
    [ "$SECONDS" -lt "$deadline" ] || return 1
    sleep 0.1
  done
}

# A process that has ended but is not reaped yet (its parent, once the
# fixture script that started it is gone, is whoever adopted it) is gone.
tq_gone() {
  ! kill -0 "$1" 2>/dev/null || [ "$(sed 's/.*) //' "/proc/$1/stat" 2>/dev/null | cut -c1)" = Z ]
}

# Stops process $1: TERM, then KILL if it is still there after 5 s.
tq_stop_pid() {
  local pid="$1"
  [ -n "$pid" ] && ! tq_gone "$pid" || return 0
  kill "$pid" 2>/dev/null
  tq_wait_until 5 tq_gone "$pid" || kill -9 "$pid" 2>/dev/null
  tq_wait_until 5 tq_gone "$pid"
  wait "$pid" 2>/dev/null
  return 0
}

# Loads the machine as a user's busy desktop does: stress-ng with the
# arguments in $1 ("" for no load) for $2 seconds and half a minute more (it
# ends by itself should the caller die), its disk workers writing under $3.
# Sets TQ_LOAD_PID (empty without load), for tq_stop_pid.
tq_start_load() {
  local arguments
  read -r -a arguments <<<"$1"
  TQ_LOAD_PID=""
  [ "${#arguments[@]}" -gt 0 ] || return 0
  stress-ng "${arguments[@]}" --temp-path "$3" --timeout "$(($2 + 30))s" --quiet &
  TQ_LOAD_PID=$!
}

# Stops the process whose PID is in file $1, if that process is still the
# program $2 (a PID left from an earlier run may belong to another one by
# now; the name may carry a suffix, as wineserver64), and removes the file.
tq_stop_pid_file() {
  local pid
  pid="$(cat "$1" 2>/dev/null)" || return 0
  if [[ "$(cat "/proc/$pid/comm" 2>/dev/null)" == "$2"* ]]; then tq_stop_pid "$pid"; fi
  rm -f "$1"
}

# The display of the Xvfb fixture (folder TQ_XVFB_DIR).
tq_use_display() {
  [ -s "${TQ_XVFB_DIR:-}/display" ] || tq_fail "no Xvfb fixture (TQ_XVFB_DIR)"
  DISPLAY=":$(head -n 1 "$TQ_XVFB_DIR/display")"
  export DISPLAY
}

tq_file_size() { stat -c %s "$1" 2>/dev/null || echo 0; }
tq_file_at_least() { [ "$(tq_file_size "$1")" -ge "$2" ]; }

tq_fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A machine without sound, in folder $1: no sound server named or in the
# (empty) runtime folder, none started, and $1/no-device.conf, an ALSA
# configuration whose default names a card that is not there.
tq_without_sound_device() {
  printf 'pcm.!default { type hw card 63 }\n' >"$1/no-device.conf"
  mkdir -m 700 "$1/run"
  printf 'autospawn = no\n' >"$1/client.conf"
  unset PULSE_SERVER PULSE_RUNTIME_PATH
  export XDG_RUNTIME_DIR="$1/run" PULSE_CLIENTCONFIG="$1/client.conf"
}

# --- The Linux program, run by tonquill_drive (tests/qt/app_driver.cpp) ----

# Starts driver $1 offscreen (or on the Qt platform TQ_DRIVER_PLATFORM names),
# ALSA configuration $2, its log in $3; returns once it answers "ready".
tq_start_driver() {
  coproc TQ_DRIVER {
    exec env ALSA_CONFIG_PATH="$2" QT_QPA_PLATFORM="${TQ_DRIVER_PLATFORM:-offscreen}" "$1" 2>"$3"
  }
  tq_driver_pid=$TQ_DRIVER_PID
  exec {tq_to_driver}>&"${TQ_DRIVER[1]}" {tq_from_driver}<&"${TQ_DRIVER[0]}"
  local line
  read -r -t 15 line <&"$tq_from_driver" && [[ "$line" == ready* ]] || {
    cat "$3" >&2
    tq_fail "the driver did not start"
  }
}

# Sends one command and prints the answer; fails on "error" or silence.
tq_drive() {
  local line
  echo "$*" >&"$tq_to_driver"
  read -r -t 15 line <&"$tq_from_driver" || {
    echo "no answer to: $*"
    return 1
  }
  echo "$line"
  [[ "$line" == ok* ]]
}

# Sends "boxes" and prints the answer, "ok boxes N", then the N box lines.
tq_drive_boxes() {
  local answer line count
  answer="$(tq_drive boxes)" || return 1
  echo "$answer"
  count="${answer##* }"
  while [ "$count" -gt 0 ] && read -r -t 15 line <&"$tq_from_driver"; do
    echo "$line"
    count=$((count - 1))
  done
}

# Sends "exit": the program must end by itself within 15 s, status 0.
tq_exit_driver() {
  tq_drive exit >/dev/null && tq_wait_until 15 tq_gone "$tq_driver_pid" || {
    echo "the program did not end after Exit!"
    return 1
  }
  wait "$tq_driver_pid"
  local status=$?
  echo "exit status $status"
  [ "$status" -eq 0 ]
}

# --- Wine legs: tonquill.exe on the Xvfb display, worked with xdotool -------

TQ_MAIN_TITLE="Varnholt Tonquill"

# tq_probe.exe of the mingw build $TQ_MINGW (see tests/windows/probe.cpp).
tq_probe() { timeout 20 wine "$TQ_MINGW/tests/windows/tq_probe.exe" "$@"; }
tq_window_exists() { xdotool search --name "^$1\$"; }
tq_window_gone() { ! tq_window_exists "$1"; }

# Presses Alt+F and waits until the File menu is open.
tq_open_file_menu() {
  xdotool key alt+f && tq_wait_until 10 tq_probe menu "$TQ_MAIN_TITLE"
}

# Presses the keys "$@" and expects process $1 to end within 2 s with
# status 0 (it must be a child of this shell).
tq_keys_end_program() {
  local pid="$1" start elapsed status
  shift
  start="$(date +%s%N)"
  xdotool key "$@"
  tq_wait_until 10 tq_gone "$pid" || {
    echo "still running 10 s after $*"
    return 1
  }
  elapsed=$((($(date +%s%N) - start) / 1000000))
  wait "$pid"
  status=$?
  echo "ended ${elapsed} ms after $*, status $status"
  [ "$elapsed" -le 2000 ] && [ "$status" -eq 0 ]
}

# tq_write_client_files DIR SOCKET SINK DESCRIPTION: what a client of a
# private sound server (PulseAudio protocol on SOCKET, null sink SINK) needs,
# in DIR: a client configuration that never autospawns a server
# (DIR/client.conf), the variables the tests get (DIR/environment), and an
# ALSA configuration whose default PCM is ALSA's pulse plugin on that server
# (DIR/asound.conf; underruns reported to the program, -EPIPE, so that they
# can be counted). Exports PULSE_SERVER and PULSE_CLIENTCONFIG.
tq_write_client_files() {
  local dir="$1" sink="$3" description="$4"
  export PULSE_SERVER="unix:$2" PULSE_CLIENTCONFIG="$dir/client.conf"
  printf 'autospawn = no\n' >"$PULSE_CLIENTCONFIG"
  cat >"$dir/environment" <<ENV
PULSE_SERVER=$PULSE_SERVER
PULSE_CLIENTCONFIG=$PULSE_CLIENTCONFIG
PULSE_SINK=$sink
TQ_PULSE_MONITOR=$sink.monitor
TQ_ALSA_PULSE_CONF=$dir/asound.conf
ENV
  cat >"$dir/asound.conf" <<CONF
pcm.!default {
  type pulse
  server "$PULSE_SERVER"
  handle_underrun true
  hint { show on description "$description" }
}
ctl.!default {
  type pulse
  server "$PULSE_SERVER"
}
CONF
}
