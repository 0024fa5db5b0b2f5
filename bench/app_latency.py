#!/usr/bin/python3
"""Change latency of the running program, measured at the sound server.

  app_latency.py record RAW TIMES      (reads parec's output on stdin)
  app_latency.py analyse RAW TIMES COMMANDS

record writes the raw stream (16-bit stereo, 44100 Hz) to RAW and, for every
chunk read, its arrival time (seconds since the epoch) and the number of
frames received so far to TIMES. A frame cannot arrive before the sink has
played it, so the earliest (arrival - frames / rate) over all chunks bounds
when frame 0 was played; that origin puts the recording on the wall clock.

analyse reads COMMANDS, lines "<time> frequency <old> <new>" or
"<time> level <old dB> <new dB>" (the time the driver pressed Return), and
prints for each the delay until the left channel shows the change: for a
level, the first 5 ms window whose level is past the midpoint of old and new;
for a frequency, the first period nearer the new frequency than the old.
The delays are upper bounds: they include the monitor's own delivery.
"""

import os
import sys
import time

import numpy as np

RATE = 44100
FRAME_BYTES = 4


def record(raw_path, times_path):
    received = 0
    with open(raw_path, "wb") as raw, open(times_path, "w") as times:
        while True:
            chunk = os.read(0, 8192)
            if not chunk:
                break
            now = time.time()
            raw.write(chunk)
            received += len(chunk)
            times.write(f"{now:.6f} {received // FRAME_BYTES}\n")


def origin(times_path):
    rows = np.loadtxt(times_path, ndmin=2)
    return float(np.min(rows[:, 0] - rows[:, 1] / RATE))


def level_change(left, start, old_db, new_db, window=RATE // 200, settled=3):
    """Index of the first of `settled` 5 ms windows in a row past the
    midpoint, from `start` (so that a single short dip is not taken for it)."""
    middle = (old_db + new_db) / 2
    in_a_row = 0
    for begin in range(start, len(left) - window, window):
        part = left[begin : begin + window].astype(np.float64)
        # The level of a sine is its peak: compare peaks in dB re full scale.
        db = 20 * np.log10(np.abs(part).max() / 25000 + 1e-12)
        in_a_row = in_a_row + 1 if (db - middle) * (new_db - old_db) > 0 else 0
        if in_a_row == settled:
            return begin - (settled - 1) * window
    return None


def frequency_change(left, start, old_hz, new_hz):
    """Index of the first period nearer `new_hz` than `old_hz`, from `start`."""
    x = left[start:].astype(np.float64)
    rising = np.nonzero((x[:-1] < 0) & (x[1:] >= 0))[0]
    for a, b in zip(rising[:-1], rising[1:]):
        hz = RATE / (b - a)
        if abs(hz - new_hz) < abs(hz - old_hz):
            return start + int(a)
    return None


def analyse(raw_path, times_path, commands_path):
    left = np.fromfile(raw_path, dtype="<i2").reshape(-1, 2)[:, 0]
    frame0 = origin(times_path)
    delays = {"frequency": [], "level": []}
    for line in open(commands_path):
        when, kind, old, new = line.split()
        when, old, new = float(when), float(old), float(new)
        start = max(int((when - frame0) * RATE), 0)
        find = frequency_change if kind == "frequency" else level_change
        index = find(left, start, old, new)
        if index is None:
            print(f"{kind} {old:g} -> {new:g}: no change found")
            continue
        delay_ms = (frame0 + index / RATE - when) * 1000
        delays[kind].append(delay_ms)
        print(f"{kind} {old:g} -> {new:g}: {delay_ms:.0f} ms")
    for kind, values in delays.items():
        if values:
            print(f"{kind} change latency: median {np.median(values):.0f} ms, "
                  f"max {np.max(values):.0f} ms over {len(values)} changes")


if __name__ == "__main__":
    if sys.argv[1] == "record":
        record(sys.argv[2], sys.argv[3])
    else:
        analyse(sys.argv[2], sys.argv[3], sys.argv[4])
