#!/usr/bin/python3
"""Checks what the program played into the sound server against what the
renderer makes of the same settings, or finds the gaps in a recorded tone.

  check_recording.py RECORDING REFERENCE FREQUENCY
  check_recording.py gaps RECORDING FREQUENCY [MIN_SECONDS [REFERENCE_FREQUENCY]]

Both files are raw 16-bit little-endian stereo at 44100 Hz: RECORDING from
the sink's monitor, REFERENCE from tonquill-render with the same waveforms
and levels. The left channel must be a sine: its frequency within 0.1 Hz of
FREQUENCY, its level within 0.5 dB of the reference's, no gap or dropout.
The right channel must be noise with the reference's spectrum and level
(within 0.5 dB) over the same stretch of the noise sequence: the renderer
starts the noise where the stream does, so the recorded stretch is looked up
in the reference; where it is found, the samples are also compared bit for
bit (reported, not required).

The second form finds every gap or discontinuity in the tone of FREQUENCY
on the left channel of RECORDING, from where the tone starts to where it
ends: every 10 ms of it must have the tone's full level and go on in phase
with the 10 ms before. It prints each one found and fails on any, or when
the tone lasted less than MIN_SECONDS.
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


def tone_phasors(samples, frequency):
    """The tone's amplitude and phase in each window of whole periods
    (about 10 ms): one complex number per window, against a phase that runs
    on from the first sample, so that a steady tone gives the same number in
    every window."""
    window = max(1, round(round(frequency / 100) * RATE / frequency))
    count = len(samples) // window
    times = np.arange(count * window)
    carrier = np.exp(-2j * np.pi * frequency * times / RATE)
    parts = (samples[: count * window].astype(np.float64) * carrier).reshape(count, window)
    return parts.sum(axis=1) * 2 / window, window


def tone_gaps(samples, frequency):
    """The gaps in a steady tone: a list of (start in seconds, length in ms,
    phase slip in samples), and how long the tone lasted in seconds. A
    window whose level is not the tone's full level is part of a gap (a
    silence, a dropout), as is any step of the phase between two windows (a
    skip or a repeat, however short), counted between the
    first and the last window at the tone's level."""
    phasors, window = tone_phasors(samples, frequency)
    magnitudes = np.abs(phasors)
    if len(phasors) < 3 or magnitudes.max() == 0:
        return [(0.0, len(samples) * 1000 / RATE, 0.0)], 0.0
    full = np.median(magnitudes[magnitudes > 0.5 * magnitudes.max()])
    playing = np.nonzero(magnitudes > 0.5 * full)[0]
    # The windows where the tone starts and ends hold part of it only.
    first, last = playing[0] + 1, playing[-1] - 1
    if last <= first:
        return [(0.0, len(samples) * 1000 / RATE, 0.0)], 0.0
    inside = phasors[first : last + 1]
    quiet = np.abs(inside) < 0.9 * full
    steps = np.angle(inside[1:] * np.conj(inside[:-1]))
    drift = np.median(steps)  # a frequency a little off the nominal one
    slips = np.angle(np.exp(1j * (steps - drift)))
    samples_per_radian = RATE / (2 * np.pi * frequency)
    # Window i is bad when it is quiet or its phase left the last window's.
    bad = quiet.copy()
    bad[1:] |= np.abs(slips) > 0.5 / samples_per_radian  # half a sample
    gaps = []
    index = 0
    while index < len(bad):
        if not bad[index]:
            index += 1
            continue
        end = index
        while end + 1 < len(bad) and bad[end + 1]:
            end += 1
        missing = np.sum(1 - np.minimum(np.abs(inside[index : end + 1]) / full, 1))
        slip = np.angle(inside[min(end + 1, len(inside) - 1)] * np.conj(inside[max(index - 1, 0)]))
        slip -= drift * (min(end + 1, len(inside) - 1) - max(index - 1, 0))
        slip = np.angle(np.exp(1j * slip)) * samples_per_radian
        gaps.append(((first + index) * window / RATE, missing * window * 1000 / RATE, slip))
        index = end + 1
    return gaps, len(inside) * window / RATE


def print_gaps(name, gaps):
    for start, length_ms, slip in gaps:
        print(f"{name} at {start:.3f} s: about {length_ms:.1f} ms missing, "
              f"phase slip {slip:+.2f} samples")


def overlaps(gap, others, margin=0.02):
    """True when `gap` meets one of `others` (within `margin` seconds)."""
    start, end = gap[0], gap[0] + gap[1] / 1000
    return any(o[0] - margin <= end and start <= o[0] + o[1] / 1000 + margin for o in others)


# PipeWire's largest processing block (2048 frames), in milliseconds.
SERVER_CYCLE_MS = 2048 * 1000 / RATE


def dropped_by_server(gap):
    """A gap that kept the tone's phase and lasted no longer than one of
    the server's cycles: the samples were there (a player that runs dry
    resumes late, with its phase slipped by the gap) and the server left
    them out of one cycle."""
    return abs(gap[2]) < 1.0 and gap[1] <= SERVER_CYCLE_MS


def report_gaps(path, frequency, min_seconds, reference_frequency=None):
    """Gaps in the left channel's tone. With `reference_frequency`, the right
    channel also holds a tone of the server's own client, played at the same
    time into the same sink: a gap heard in both at once is the server's
    (its graph skipped a cycle for every stream), and so is one in phase and
    at most a server cycle long; both are reported but not counted against
    the left channel's player."""
    recording = load(path)
    gaps, seconds = tone_gaps(recording[:, 0], frequency)
    print(f"tone of {frequency} Hz heard for {seconds:.2f} s, {len(gaps)} gaps")
    ok = seconds >= min_seconds
    if reference_frequency is not None:
        server_gaps, server_seconds = tone_gaps(recording[:, 1], reference_frequency)
        print(f"the server's own client: {reference_frequency} Hz heard for "
              f"{server_seconds:.2f} s, {len(server_gaps)} gaps")
        print_gaps("server's client gap", server_gaps)
        if server_seconds < min_seconds:
            print(f"FAIL the server's own client was heard less than {min_seconds} s")
            ok = False
        shared = [gap for gap in gaps if overlaps(gap, server_gaps)]
        gaps = [gap for gap in gaps if not overlaps(gap, server_gaps)]
        print_gaps("gap of both (the server's)", shared)
        print_gaps("cycle the server left out (in phase)", filter(dropped_by_server, gaps))
        gaps = [gap for gap in gaps if not dropped_by_server(gap)]
        print(f"gaps of the player alone: {len(gaps)}")
    print_gaps("gap", gaps)
    if seconds < min_seconds:
        print(f"FAIL the tone lasted less than {min_seconds} s")
    return 0 if not gaps and ok else 1


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
    if sys.argv[1] == "gaps":
        minimum = float(sys.argv[4]) if len(sys.argv) > 4 else 0.0
        reference = float(sys.argv[5]) if len(sys.argv) > 5 else None
        return report_gaps(sys.argv[2], float(sys.argv[3]), minimum, reference)
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
    gaps, _ = tone_gaps(left, frequency)
    check("left phase-continuous", not gaps,
          "; ".join(f"{length:.1f} ms at {start:.3f} s, slip {slip:+.2f}"
                    for start, length, slip in gaps) or "no gap or slip")

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
