#!/usr/bin/env python3
"""Measures the renderer's signal against its laws from the samples alone.

- Sweeps: the instantaneous frequency of a rendered logarithmic and linear
  sweep, from the phase of the analytic signal, within 0.2 % of the law at
  every point where the law is between 50 Hz and 8 kHz. The same
  measurement is run on a phase-continuous sweep stepped every 1024 frames,
  made here, which it must reject.
- Phase: the right channel at --right-phase 90 leads the left by 90 +- 0.05
  degrees at 1000 Hz.
- Duty: a square at --left-duty 25 and 441 Hz has 25 samples above zero in
  every 100.

Usage: bench/check_signal.py [path/to/tonquill-render]
Exit status 0 when every check passes, 1 when one fails.
"""
import pathlib
import subprocess
import sys

import numpy as np

RATE = 44100
TOLERANCE = 0.002          # of the law's frequency
BAND = (50.0, 8000.0)      # where the sweep is measured
SMOOTH = 256               # frames the instantaneous frequency is averaged over (< 1024)
STEP = 1024                # the stepped sweep's frames per step


def render(binary, args, sample_type):
    """Raw stereo samples of one run, as an array of frames x 2."""
    out = subprocess.run([binary, *args, "-o", "-"], check=True, capture_output=True).stdout
    return np.frombuffer(out, dtype=sample_type).reshape(-1, 2).astype(np.float64)


def analytic(x):
    """The analytic signal: the FFT with the negative frequencies removed."""
    n = len(x)
    spectrum = np.fft.fft(x)
    weights = np.zeros(n)
    weights[0] = 1.0
    weights[1:(n + 1) // 2] = 2.0
    if n % 2 == 0:
        weights[n // 2] = 1.0
    return np.fft.ifft(spectrum * weights)


def instantaneous_frequency(x):
    """Hz at the middle of each SMOOTH-frame window, and those middles."""
    phase = np.unwrap(np.angle(analytic(x)))
    # The mean of the per-frame phase step over a window is its end minus
    # its start over the window's length.
    mean_step = (phase[SMOOTH:] - phase[:-SMOOTH]) / SMOOTH
    middles = np.arange(len(mean_step)) + SMOOTH / 2.0
    return mean_step * RATE / (2.0 * np.pi), middles


def sweep_law(law, start, target, seconds):
    """The law's frequency at frame t (fractional frames allowed)."""
    def frequency(t):
        # Once: the target is held after the sweep.
        fraction = np.clip(t / (seconds * RATE), 0.0, 1.0)
        if law == "log":
            return start * (target / start) ** fraction
        return start + (target - start) * fraction
    return frequency


def worst_error(x, law):
    """The largest relative distance from the law inside the band."""
    measured, middles = instantaneous_frequency(x)
    expected = law(middles)
    inside = (expected >= BAND[0]) & (expected <= BAND[1])
    error = np.abs(measured[inside] - expected[inside]) / expected[inside]
    return float(error.max()), int(inside.sum())


def stepped_sweep(law, frames):
    """A sine whose frequency follows the law in steps of STEP frames, phase continuous."""
    step_starts = (np.arange(frames) // STEP) * STEP
    frequency = law(step_starts + STEP / 2.0)
    phase = 2.0 * np.pi * np.cumsum(frequency) / RATE
    return np.sin(phase)


# (law, from, to, sweep seconds, file seconds). The analytic signal's
# phase tells the frequency well where the frequency moves slowly against
# itself (a sweep rate well below the frequency squared) and away from the
# file's ends: so each sweep reaches its low end after the start, or holds
# it for two seconds before the end, and the linear sweep, whose rate is the
# same at 50 Hz as at 8 kHz, takes 60 s over the band.
SWEEPS = (
    ("log", 20.0, 20000.0, 15.0, 15.0),
    ("log", 20000.0, 20.0, 10.0, 12.0),
    ("linear", 8100.0, 20.0, 60.0, 62.0),
)


def check_sweeps(binary):
    ok = True
    for law_name, start, target, seconds, length in SWEEPS:
        args = ["--frequency", str(start), "--sweep-to", str(target), "--sweep-law", law_name,
                "--sweep-seconds", str(seconds), "--seconds", str(length), "--format", "f32"]
        left = render(binary, args, "<f4")[:, 0]
        law = sweep_law(law_name, start, target, seconds)
        error, points = worst_error(left, law)
        passed = error <= TOLERANCE
        print(f"sweep {law_name} {start:g} to {target:g} Hz in {seconds:g} s: worst "
              f"{100 * error:.4f} % of the law over {points} points ({BAND[0]:g} to "
              f"{BAND[1]:g} Hz): {'ok' if passed else 'FAIL'}")
        stepped_error, _ = worst_error(stepped_sweep(law, len(left)), law)
        rejected = stepped_error > TOLERANCE
        print(f"  the same law stepped every {STEP} frames: worst {100 * stepped_error:.4f} %: "
              f"{'rejected, as it must be' if rejected else 'ACCEPTED (the check is blind)'}")
        ok = ok and passed and rejected
    return ok


def phase_of(x, frequency):
    """Degrees of x's component at `frequency` over whole periods."""
    t = np.arange(len(x))
    return np.degrees(np.angle(np.sum(x * np.exp(-2j * np.pi * frequency * t / RATE))))


def check_phase(binary):
    frames = RATE  # one second: 1000 whole periods at 1000 Hz
    stereo = render(binary, ["--frequency", "1000", "--right-phase", "90", "--format", "f32"],
                    "<f4")[:frames]
    lead = (phase_of(stereo[:, 1], 1000.0) - phase_of(stereo[:, 0], 1000.0)) % 360.0
    passed = abs(lead - 90.0) <= 0.05
    print(f"phase: right leads left by {lead:.4f} degrees (90 +- 0.05): "
          f"{'ok' if passed else 'FAIL'}")
    return passed


def check_duty(binary):
    left = render(binary, ["--left", "square", "--left-duty", "25", "--frequency", "441"],
                  "<i2")[:, 0]
    windows = left[: len(left) // 100 * 100].reshape(-1, 100)
    highs = (windows > 0).sum(axis=1)
    passed = bool(np.all(highs == 25))
    print(f"duty: high samples per 100 range {highs.min()} to {highs.max()} over "
          f"{len(highs)} periods (25): {'ok' if passed else 'FAIL'}")
    return passed


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    binary = sys.argv[1] if len(sys.argv) > 1 else str(root / "build/release/tools/tonquill-render")
    results = [check_sweeps(binary), check_phase(binary), check_duty(binary)]
    return 0 if all(results) else 1


if __name__ == "__main__":
    sys.exit(main())
