#!/usr/bin/env python3
"""Draws the progress dialog's banner (bitmap resource 130): 472 x 60 pixels,
16 colours, written as a run-length encoded 4-bit BMP (bmp4.py; no imaging
library): run it to regenerate src/res/banner130.bmp.

The picture: a calm blue band, darker on the left, with a chip in a socket
whose pins run out as circuit traces that end in small pads."""
import os
import sys

from bmp4 import write_bmp

W, H = 472, 60

PALETTE = [  # index: (r, g, b)
    (0, 0, 0),        # 0 black
    (16, 32, 64),     # 1 night blue
    (24, 48, 92),     # 2 deep blue
    (32, 64, 120),    # 3 blue
    (44, 84, 148),    # 4 mid blue
    (60, 106, 172),   # 5 light blue
    (84, 132, 192),   # 6 pale blue
    (120, 164, 212),  # 7 sky
    (168, 200, 232),  # 8 mist
    (224, 236, 248),  # 9 almost white
    (64, 64, 72),     # 10 chip body
    (96, 96, 104),    # 11 chip edge
    (176, 180, 188),  # 12 silver pins
    (200, 168, 88),   # 13 copper trace
    (232, 208, 136),  # 14 pad highlight
    (255, 255, 255),  # 15 white
]

# 4x4 ordered dither matrix, for smooth steps between the blues.
BAYER = [[0, 8, 2, 10], [12, 4, 14, 6], [3, 11, 1, 9], [15, 7, 13, 5]]


def background(x, y):
    # Shade from deep blue (left) to pale blue (right), slightly lighter
    # towards the top; dithered between neighbouring palette entries.
    t = x / (W - 1) * 0.8 + (1 - y / (H - 1)) * 0.2
    level = 2 + t * 5.0  # entries 2..7
    base = int(level)
    frac = level - base
    threshold = (BAYER[y % 4][x % 4] + 0.5) / 16
    return min(base + (1 if frac > threshold else 0), 7)


def draw():
    px = [[background(x, y) for x in range(W)] for y in range(H)]

    def rect(x0, y0, x1, y1, c):
        for yy in range(max(0, y0), min(H, y1)):
            for xx in range(max(0, x0), min(W, x1)):
                px[yy][xx] = c

    def disc(cx, cy, r, c):
        for yy in range(cy - r, cy + r + 1):
            for xx in range(cx - r, cx + r + 1):
                if 0 <= xx < W and 0 <= yy < H and (xx - cx) ** 2 + (yy - cy) ** 2 <= r * r:
                    px[yy][xx] = c

    # A faint horizon line under the band.
    rect(0, H - 3, W, H - 2, 8)
    rect(0, H - 2, W, H, 1)

    # The chip: body, edge, notch, pins on both long sides.
    cx0, cy0, cx1, cy1 = 28, 14, 92, 44
    rect(cx0 - 1, cy0 - 1, cx1 + 1, cy1 + 1, 11)
    rect(cx0, cy0, cx1, cy1, 10)
    disc(cx0 + 6, cy0 + 6, 2, 11)
    pins = list(range(cx0 + 4, cx1 - 2, 8))
    for x in pins:
        rect(x, cy0 - 7, x + 4, cy0 - 1, 12)
        rect(x, cy1 + 1, x + 4, cy1 + 7, 12)

    # Traces from the chip's right side across the band, ending in pads.
    rows = [18, 24, 30, 36, 42]
    ends = [250, 330, 410, 300, 370]
    for i, (y, xe) in enumerate(zip(rows, ends)):
        rect(cx1 + 1, y, cx1 + 12, y + 2, 12)  # pin on the short side
        x = cx1 + 12
        # Each trace runs right, bends once by a diagonal, then runs on.
        bend = 130 + i * 22
        rect(x, y, bend, y + 1, 13)
        dy = (-1) ** i * 4
        for k in range(abs(dy)):
            yy = y + (k + 1) * (1 if dy > 0 else -1)
            rect(bend + k, yy, bend + k + 2, yy + 1, 13)
        rect(bend + abs(dy), y + dy, xe, y + dy + 1, 13)
        disc(xe + 3, y + dy, 3, 13)
        disc(xe + 3, y + dy, 1, 14)

    # A row of soft dots on the right, like status lights.
    for i, c in enumerate([9, 8, 8, 7]):
        disc(432 + i * 10, 12, 2, c)
    return px


if __name__ == "__main__":
    here = os.path.dirname(os.path.abspath(__file__))
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "src", "res", "banner130.bmp")
    write_bmp(out, draw(), PALETTE)
