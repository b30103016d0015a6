#!/usr/bin/env python3
"""Writes the 16 x 15 toolbox bitmap: a yellow sticky note with a folded
corner and three text lines, as a 24-bit BMP."""
import struct
import sys

W, H = 16, 15
PAPER, EDGE, FOLD, INK, BACK = (0x80, 0xFF, 0xFF), (0x00, 0x80, 0x80), (0x40, 0xC0, 0xC0), (0x80, 0x40, 0x00), (0xC0, 0xC0, 0xC0)


def pixel(x, y):
    if x < 1 or x > 14 or y < 1 or y > 13:
        return BACK
    if x + y > 22:  # the folded corner, bottom right (y counts down from the top)
        return FOLD if x + y > 23 else EDGE
    if x in (1, 14) or y in (1, 13):
        return EDGE
    if y in (4, 7, 10) and 3 <= x <= 11:
        return INK
    return PAPER


def main(path):
    row_bytes = (W * 3 + 3) & ~3
    pixels = bytearray()
    for y in reversed(range(H)):  # bottom-up rows
        row = bytearray()
        for x in range(W):
            r, g, b = pixel(x, y)
            row += bytes((b, g, r))
        pixels += row + b"\0" * (row_bytes - len(row))
    header = struct.pack("<2sIHHI", b"BM", 14 + 40 + len(pixels), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, W, H, 1, 24, 0, len(pixels), 2835, 2835, 0, 0)
    with open(path, "wb") as f:
        f.write(header + info + pixels)


if __name__ == "__main__":
    main(sys.argv[1])
