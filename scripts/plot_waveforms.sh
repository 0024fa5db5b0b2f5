#!/usr/bin/env bash
# Draws docs/images/waveforms.png (one period of each waveform) and
# docs/images/noise_density.png (measured spectra of white and pink noise)
# from the renderer's raw output. Builds nothing.
# Usage: scripts/plot_waveforms.sh [path/to/tonquill-render]
set -euo pipefail
cd "$(dirname "$0")/.."

render="${1:-build/release/tools/tonquill-render}"
[ -x "$render" ] || { echo "no renderer at $render (build the release preset first)" >&2; exit 1; }
bash scripts/bootstrap.sh python3-matplotlib

raw="$(mktemp -d)"
trap 'rm -rf "$raw"' EXIT
for wave in sine triangle square sawtooth pulse; do
  "$render" --left "$wave" --right "$wave" --frequency 100 --blocks 1 -o - >"$raw/$wave.raw"
done
for noise in white pink; do
  "$render" --left "$noise" --right "$noise" --seconds 10 -o - >"$raw/$noise.raw"
done
# Debian's python3 with Debian's numpy and matplotlib, not one on PATH.
/usr/bin/python3 scripts/plot_waveforms.py "$raw" docs/images
echo "wrote docs/images/waveforms.png and docs/images/noise_density.png"
