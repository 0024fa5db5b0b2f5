#!/usr/bin/env bash
# The live player into the null sink of a sound server fixture (PulseAudio
# or PipeWire): its stream is client Tonquill with its icon; "frequency 440"
# is heard in the sink monitor's recording; "left-level -12" is the stream's
# own volume on the server; status answers in one line; quit ends it with
# status 0 and its stream gone. Then SIGTERM and --seconds end it with 0.
#
# Usage: player-end-to-end.sh TONQUILL_PLAY WORK_DIR
# (TQ_PULSE_MONITOR, PULSE_SERVER: the fixture)
set -uo pipefail
source "$(dirname "$0")/lib.sh"

play="$1"
work="$2"
monitor="$work/monitor.raw"
# A command is heard once the two queued 8192-frame buffers and the sink's
# latency have played; a quarter of a second more for the sound server.
settle_bytes=$(((2 * 8192 + 1024 + 11025) * 4))
record_bytes=$((44100 * 4))

rm -rf "$work"
mkdir -p "$work"
parec --latency=4096 --format=s16le --rate=44100 --channels=2 --raw -d "$TQ_PULSE_MONITOR" \
  >"$monitor" 2>"$work/parec.log" &
parec_pid=$!
mkfifo "$work/commands"
"$play" --right-level -6 <"$work/commands" >"$work/replies" 2>"$work/stderr" &
play_pid=$!
exec {commands}>"$work/commands"
trap 'tq_stop_pid "$parec_pid"; tq_stop_pid "$play_pid"' EXIT

tonquill_stream() { pactl list sink-inputs | grep -q 'application.name = "Tonquill"'; }
replies() { [ "$(wc -l <"$work/replies")" -ge "$1" ]; }
# Sends command $1 as reply number $2 and prints its reply.
ask() {
  echo "$1" >&"$commands"
  tq_wait_until 10 replies "$2" || tq_fail "no reply to '$1'"
  sed -n "$2p" "$work/replies"
}

tq_wait_until 10 tonquill_stream || tq_fail "the server has no stream of client Tonquill"
pactl list sink-inputs | grep -q 'application.icon_name = "tonquill"' || tq_fail "the icon is named"

[ "$(ask 'frequency 440' 1)" = "ok frequency 440" ] || tq_fail "frequency 440 is taken"
from=$(($(tq_file_size "$monitor") + settle_bytes))
tq_wait_until 15 tq_file_at_least "$monitor" $((from + record_bytes)) ||
  tq_fail "the monitor recording does not grow"
tail -c +$((from + 1)) "$monitor" | head -c "$record_bytes" >"$work/recording.raw"
/usr/bin/python3 - "$work/recording.raw" <<'EOF' || tq_fail "440 Hz is heard on the left"
import array, sys
samples = array.array("h", open(sys.argv[1], "rb").read())[0::2]
rises = sum(1 for a, b in zip(samples, samples[1:]) if a < 0 <= b)
print("rising zero crossings in one second:", rises)
sys.exit(0 if abs(rises - 440) <= 2 else 1)
EOF

[ "$(ask 'left-level -12' 2)" = "ok left-level -12" ] || tq_fail "left-level -12 is taken"
volume_set() { pactl list sink-inputs | grep -q 'front-left: [0-9]* / *[0-9]*% / -12.00 dB'; }
tq_wait_until 5 volume_set || tq_fail "the stream's volume on the server is -12 dB on the left"
pactl list sink-inputs | grep -q 'front-right: [0-9]* / *[0-9]*% / -6.00 dB' ||
  tq_fail "the stream's volume on the server is -6 dB on the right"
[[ "$(ask 'left bogus' 3)" == "error: left"* ]] || tq_fail "a bad command gets an error"
status="$(ask status 4)"
echo "$status"
[[ "$status" == "ok left=sine "*" frequency=440 left-level=-12 right-level=-6 "*" underruns="* ]] ||
  tq_fail "status tells every setting and the underruns"

[ "$(ask quit 5)" = "ok quit" ] || tq_fail "quit is answered"
tq_wait_until 10 tq_gone "$play_pid" || tq_fail "quit ends the player"
wait "$play_pid" || tq_fail "quit ends with status 0"
! tonquill_stream || tq_fail "no stream of the player is left on the server"

# SIGTERM, and the end of --seconds.
for arguments in "" "--seconds 0.5"; do
  "$play" $arguments </dev/null 2>/dev/null &
  play_pid=$!
  tq_wait_until 10 tonquill_stream || tq_fail "the player plays ($arguments)"
  [ -n "$arguments" ] || kill -TERM "$play_pid"
  tq_wait_until 10 tq_gone "$play_pid" && wait "$play_pid" || tq_fail "ends with 0 ($arguments)"
done
exec {commands}>&-
echo "player end to end: ok"
