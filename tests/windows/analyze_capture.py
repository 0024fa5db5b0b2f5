#!/usr/bin/python3
"""Checks the end of a raw capture (s16le, stereo, 44100 Hz): the left
channel must be a sine whose spectral peak lies within TOLERANCE Hz of
FREQUENCY, the right channel no louder than RIGHT_PEAK.

usage: analyze_capture.py FILE FREQUENCY TOLERANCE RIGHT_PEAK [FRAMES]
Prints one PASS/FAIL line per check; exit status 1 when any fails."""

import sys

import numpy as np

RATE = 44100
PADDED = 1 << 22  # about 0.01 Hz between spectral lines


def peak_frequency(samples):
    windowed = (samples - samples.mean()) * np.hanning(len(samples))
    spectrum = np.abs(np.fft.rfft(windowed, PADDED))
    return np.argmax(spectrum) * RATE / PADDED


def main():
    path, frequency, tolerance, right_peak = sys.argv[1:5]
    frames = int(sys.argv[5]) if len(sys.argv) > 5 else 1 << 17
    data = np.fromfile(path, dtype="<i2")
    data = data[: len(data) // 2 * 2].reshape(-1, 2)[-frames:].astype(np.float64)
    if len(data) < frames:
        print(f"FAIL: capture holds {len(data)} frames, {frames} needed")
        return 1
    left, right = data[:, 0], data[:, 1]
    found = peak_frequency(left)
    checks = [
        (abs(found - float(frequency)) <= float(tolerance),
         f"left spectral peak at {found:.3f} Hz (want {frequency} +- {tolerance} Hz)"),
        (np.abs(left).max() >= 20000, f"left peak amplitude {np.abs(left).max():.0f} (want >= 20000)"),
        (np.abs(right).max() <= float(right_peak),
         f"right peak amplitude {np.abs(right).max():.0f} (want <= {right_peak})"),
    ]
    for ok, text in checks:
        print(("PASS: " if ok else "FAIL: ") + text)
    return 0 if all(ok for ok, _ in checks) else 1


if __name__ == "__main__":
    sys.exit(main())
