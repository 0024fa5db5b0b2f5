#!/usr/bin/env bash
# Times tonquill-render against sox on one hour of 1 kHz stereo per waveform,
# both writing raw 16-bit samples to /dev/null, and prints the ratio.
# Usage: bench/compare_sox.sh [path/to/tonquill-render] [seconds]
# Builds nothing: by default it uses the release build's renderer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
render="${1:-$root/build/release/tools/tonquill-render}"
seconds="${2:-3600}"
[ -x "$render" ] || { echo "no renderer at $render (build the release preset first)" >&2; exit 1; }
bash "$root/scripts/bootstrap.sh" sox

# Wall-clock seconds of one command, its output thrown away.
elapsed() {
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}

# Our waveform name, then sox's (pulse has no sox twin: compare with square).
pairs=(sine:sine triangle:triangle square:square sawtooth:sawtooth pulse:square
  white:whitenoise pink:pinknoise)

printf '%-9s %14s %14s %22s\n' waveform tonquill-render "sox ($seconds s)" "ratio sox/tonquill"
for pair in "${pairs[@]}"; do
  ours="${pair%%:*}"
  theirs="${pair##*:}"
  t_ours=$(elapsed "$render" --left "$ours" --right "$ours" --frequency 1000 \
    --seconds "$seconds" -o -)
  t_sox=$(elapsed sox -r 44100 -c 2 -b 16 -D -n -t raw /dev/null synth "$seconds" "$theirs" 1000)
  printf '%-9s %13.3fs %13.3fs %21.1fx\n' "$ours" "$t_ours" "$t_sox" \
    "$(awk -v a="$t_sox" -v b="$t_ours" 'BEGIN { print a / b }')"
done
