#!/usr/bin/env python3
"""Draws the wizard pages' pictures as 16-colour, run-length encoded BMP
files (bmp4.py; no imaging library needed):

  src/res/page_side.bmp        161 x 313, the side picture of the pages (134)
  src/res/agreement_head.bmp   159 x 15,  the agreement page's heading (131)

A calm look for a device programmer's software: a deep blue dithered
gradient with a chip in a socket and its circuit traces, and a plain
heading in the same blues. Change the drawing here and run the script again
(python3 scripts/make-page-bitmaps.py); the BMP files are committed.
"""
import os

from bmp4 import write_bmp

PALETTE = [
    (0, 0, 0),        # 0 black
    (255, 255, 255),  # 1 white
    (14, 28, 58),     # 2 deep navy
    (22, 44, 86),     # 3 navy
    (30, 62, 116),    # 4 blue
    (42, 84, 146),    # 5 steel blue
    (64, 112, 176),   # 6 light steel
    (118, 158, 208),  # 7 pale blue
    (196, 214, 236),  # 8 mist
    (0, 132, 144),    # 9 teal
    (96, 200, 204),   # 10 light teal
    (34, 38, 46),     # 11 chip shadow
    (58, 62, 72),     # 12 chip body
    (176, 182, 192),  # 13 pin silver
    (212, 172, 64),   # 14 gold
    (124, 128, 136),  # 15 grey
]

BAYER4 = [
    [0, 8, 2, 10],
    [12, 4, 14, 6],
    [3, 11, 1, 9],
    [15, 7, 13, 5],
]


class Canvas:
    def __init__(self, w, h, fill=0):
        self.w, self.h = w, h
        self.px = [[fill] * w for _ in range(h)]

    def set(self, x, y, c):
        if 0 <= x < self.w and 0 <= y < self.h:
            self.px[y][x] = c

    def rect(self, x0, y0, x1, y1, c):
        for y in range(y0, y1 + 1):
            for x in range(x0, x1 + 1):
                self.set(x, y, c)

    def hline(self, x0, x1, y, c):
        for x in range(min(x0, x1), max(x0, x1) + 1):
            self.set(x, y, c)

    def vline(self, x, y0, y1, c):
        for y in range(min(y0, y1), max(y0, y1) + 1):
            self.set(x, y, c)

    def disc(self, cx, cy, r, c):
        for y in range(cy - r, cy + r + 1):
            for x in range(cx - r, cx + r + 1):
                if (x - cx) ** 2 + (y - cy) ** 2 <= r * r + r:
                    self.set(x, y, c)

    def ring(self, cx, cy, r, c, inner):
        self.disc(cx, cy, r, c)
        self.disc(cx, cy, r - 1, inner)

    def save(self, path):
        write_bmp(path, self.px, PALETTE)


