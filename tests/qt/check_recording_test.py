#!/usr/bin/python3
"""The gap finder of check_recording.py on made tones: a steady tone (also
a little off its nominal frequency, with silence before and after) has no
gap; a silence, a dropout to a lower level, a skip and a repeat are each
found once, where they are, with about their length."""

import contextlib
import io
import os
import sys
import tempfile
import unittest

import numpy as np

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import check_recording  # noqa: E402

RATE = check_recording.RATE


def tone(seconds, frequency=1000.0, start=0):
    times = np.arange(start, start + round(seconds * RATE))
    return np.round(16384 * np.sin(2 * np.pi * frequency * times / RATE)).astype(np.int64)


def padded(samples):
    """With the silence a recording has before and after the stream."""
    silence = np.zeros(RATE // 4, dtype=np.int64)
    return np.concatenate([silence, samples, silence])


class ToneGapsTest(unittest.TestCase):
    def gaps(self, samples, frequency=1000.0):
        return check_recording.tone_gaps(padded(samples), frequency)

    def test_steady_tones_have_no_gap(self):
        for frequency in (1000.0, 1000.004, 440.0):
            with self.subTest(frequency=frequency):
                gaps, seconds = self.gaps(tone(3, frequency), frequency)
                self.assertEqual(gaps, [])
                self.assertAlmostEqual(seconds, 3, delta=0.05)

    def test_each_break_is_found_once_where_it_is(self):
        at = RATE  # one second into the tone
        before, after = tone(1), tone(2, start=at)
        silence_300ms = np.concatenate([before, np.zeros(RATE * 3 // 10, np.int64), after])
        silence_2ms = np.concatenate([before, np.zeros(88, np.int64), after])
        dropout = np.concatenate([before, before[:441] // 4, after])  # 10 ms at -12 dB, in phase
        skip = np.concatenate([before, after[1:]])  # one sample lost
        repeat = np.concatenate([before, before[-100:], after])  # 100 samples played twice
        cases = {"300 ms of silence": (silence_300ms, 300),
                 "2 ms of silence": (silence_2ms, 2),
                 "10 ms at a quarter of the level": (dropout, 7.5),
                 "one sample skipped": (skip, 0),
                 "100 samples repeated": (repeat, 0)}
        for name, (samples, length_ms) in cases.items():
            with self.subTest(name):
                gaps, _ = self.gaps(samples)
                self.assertEqual(len(gaps), 1, gaps)
                start, found_ms, _ = gaps[0]
                self.assertAlmostEqual(start, 1.25, delta=0.03)
                self.assertAlmostEqual(found_ms, length_ms, delta=max(3, length_ms * 0.1))

    def test_a_skip_shows_as_its_phase_slip(self):
        before, after = tone(1), tone(1, start=RATE + 3)
        gaps, _ = self.gaps(np.concatenate([before, after]))
        self.assertEqual(len(gaps), 1, gaps)
        self.assertAlmostEqual(abs(gaps[0][2]), 3, delta=0.3)

    def test_no_tone_is_one_gap(self):
        gaps, seconds = self.gaps(np.zeros(RATE, np.int64))
        self.assertEqual(len(gaps), 1)
        self.assertEqual(seconds, 0)


class ServerGapsTest(unittest.TestCase):
    """A gap the server's own client hears at the same time is the server's,
    and so is one server cycle left out in phase; a player that ran dry
    (its tone resumes late) or a longer silence is the player's; no
    reference tone excuses nothing."""

    def judge(self, left_silence_at, right_silence_at, right_tone=True, left_kind="dry"):
        length = 2 * RATE
        left, right = tone(2), tone(2, 1500.0) if right_tone else np.zeros(length, np.int64)
        if left_kind == "dry" and left_silence_at is not None:
            at = round(left_silence_at * RATE)
            left = np.concatenate([left[:at], np.zeros(512, np.int64), left[at:-512]])
        elif left_silence_at is not None:
            frames = 512 if left_kind == "cycle" else 8192
            left[round(left_silence_at * RATE) : round(left_silence_at * RATE) + frames] = 0
        if right_silence_at is not None:
            right[round(right_silence_at * RATE) : round(right_silence_at * RATE) + 512] = 0
        stereo = np.stack([padded(left), padded(right)], axis=1).astype("<i2")
        with tempfile.NamedTemporaryFile(suffix=".raw") as recording:
            stereo.tofile(recording.name)
            with contextlib.redirect_stdout(io.StringIO()):
                return check_recording.report_gaps(recording.name, 1000.0, 1.5, 1500.0)

    def test_whose_gap(self):
        for left, right, tone_on_right, kind, status in (
            (None, None, True, "dry", 0),
            (1.0, 1.0, True, "dry", 0),  # both at once: the server skipped a cycle
            (1.0, None, True, "dry", 1),  # the player ran dry
            (1.0, 0.5, True, "dry", 1),  # each its own
            (1.0, None, True, "cycle", 0),  # one cycle left out, in phase
            (1.0, None, True, "buffer", 1),  # a whole buffer silent
            (None, None, False, "dry", 1),  # the server's client not heard
        ):
            with self.subTest(left=left, right=right, tone_on_right=tone_on_right, kind=kind):
                self.assertEqual(self.judge(left, right, tone_on_right, kind), status)


if __name__ == "__main__":
    unittest.main()
