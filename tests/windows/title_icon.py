#!/usr/bin/python3
"""Reads a small raw RGB screen grab (8 bits a channel) from stdin and
checks that it shows the Tonquill icon: both the orange of its sine and the
dark blue of its dial must be there.

usage: import -window root -crop 24x24+X+Y -depth 8 rgb:- | title_icon.py"""

import sys

import numpy as np

MIN_PIXELS = 3


# The sine's orange, blended into the dial at 16 pixels: red well above blue.
def count_orange(pixels):
    r, g, b = pixels[:, 0], pixels[:, 1], pixels[:, 2]
    return int(((r >= 140) & (r - b >= 80) & (g > b)).sum())


# The dial's dark blue: blue well above red, and dark.
def count_dark_blue(pixels):
    r, b = pixels[:, 0], pixels[:, 2]
    return int(((b - r >= 30) & (b <= 140)).sum())


def main():
    pixels = np.frombuffer(sys.stdin.buffer.read(), dtype=np.uint8)
    pixels = pixels[: len(pixels) // 3 * 3].reshape(-1, 3).astype(int)
    orange = count_orange(pixels)
    blue = count_dark_blue(pixels)
    print(f"title bar icon: {orange} orange and {blue} dark blue pixels (want {MIN_PIXELS} each)")
    return 0 if orange >= MIN_PIXELS and blue >= MIN_PIXELS else 1


if __name__ == "__main__":
    sys.exit(main())
