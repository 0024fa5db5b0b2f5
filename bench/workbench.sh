#!/usr/bin/env bash
# The renderer's workbench targets, measured again:
#   1. bench/check_signal.py: both sweep laws, the right phase, the duty;
#   2. speed: a 60 s logarithmic sweep from 20 Hz to 20 kHz into a 16-bit
#      stereo WAV at 44100 Hz, beside sox writing the same sweep, RUNS times
#      each in turn; the medians of the wall-clock seconds and their ratio;
#   3. memory: the peak resident size of a 60 s and a 3600 s render of the
#      same sweep into a WAV file, which streaming keeps the same.
# Usage: bench/workbench.sh [path/to/tonquill-render] [runs]
# Builds nothing: by default it uses the release build's renderer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
render="${1:-$root/build/release/tools/tonquill-render}"
runs="${2:-5}"
[ -x "$render" ] || { echo "no renderer at $render (build the release preset first)" >&2; exit 1; }
command -v sox >/dev/null || bash "$root/scripts/bootstrap.sh" sox
[ -x /usr/bin/time ] || bash "$root/scripts/bootstrap.sh" time
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

echo "== signal checks"
/usr/bin/python3 "$root/bench/check_signal.py" "$render"

# "<wall seconds> <peak KiB>" of one command, its output thrown away.
measure() {
  /usr/bin/time -f "%e %M" -o "$work/time" "$@" >/dev/null 2>&1
  cat "$work/time"
}

median() {
  sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

ours=(--frequency 20 --sweep-to 20000 --seconds 60)
echo "== speed: 60 s log sweep 20 Hz to 20 kHz, s16 stereo WAV at 44100 Hz, $runs runs each"
: >"$work/ours" && : >"$work/sox"
for _ in $(seq "$runs"); do
  measure "$render" "${ours[@]}" -o "$work/ours.wav" | cut -d' ' -f1 >>"$work/ours"
  measure sox -n -r 44100 -b 16 -c 2 "$work/sox.wav" synth 60 sine 20/20000 sine 20/20000 |
    cut -d' ' -f1 >>"$work/sox"
done
t_ours=$(median <"$work/ours")
t_sox=$(median <"$work/sox")
printf 'tonquill-render %8.3f s median\nsox             %8.3f s median\nratio sox/tonquill-render %.1fx\n' \
  "$t_ours" "$t_sox" "$(awk -v a="$t_sox" -v b="$t_ours" 'BEGIN { print a / b }')"

echo "== memory: peak resident size of the same sweep over 60 s and 3600 s"
for seconds in 60 3600; do
  peak=$(measure "$render" --frequency 20 --sweep-to 20000 --sweep-seconds 60 --sweep-repeat repeat \
    --seconds "$seconds" -o "$work/long.wav" | cut -d' ' -f2)
  printf '%5s s: %6s KiB\n' "$seconds" "$peak"
  rm -f "$work/long.wav"
done
