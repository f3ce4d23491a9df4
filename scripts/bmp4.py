"""Writes 16-colour pictures as BMP files compressed with the run-length
encoding for 4-bit DIBs (BI_RLE4), which every 32-bit Windows draws as it
draws an uncompressed one. Shared by make-banner.py and
make-page-bitmaps.py.

In BI_RLE4 a row is a string of codes: (n, ab) draws n pixels alternating
the colours a and b (so a dithered pair costs two bytes however long);
(0, n, ...) draws the next n >= 3 pixels as they are, two to a byte, padded
to an even number of bytes; (0, 0) ends a row and (0, 1) the picture. Each
row is split into codes with the fewest bytes (a shortest path over the
row's positions)."""
import struct

MAX_RUN = 255


def encode_row(row):
    """The BI_RLE4 codes for one row of palette indices, without its end code."""
    n = len(row)
    best = [0] * (n + 1)  # best[i]: fewest bytes for row[i:]
    step = [None] * (n + 1)
    for i in range(n - 1, -1, -1):
        # The longest alternating run from i.
        k = 1
        while i + k < n and k < MAX_RUN and row[i + k] == row[i + (k & 1)]:
            k += 1
        cost, choice = None, None
        for m in range(1, k + 1):
            c = 2 + best[i + m]
            if cost is None or c < cost:
                cost, choice = c, ("run", m)
        for m in range(3, min(MAX_RUN, n - i) + 1):
            data = (m + 1) // 2
            c = 2 + data + (data & 1) + best[i + m]
            if c < cost:
                cost, choice = c, ("copy", m)
        best[i], step[i] = cost, choice
    out = bytearray()
    i = 0
    while i < n:
        kind, m = step[i]
        if kind == "run":
            a = row[i]
            b = row[i + 1] if m > 1 else 0
            out += bytes([m, a << 4 | b])
        else:
            pixels = list(row[i:i + m]) + [0]
            data = bytearray(pixels[j] << 4 | pixels[j + 1] for j in range(0, m, 2))
            if len(data) & 1:
                data.append(0)
            out += bytes([0, m]) + data
        i += m
    return out


def decode(data, w, h):
    """The rows (top first) of a BI_RLE4 picture; checks the encoder."""
    rows = [[0] * w for _ in range(h)]
    x, y, i = 0, 0, 0  # y counts from the bottom row
    while True:
        n, v = data[i], data[i + 1]
        i += 2
        if n:
            for k in range(n):
                rows[h - 1 - y][x] = v >> 4 if k % 2 == 0 else v & 15
                x += 1
        elif v == 0:
            x, y = 0, y + 1
        elif v == 1:
            return rows
        else:
            for k in range(v):
                b = data[i + k // 2]
                rows[h - 1 - y][x] = b >> 4 if k % 2 == 0 else b & 15
                x += 1
            i += ((v + 1) // 2 + 1) & ~1


def write_bmp(path, px, palette):
    """Writes px (rows of palette indices, top first) with its 16-colour
    palette of (r, g, b) as a BI_RLE4 BMP file."""
    h, w = len(px), len(px[0])
    pixels = bytearray()
    for y in range(h - 1, -1, -1):  # bottom-up
        pixels += encode_row(px[y])
        pixels += b"\0\1" if y == 0 else b"\0\0"
    if decode(pixels, w, h) != [list(r) for r in px]:
        raise SystemExit(f"{path}: the run-length codes do not give the picture back")
    pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    offset = 14 + 40 + len(pal)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 4, 2, len(pixels), 2835, 2835, 16, 16)
    with open(path, "wb") as f:
        f.write(header + info + pal + pixels)