def side_picture():
    w, h = 161, 313
    cv = Canvas(w, h)
    # Gradient from deep navy at the top to steel blue at the bottom, ordered
    # dithering between neighbouring shades.
    shades = [2, 3, 4, 5]
    for y in range(h):
        t = y / (h - 1) * (len(shades) - 1)
        base = int(t)
        frac = t - base
        for x in range(w):
            lower = shades[base]
            upper = shades[min(base + 1, len(shades) - 1)]
            cv.set(x, y, upper if frac * 16 > BAYER4[y % 4][x % 4] + 0.5 else lower)

    # A faint grid of dots in the upper part, like a circuit board.
    for y in range(14, 120, 12):
        for x in range(10, w, 12):
            cv.set(x, y, 4 if y < 60 else 5)

    # The chip in its socket.
    cx, cy = 80, 196
    body = 30  # half size of the package
    # socket frame
    cv.rect(cx - body - 12, cy - body - 12, cx + body + 12, cy + body + 12, 11)
    cv.rect(cx - body - 11, cy - body - 11, cx + body + 11, cy + body + 11, 3)
    # pins on all four sides
    for i in range(-body + 5, body - 3, 6):
        cv.rect(cx + i, cy - body - 7, cx + i + 2, cy - body - 1, 13)
        cv.rect(cx + i, cy + body + 1, cx + i + 2, cy + body + 7, 13)
        cv.rect(cx - body - 7, cy + i, cx - body - 1, cy + i + 2, 13)
        cv.rect(cx + body + 1, cy + i, cx + body + 7, cy + i + 2, 13)
    # package with a lighter top-left edge
    cv.rect(cx - body, cy - body, cx + body, cy + body, 12)
    cv.hline(cx - body, cx + body, cy - body, 15)
    cv.vline(cx - body, cy - body, cy + body, 15)
    cv.hline(cx - body, cx + body, cy + body, 11)
    cv.vline(cx + body, cy - body, cy + body, 11)
    # pin-one mark and a die outline
    cv.disc(cx - body + 7, cy - body + 7, 2, 14)
    cv.rect(cx - 12, cy - 12, cx + 12, cy + 12, 11)
    cv.rect(cx - 11, cy - 11, cx + 11, cy + 11, 12)
    for k in range(-8, 9, 4):
        cv.hline(cx - 8, cx + 8, cy + k, 15)

    # Circuit traces leaving the socket, each ending in a pad.
    def trace(points, pad=True):
        for (x0, y0), (x1, y1) in zip(points, points[1:]):
            if x0 == x1:
                cv.vline(x0, y0, y1, 9)
            elif y0 == y1:
                cv.hline(x0, x1, y0, 9)
            else:  # 45 degrees
                n = abs(x1 - x0)
                sx = 1 if x1 > x0 else -1
                sy = 1 if y1 > y0 else -1
                for k in range(n + 1):
                    cv.set(x0 + k * sx, y0 + k * sy, 9)
        if pad:
            ex, ey = points[-1]
            cv.ring(ex, ey, 3, 10, 2)

    top = cy - body - 12
    bottom = cy + body + 12
    left = cx - body - 12
    right = cx + body + 12
    trace([(cx - 18, top), (cx - 18, top - 20), (cx - 38, top - 40), (cx - 38, top - 70)])
    trace([(cx - 6, top), (cx - 6, top - 34), (cx + 10, top - 50), (cx + 10, top - 92)])
    trace([(cx + 12, top), (cx + 12, top - 16), (cx + 40, top - 44), (cx + 40, top - 58)])
    trace([(cx + 24, top), (cx + 24, top - 8), (cx + 56, top - 40), (cx + 56, top - 110)])
    trace([(left, cy - 10), (left - 14, cy - 10), (left - 30, cy - 26)])
    trace([(left, cy + 8), (left - 24, cy + 8)])
    trace([(right, cy - 4), (right + 10, cy - 4), (right + 24, cy - 18), (right + 24, cy - 40)])
    trace([(right, cy + 14), (right + 22, cy + 14)])
    trace([(cx - 14, bottom), (cx - 14, bottom + 14), (cx - 30, bottom + 30), (cx - 30, bottom + 40)])
    trace([(cx + 4, bottom), (cx + 4, bottom + 34)])
    trace([(cx + 20, bottom), (cx + 20, bottom + 10), (cx + 40, bottom + 30)])

    # A thin light rule along the right edge, where the page's text begins.
    cv.vline(w - 1, 0, h - 1, 7)
    return cv


FONT = {  # 5 x 7 capitals
    "A": ["01110", "10001", "10001", "11111", "10001", "10001", "10001"],
    "C": ["01110", "10001", "10000", "10000", "10000", "10001", "01110"],
    "E": ["11111", "10000", "10000", "11110", "10000", "10000", "11111"],
    "G": ["01110", "10001", "10000", "10111", "10001", "10001", "01111"],
    "I": ["01110", "00100", "00100", "00100", "00100", "00100", "01110"],
    "L": ["10000", "10000", "10000", "10000", "10000", "10000", "11111"],
    "M": ["10001", "11011", "10101", "10101", "10001", "10001", "10001"],
    "N": ["10001", "11001", "10101", "10011", "10001", "10001", "10001"],
    "R": ["11110", "10001", "10001", "11110", "10100", "10010", "10001"],
    "S": ["01111", "10000", "10000", "01110", "00001", "00001", "11110"],
    "T": ["11111", "00100", "00100", "00100", "00100", "00100", "00100"],
    " ": ["00000"] * 7,
}


def heading_picture():
    w, h = 159, 15
    cv = Canvas(w, h, fill=1)
    # a small chip symbol as the bullet
    cv.rect(1, 4, 8, 10, 4)
    for y in (5, 7, 9):
        cv.set(0, y, 7)
        cv.set(9, y, 7)
    cv.set(2, 5, 10)
    x = 14
    for ch in "LICENSE AGREEMENT":
        glyph = FONT[ch]
        for gy, row in enumerate(glyph):
            for gx, bit in enumerate(row):
                if bit == "1":  # bold: every stroke two pixels wide
                    cv.set(x + gx, 4 + gy, 3)
                    cv.set(x + gx + 1, 4 + gy, 3)
        x += 7
    cv.hline(0, w - 1, 13, 7)
    cv.hline(0, 40, 13, 9)
    return cv


def main():
    res = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "src", "res")
    side_picture().save(os.path.join(res, "page_side.bmp"))
    heading_picture().save(os.path.join(res, "agreement_head.bmp"))


if __name__ == "__main__":
    main()
