#!/usr/bin/env python3
"""Draws KESTO's icon (a golf green with a flag and a ball) into src/res/kesto.ico.

Pure standard library: each size is a 32-bit BMP image with its AND mask,
packed into an ICO file.  Run it again after changing the drawing."""
import math
import os
import struct
import sys


def pixel(x, y, n):
    """Colour (b, g, r, a) of pixel (x, y) of an n x n icon, y from the top."""
    u, v = (x + 0.5) / n, (y + 0.5) / n
    # Sky disc behind everything.
    if (u - 0.5) ** 2 + (v - 0.5) ** 2 > 0.25:
        return (0, 0, 0, 0)
    # Flag pole and pennant.
    if 0.56 <= u <= 0.62 and 0.12 <= v <= 0.70:
        return (60, 60, 60, 255)
    if 0.62 < u <= 0.86 and 0.12 <= v <= 0.12 + 0.20 * (1 - (u - 0.62) / 0.24):
        return (30, 30, 220, 255)
    # Ball.
    if (u - 0.32) ** 2 + (v - 0.66) ** 2 < 0.085 ** 2:
        return (250, 250, 250, 255)
    # Hole.
    if ((u - 0.59) / 0.08) ** 2 + ((v - 0.72) / 0.03) ** 2 < 1:
        return (20, 20, 20, 255)
    # Green on the lower part, sky above.
    if v > 0.62 - 0.08 * math.sin(u * math.pi):
        shade = 150 + int(60 * (1 - v))
        return (40, shade, 40, 255)
    return (235, 200, 120, 255)


def image(n):
    rows = []
    for y in range(n - 1, -1, -1):  # bottom-up
        rows.append(b"".join(struct.pack("BBBB", *pixel(x, y, n)) for x in range(n)))
    xor = b"".join(rows)
    maskrow = ((n + 31) // 32) * 4
    mask = bytearray()
    for y in range(n - 1, -1, -1):
        bits = bytearray(maskrow)
        for x in range(n):
            if pixel(x, y, n)[3] == 0:
                bits[x // 8] |= 0x80 >> (x % 8)
        mask += bits
    header = struct.pack("<IiiHHIIiiII", 40, n, 2 * n, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return header + xor + bytes(mask)


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..", "src", "res", "kesto.ico")
    sizes = [16, 32, 48]
    images = [image(n) for n in sizes]
    data = struct.pack("<HHH", 0, 1, len(sizes))
    offset = 6 + 16 * len(sizes)
    for n, img in zip(sizes, images):
        data += struct.pack("<BBBBHHII", n, n, 0, 0, 1, 32, len(img), offset)
        offset += len(img)
    data += b"".join(images)
    with open(out, "wb") as f:
        f.write(data)


if __name__ == "__main__":
    main()
