#!/usr/bin/env bash
# The real program where Wayland is named but cannot be used: each case
# must end with status 1 and one line of the program's own on standard
# error ("tonquill: no display ..., tonquill-render ..."), saying what was
# found, and nothing on standard output. A 5 s bound guards against a hang;
# the time each case took is printed, not judged (the display check's own
# deadline is 0.4 s). Last, the same silent display with the Xvfb
# fixture's X display there: the window goes to X. The weston fixture's
# runtime folder and display and the Xvfb fixture's folder are in the
# environment.
#
# Usage: wayland-display-check.sh TONQUILL QT_PLATFORM_PLUGIN_DIR WORK_DIR
set -uo pipefail
source "$(dirname "$0")/lib.sh"

program="$1"
plugin_dir="$2"
work="$3"
rm -rf "$work"
mkdir -p "$work/no-plugins"
runtime="$XDG_RUNTIME_DIR"
live="$WAYLAND_DISPLAY"

# A socket bound by a process that is gone: connecting is refused.
python3 -c 'import socket, sys; socket.socket(socket.AF_UNIX).bind(sys.argv[1])' "$runtime/tq-refused"
# A socket that takes connections and never answers.
python3 -c 'import socket, sys, time
s = socket.socket(socket.AF_UNIX); s.bind(sys.argv[1]); s.listen(8); time.sleep(120)' \
  "$runtime/tq-silent" &
silent_pid=$!
trap 'tq_stop_pid "$silent_pid"; rm -f "$runtime/tq-refused" "$runtime/tq-silent"' EXIT
tq_wait_until 15 test -S "$runtime/tq-silent" || tq_fail "no silent socket"

# Runs the program ($1: a command put before it, $2: its variables) and
# checks its answer against the phrase $3.
check_case() {
  local before="$1" variables="$2" phrase="$3" start elapsed status lines
  start="$(date +%s%N)"
  # shellcheck disable=SC2086
  $before env -i PATH=/usr/bin:/bin XDG_RUNTIME_DIR="$runtime" $variables \
    timeout 5 "$program" >"$work/out" 2>"$work/err"
  status=$?
  elapsed=$((($(date +%s%N) - start) / 1000000))
  lines="$(wc -l <"$work/err")"
  echo "[$variables] status $status, ${elapsed} ms: $(cat "$work/err")"
  [ "$status" -eq 1 ] && [ "$lines" -eq 1 ] && [ ! -s "$work/out" ] &&
    grep -q '^tonquill: no display to show the window on (.*tonquill-render' "$work/err" &&
    grep -qF "$phrase" "$work/err" || {
    echo "FAIL: expected status 1 and one line saying: $phrase"
    return 1
  }
}

failed=0
check_case "" "WAYLAND_DISPLAY=tq-refused" \
  "(the Wayland display tq-refused refuses connections, and DISPLAY is not set)" || failed=1
check_case "" "WAYLAND_DISPLAY=tq-missing" \
  "(the Wayland display tq-missing is not there, and DISPLAY is not set)" || failed=1
check_case "" "WAYLAND_DISPLAY=$runtime/tq-silent" \
  "(the Wayland display $runtime/tq-silent does not answer, and DISPLAY is not set)" || failed=1
check_case "" "QT_QPA_PLATFORM=xcb WAYLAND_DISPLAY=$live" \
  "(QT_QPA_PLATFORM is xcb: DISPLAY is not set)" || failed=1

# A silent Wayland display with an X display there: the window goes to X
# (Qt left to itself would wait for the Wayland display without end).
tq_use_display
printf 'pcm.!default { type null }\n' >"$work/null.conf"
ALSA_CONFIG_PATH="$work/null.conf" XDG_RUNTIME_DIR="$runtime" WAYLAND_DISPLAY=tq-silent \
  "$program" >"$work/x.out" 2>"$work/x.err" &
x_pid=$!
if tq_wait_until 15 xdotool search --name '^Varnholt Tonquill$'; then
  echo "[WAYLAND_DISPLAY=tq-silent DISPLAY=$DISPLAY] the window is on the X display"
else
  echo "FAIL: with the Wayland display silent the window does not come up on X"
  cat "$work/x.err"
  failed=1
fi
tq_stop_pid "$x_pid"

# No Qt platform plugin, with weston there: Qt's plugin folder is hidden
# behind an empty one in a mount namespace of the program's own.
without_plugins() {
  unshare --mount --propagation private -- \
    sh -c 'mount --bind "$1" "$2" && shift 2 && exec "$@"' sh "$work/no-plugins" "$plugin_dir" "$@"
}
if without_plugins true 2>/dev/null; then
  check_case without_plugins "WAYLAND_DISPLAY=$live" \
    "(no Qt plugin for Wayland (package qt6-wayland), and DISPLAY is not set)" || failed=1
else
  echo "SKIP: no mount namespace here (it needs root) for the case without Qt plugins"
  [ "$failed" -eq 0 ] && exit 77
fi
exit "$failed"
