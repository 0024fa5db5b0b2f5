#!/usr/bin/python3
"""Draws the pictures of docs/generator.md from raw renderer output.

Usage: plot_waveforms.py RAW_DIR OUT_DIR
RAW_DIR holds <waveform>.raw files written by `tonquill-render -o -`
(16-bit little-endian stereo at 44100 Hz): the periodic waveforms at
100 Hz, white.raw and pink.raw with a few seconds of noise.
"""
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
import numpy as np  # noqa: E402

RATE = 44100
PERIOD_FRAMES = 441  # one period at 100 Hz
PANELS = ["sine", "triangle", "square", "sawtooth", "pulse", "white", "pink"]


def left_channel(path):
    samples = np.fromfile(path, dtype="<i2")
    return samples[0::2].astype(np.float64)


def draw_waveforms(raw_dir, out_path):
    fig, axes = plt.subplots(4, 2, figsize=(10, 9), sharex=True)
    t_ms = np.arange(PERIOD_FRAMES + 1) * 1000.0 / RATE
    for ax, name in zip(axes.flat, PANELS):
        x = left_channel(raw_dir / f"{name}.raw")[: PERIOD_FRAMES + 1]
        ax.plot(t_ms, x, drawstyle="steps-post", linewidth=1.0, color="tab:blue")
        ax.set_title(name if name in ("white", "pink") else f"{name}, 100 Hz")
        ax.set_ylim(-33000, 33000)
        ax.set_yticks([-25000, 0, 25000])
        ax.grid(True, linewidth=0.3)
    axes.flat[-1].axis("off")
    for ax in axes[-1]:
        ax.set_xlabel("time (ms)")
    axes[2, 1].set_xlabel("time (ms)")
    axes[2, 1].xaxis.set_tick_params(labelbottom=True)
    fig.suptitle("Tonquill: one period of each waveform (left channel, 16-bit samples)")
    fig.tight_layout()
    fig.savefig(out_path, dpi=100)


def averaged_periodogram(x, segment=8192):
    """Welch estimate: Hann-windowed segments, half overlapping, averaged."""
    window = np.hanning(segment)
    step = segment // 2
    starts = range(0, len(x) - segment + 1, step)
    power = np.zeros(segment // 2 + 1)
    for start in starts:
        chunk = x[start : start + segment] / 32768.0
        power += np.abs(np.fft.rfft(chunk * window)) ** 2
    power /= len(starts) * RATE * np.sum(window**2)
    power[1:-1] *= 2.0  # one-sided
    return np.fft.rfftfreq(segment, 1.0 / RATE), power


def draw_spectrum(raw_dir, out_path):
    fig, ax = plt.subplots(figsize=(10, 5.5))
    for name, colour in (("white", "tab:gray"), ("pink", "tab:red")):
        freq, power = averaged_periodogram(left_channel(raw_dir / f"{name}.raw"))
        keep = (freq >= 10) & (freq < RATE / 2)
        ax.semilogx(freq[keep], 10 * np.log10(power[keep]), color=colour, linewidth=0.8,
                    label=f"{name} noise (measured)")
        if name == "pink":
            at_1k = 10 * np.log10(np.mean(power[(freq > 900) & (freq < 1100)]))
            ref = np.array([20.0, 20000.0])
            ax.semilogx(ref, at_1k - 10 * np.log10(ref / 1000.0), "k--", linewidth=1.0,
                        label="-3 dB per octave")
    ax.set_xlim(10, RATE / 2)
    ax.set_xlabel("frequency (Hz)")
    ax.set_ylabel("power spectral density (dB full scale per Hz)")
    ax.set_title("Tonquill noise spectra: averaged periodogram of 10 s, 8192-point Hann segments")
    ax.grid(True, which="both", linewidth=0.3)
    ax.legend()
    fig.tight_layout()
    fig.savefig(out_path, dpi=100)


def main():
    raw_dir, out_dir = Path(sys.argv[1]), Path(sys.argv[2])
    out_dir.mkdir(parents=True, exist_ok=True)
    draw_waveforms(raw_dir, out_dir / "waveforms.png")
    draw_spectrum(raw_dir, out_dir / "noise_density.png")


if __name__ == "__main__":
    main()
