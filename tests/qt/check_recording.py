#!/usr/bin/python3
"""Checks what the program played into the sound server against what the
renderer makes of the same settings.

  check_recording.py RECORDING REFERENCE FREQUENCY

Both files are raw 16-bit little-endian stereo at 44100 Hz: RECORDING from
the sink's monitor, REFERENCE from tonquill-render with the same waveforms
and levels. The left channel must be a sine: its frequency within 0.1 Hz of
FREQUENCY, its level within 0.5 dB of the reference's, no gap or dropout.
The right channel must be noise with the reference's spectrum and level
(within 0.5 dB) over the same stretch of the noise sequence: the renderer
starts the noise where the stream does, so the recorded stretch is looked up
in the reference; where it is found, the samples are also compared bit for
bit (reported, not required).
"""

import sys

import numpy as np

RATE = 44100
FREQUENCY_TOLERANCE_HZ = 0.1
LEVEL_TOLERANCE_DB = 0.5
SPECTRUM_TOLERANCE_DB = 1.5


def load(path):
    return np.fromfile(path, dtype="<i2").reshape(-1, 2).astype(np.int64)


def level_db(samples):
    samples = samples.astype(np.float64)
    return 10 * np.log10(np.mean(samples * samples) + 1e-12)


def sine_frequency(samples):
    """From the first to the last rising zero crossing, interpolated."""
    x = samples.astype(np.float64)
    rising = np.nonzero((x[:-1] < 0) & (x[1:] >= 0))[0]
    if len(rising) < 2:
        return 0.0
    crossings = rising + x[rising] / (x[rising] - x[rising + 1])
    return (len(crossings) - 1) * RATE / (crossings[-1] - crossings[0])


def shortest_window_peak(samples, window=RATE // 100):
    """The smallest peak of any 10 ms window: a gap or dropout shows here."""
    usable = len(samples) // window * window
    return np.abs(samples[:usable]).reshape(-1, window).max(axis=1).min()


def decade_ratio_db(samples):
    """Power from 1 to 10 kHz over power from 100 Hz to 1 kHz: 0 dB for pink,
    10 dB for white noise."""
    spectrum = np.abs(np.fft.rfft(samples.astype(np.float64))) ** 2
    frequencies = np.fft.rfftfreq(len(samples), 1.0 / RATE)

    def band(low, high):
        return spectrum[(frequencies >= low) & (frequencies < high)].sum()

    return 10 * np.log10(band(1000, 10000) / band(100, 1000))


def find_stretch(recorded, reference, key_length=32):
    """Where the recorded samples start in the reference, or None."""
    key = recorded[:key_length]
    limit = len(reference) - len(recorded)
    for start in np.nonzero(reference[: limit + 1] == key[0])[0]:
        if np.array_equal(reference[start : start + key_length], key):
            return int(start)
    return None


def main():
    recording, reference = load(sys.argv[1]), load(sys.argv[2])
    frequency = float(sys.argv[3])
    failures = []

    def check(name, ok, detail):
        print(f"{'ok  ' if ok else 'FAIL'} {name}: {detail}")
        if not ok:
            failures.append(name)

    left, right = recording[:, 0], recording[:, 1]
    measured = sine_frequency(left)
    check("left frequency", abs(measured - frequency) <= FREQUENCY_TOLERANCE_HZ,
          f"{measured:.4f} Hz, expected {frequency} Hz")
    expected = level_db(reference[:, 0])
    check("left level", abs(level_db(left) - expected) <= LEVEL_TOLERANCE_DB,
          f"{level_db(left):.3f} dB, expected {expected:.3f} dB (re 1 LSB)")
    peak = np.abs(reference[:, 0]).max()
    check("left without gaps", shortest_window_peak(left) >= 0.9 * peak,
          f"smallest 10 ms peak {shortest_window_peak(left)}, full peak {peak}")

    start = find_stretch(right, reference[:, 1])
    if start is None:
        stretch = reference[:, 1]
        print("info right: the recorded noise was not found in the reference; "
              "comparing with the reference's whole length")
    else:
        stretch = reference[start : start + len(right), 1]
        exact = np.array_equal(stretch, right)
        print(f"info right: found {start / RATE:.3f} s into the reference, "
              f"bit-exact: {'yes' if exact else 'no'}")
    expected = level_db(stretch)
    check("right level", abs(level_db(right) - expected) <= LEVEL_TOLERANCE_DB,
          f"{level_db(right):.3f} dB, expected {expected:.3f} dB (re 1 LSB)")
    ratio, expected_ratio = decade_ratio_db(right), decade_ratio_db(stretch)
    check("right spectrum", abs(ratio - expected_ratio) <= SPECTRUM_TOLERANCE_DB,
          f"upper/lower decade {ratio:.2f} dB, expected {expected_ratio:.2f} dB")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
