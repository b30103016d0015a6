#!/usr/bin/env python3
"""Converts a 24-bit bottom-up BMP to PNG; with --crop X Y W H --scale N also
writes a magnified crop. Usage: bmp2png.py IN.bmp OUT.png [--crop X Y W H --scale N]"""
import struct
import sys
import zlib


def read_bmp(path):
    data = open(path, "rb").read()
    offset = struct.unpack_from("<I", data, 10)[0]
    w, h = struct.unpack_from("<ii", data, 18)
    row = (w * 3 + 3) & ~3
    rows = []
    for y in range(abs(h)):
        src = y if h < 0 else abs(h) - 1 - y
        line = data[offset + src * row: offset + src * row + w * 3]
        rows.append(bytes(b for i in range(0, len(line), 3) for b in (line[i + 2], line[i + 1], line[i])))
    return w, abs(h), rows


def write_png(path, w, h, rows):
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body) & 0xFFFFFFFF)
    raw = b"".join(b"\0" + r for r in rows)
    png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", w, h, 8, 2, 0, 0, 0))
    png += chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b"")
    open(path, "wb").write(png)


def main(argv):
    w, h, rows = read_bmp(argv[1])
    if "--crop" in argv:
        i = argv.index("--crop")
        x, y, cw, ch = (int(v) for v in argv[i + 1:i + 5])
        n = int(argv[argv.index("--scale") + 1]) if "--scale" in argv else 1
        out = []
        for r in rows[y:y + ch]:
            px = [r[k:k + 3] for k in range(x * 3, (x + cw) * 3, 3)]
            line = b"".join(p * n for p in px)
            out.extend([line] * n)
        write_png(argv[2], cw * n, ch * n, out)
    else:
        write_png(argv[2], w, h, rows)


if __name__ == "__main__":
    main(sys.argv)
