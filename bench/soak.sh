#!/usr/bin/env bash
# Plays the generator through the ALSA service into a private PulseAudio
# null sink for SECONDS while stress-ng loads the machine, then prints
# how many underruns the service had to recover from. Exits non-zero on any
# underrun, a lost device or a stalled stream.
#
# Usage: bench/soak.sh SECONDS [ALSA_SOAK] [LOAD]
# ALSA_SOAK: the driver, bench/alsa_soak of a build with the ALSA service and
# the benchmarks (default build/dev/bench/alsa_soak). LOAD: stress-ng's
# arguments (default "--cpu 2": both cores busy; "--cpu 2 --io 2 --hdd 1"
# adds disk writes and syncs as a user's busy machine has; "" plays on a
# quiet machine). The test command runs
# it for 60 s as the CTest test "soak" with the PulseAudio fixture up; run
# by hand, it starts a daemon of its own (scripts/pulse-env.sh).
set -uo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
[ -n "${TQ_ALSA_PULSE_CONF:-}" ] || exec bash "$root/scripts/pulse-env.sh" bash "$0" "$@"
source "$root/tests/integration/lib.sh"

seconds="${1:?usage: bench/soak.sh SECONDS [ALSA_SOAK] [LOAD]}"
soak="${2:-$root/build/dev/bench/alsa_soak}"
load="${3---cpu 2}"
[ -x "$soak" ] || tq_fail "no $soak (build the dev preset first)"

scratch="$(mktemp -d /tmp/tq-soak.XXXXXX)"
trap 'tq_stop_pid "${TQ_LOAD_PID:-}"; rm -rf "$scratch"' EXIT
tq_start_load "$load" "$seconds" "$scratch"
if [ -n "$TQ_LOAD_PID" ]; then
  echo "soak: $seconds s of playing under stress-ng $load"
else
  echo "soak: $seconds s of playing, no load added"
fi
ALSA_CONFIG_PATH="$TQ_ALSA_PULSE_CONF" "$soak" "$seconds"
