#!/usr/bin/env python3
"""Writes the memo window's artwork into a folder: the caption buttons and
the home strip (24-bit BMP, yellow is see-through), the pin and alarm icons
(16 x 16, 32-bit ICO), the delete confirmation's icon (32 x 32), the hand
cursor (CUR), the memo menu's images (a
toolbar resource and its 24-bit BMP, grey 192 see-through) and the three
sounds (WAV). Every picture is drawn below as a character map, one
character a pixel."""
import math
import os
import random
import struct
import sys

PALETTE = {
    ".": (255, 255, 0),      # see-through on buttons
    " ": None,               # transparent in icons and cursors
    "k": (0, 0, 0),
    "g": (96, 96, 96),
    "l": (160, 160, 160),
    "w": (255, 255, 255),
    "r": (200, 30, 30),
    "R": (255, 96, 96),
    "b": (40, 80, 170),
    "B": (110, 150, 230),
    "y": (240, 200, 40),
    "Y": (255, 240, 150),
    "o": (200, 120, 20),
    "s": (150, 150, 160),
    "G": (30, 140, 50),
    "W": (232, 232, 232),
}

# Caption buttons, 11 x 11.
DELETE = """
...........
.gg.....gg.
.ggg...ggg.
..ggg.ggg..
...ggggg...
....ggg....
...ggggg...
..ggg.ggg..
.ggg...ggg.
.gg.....gg.
...........
"""
DELETE_HOT = DELETE.replace("g", "r")
NEW = """
...........
....ggg....
....ggg....
....ggg....
.ggggggggg.
.ggggggggg.
.ggggggggg.
....ggg....
....ggg....
....ggg....
...........
"""
NEW_HOT = NEW.replace("g", "b")

# Home strip, 84 x 7: "HOME" between two rules.
HOME_TEXT = [
    "g...g..ggg..g...g.gggg",
    "g...g.g...g.gg.gg.g...",
    "ggggg.g...g.g.g.g.ggg.",
    "g...g.g...g.g...g.g...",
    "g...g..ggg..g...g.gggg",
]


def home(ink):
    rows = []
    text_w = len(HOME_TEXT[0])
    left = (84 - text_w) // 2
    for y in range(7):
        row = ["."] * 84
        t = y - 1
        for x in range(84):
            if 0 <= t < 5 and left <= x < left + text_w:
                row[x] = HOME_TEXT[t][x - left]
            elif y == 3 and (x < left - 3 or x >= left + text_w + 3) and x % 2 == 0:
                row[x] = "l"
        rows.append("".join(row).replace("g", ink))
    return "\n".join(rows)


# Icons, 16 x 16.
PIN = """
      kkkk
     kRRRRk
    kRrrrrRk
    krrrrrrk
     krrrrk
      krrk
     kkkkkk
    kRrrrrrk
     kkkkkk
       ss
       ss
       s

"""
PIN_DIM = PIN.replace("r", "R")
BELL = """
       kk
      kyyk
     kyYYyk
    kyYyyyyk
    kyYyyyyk
    kyYyyyyk
    kyYyyyyk
   kyYyyyyyyk
   kyyyyyyyyk
  kyyyyyyyyyyk
  kkkkkkkkkkkk
      koyk
       kk

"""
BELL_HOT = BELL.replace("y", "o").replace("Y", "y")
# Delete confirmation, 32 x 32: a note on its way into the bin.
BIN = """
             kkkkkk
        kkkkkYYYYYYk
        kYYYYYYYYYYk
        kYkkkkkkYYYk
        kYYYYYYYYYYk
   kkkkkkkkkkkkkkkkkkkkkkkkkk
   kwwwwwwwwwwkkkkwwwwwwwwwwk
   klllllllllllllllllllllllk
   kkkkkkkkkkkkkkkkkkkkkkkkkk
    kssssssssssssssssssssssk
    kswwslllswwslllswwslllsk
    kswwslllswwslllswwslllsk
    kswwslllswwslllswwslllsk
     kswslllswwslllswwsllsk
     kswslllswwslllswwsllsk
     kswslllswwslllswwsllsk
     kswslllswwslllswwsllsk
     kswslllswwslllswwsllsk
     kswslllswwslllswwsllsk
      kswsllswwslllswwsllk
      kswsllswwslllswwsllk
      kswsllswwslllswwsllk
      kswsllswwslllswwsllk
      kswsllswwslllswwsllk
      kswsllswwslllswwsllk
      ksssssssssssssssssk
       kkkkkkkkkkkkkkkkk

"""


# Hand cursor, 32 x 32, hot spot at the finger tip (5, 0).
HAND = """
    kk
   kwwk
   kwwk
   kwwk
   kwwk
   kwwkkk
   kwwkwwkkk
   kwwkwwkwwkk
kk kwwkwwkwwkwk
kwwkwwwwwwwwkwk
 kwwwwwwwwwwwwk
  kwwwwwwwwwwwk
  kwwwwwwwwwwwk
   kwwwwwwwwwk
   kwwwwwwwwwk
    kwwwwwwwk
    kwwwwwwwk
    kkkkkkkkk
"""

# The memo menu's images, 16 x 16, in the order of the toolbar's commands.
PRINT = """
    kkkkkkkk
    kwwwwwwk
    kwggggwk
    kwwwwwwk
    kwggggwk
  kkkkkkkkkkkk
 kWWWWWWWWWWWWk
 kWWWWWWWWWWGWk
 kllllllllllllk
 kllkkkkkkkkllk
 kllkwwwwwwkllk
 kkkkwggggwkkkk
    kwwwwwwk
    kwggggwk
    kkkkkkkk
"""
SEND = """
           G
           GG
      GGGGGGGG
      GGGGGGGGG
      GGGGGGGG
           GG
           G
kkkkkkkkkkkkk
kkwwwwwwwwwkk
kwkwwwwwwwkwk
kwwkwwwwwkwwk
kwwwkwwwkwwwk
kwwwwkwkwwwwk
kwwwwwkwwwwwk
kkkkkkkkkkkkk
"""
MINIMISE = """

 kkkkkkkkkkkkkk
 kyyyyyyyyyyyyk
 kyyyyyyyyyyyyk
 kkkkkkkkkkkkkk
 l     bb     l
      bbbb
 l   bbbbbb   l
    bbbbbbbb
 l    bbbb    l
      bbbb
 l    bbbb    l

 l l l l l l ll
"""
RESTORE = """

 kkkkkkkkkkkkkk
 kyyyyyyyyyyyyk
 kkkkkkkkkkkkkk
 kYYYYbbbbYYYYk
 kYYYYbbbbYYYYk
 kYYYYbbbbYYYYk
 kYYbbbbbbbbYYk
 kYYYbbbbbbYYYk
 kYYYYbbbbYYYYk
 kYYYYYbbYYYYYk
 kYYYYYYYYYYYYk
 kYYYYYYYYYYYYk
 kkkkkkkkkkkkkk
"""
NEW_MEMO = """
            G
            G
          GGGGG
 kkkkkkkkkk G
 kYYYYYYYYk G
 kYggggggYk
 kYYYYYYYYYk
 kYggggggYYk
 kYYYYYYYYYk
 kYggggggYYk
 kYYYYYYYYYk
 kYgggggYkkk
 kYYYYYYkyk
 kYYYYYYkk
 kkkkkkkk
"""
OPEN = """


 kkkk
kyyyyk
kyYYYykkkkkkk
kyYyyyyyyyyyk
kyYyykkkkkkkkkkk
kyYykYYYYYYYYYYk
kyYkYYYYYYYYYYk
kyykYYYYYYYYYk
kykYYYYYYYYYYk
kkYYYYYYYYYYk
kkkkkkkkkkkkk
"""
SAVE = """

 kkkkkkkkkkkkkk
 kbkwwwwwwwwkbk
 kbkwggggggwkbk
 kbkwwwwwwwwkbk
 kbkwggggggwkbk
 kbkwwwwwwwwkbk
 kbbkkkkkkkkbbk
 kbbbbbbbbbbbbk
 kbbkkkkkkkbbbk
 kbbkllkllkbbbk
 kbbkllkllkbbbk
 kbbkllllllkbbk
  kbkllllllkbbk
   kkkkkkkkkkkk
"""
IMPORT = """

      kkkkkkkkkk
      kYYYYYYYYk
      kYggggggYk
     GkYYYYYYYYk
     GGYggggggYk
GGGGGGGGYYYYYYYk
GGGGGGGGGgggggYk
GGGGGGGGYYYYYYYk
     GGYggggggYk
     GkYYYYYYYYk
      kYgggggYkk
      kYYYYYYky
      kkkkkkkk
"""
MENU_IMAGES = [(308, PRINT), (310, SEND), (311, MINIMISE), (312, RESTORE), (315, BELL), (317, NEW_MEMO),
               (318, OPEN), (319, SAVE), (321, IMPORT)]
MENU_SEE_THROUGH = (192, 192, 192)


def side_by_side(images, size, clear):
    """The images side by side as one bitmap's character rows."""
    grids = [grid(art, size, size) for art in images]
    return [[p if p else clear for g in grids for p in g[y]] for y in range(size)]


def toolbar(commands, size):
    """A toolbar resource: version 1, button width and height, count, ids."""
    return struct.pack("<4H", 1, size, size, len(commands)) + struct.pack("<%dH" % len(commands), *commands)


def grid(art, w, h):
    # The newline after the opening quotes is not a row; blank rows after it are.
    lines = art.removeprefix("\n").rstrip("\n").split("\n")
    out = []
    for y in range(h):
        line = lines[y] if y < len(lines) else ""
        out.append([PALETTE[line[x]] if x < len(line) else PALETTE[" "] for x in range(w)])
    return out


def bmp(art, w, h):
    return bmp_pixels(grid(art, w, h), w, h)


def bmp_pixels(pixels, w, h):
    row_bytes = (w * 3 + 3) & ~3
    data = bytearray()
    for row in reversed(pixels):
        line = bytearray()
        for p in row:
            r, g, b = p if p else (255, 255, 0)
            line += bytes((b, g, r))
        data += line + b"\0" * (row_bytes - len(line))
    header = struct.pack("<2sIHHI", b"BM", 54 + len(data), 0, 0, 54)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 24, 0, len(data), 2835, 2835, 0, 0)
    return header + info + data


def icon_image(art, size):
    pixels = grid(art, size, size)
    xor = bytearray()
    mask_row = ((size + 31) // 32) * 4
    mask = bytearray()
    for row in reversed(pixels):
        m = bytearray(mask_row)
        for x, p in enumerate(row):
            if p:
                xor += bytes((p[2], p[1], p[0], 255))
            else:
                xor += b"\0\0\0\0"
                m[x // 8] |= 0x80 >> (x % 8)
        mask += m
    info = struct.pack("<IiiHHIIiiII", 40, size, size * 2, 1, 32, 0, len(xor) + len(mask), 0, 0, 0, 0)
    return info + xor + mask


def ico(art, size=16, hotspot=None):
    image = icon_image(art, size)
    kind = 2 if hotspot else 1
    planes, bits = hotspot if hotspot else (1, 32)
    head = struct.pack("<HHH", 0, kind, 1)
    entry = struct.pack("<BBBBHHII", size, size, 0, 0, planes, bits, len(image), 6 + 16)
    return head + entry + image


def wav(samples, rate=22050):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples)
    fmt = struct.pack("<HHIIHH", 1, 1, rate, rate * 2, 2, 16)
    return (b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE" + b"fmt " + struct.pack("<I", 16) + fmt +
            b"data" + struct.pack("<I", len(data)) + data)


def tone(freqs, seconds, rate=22050, decay=6.0):
    n = int(seconds * rate)
    return [0.4 * math.exp(-decay * i / rate) * sum(math.sin(2 * math.pi * f * i / rate) for f in freqs) / len(freqs)
            for i in range(n)]


def sounds():
    # New memo: two rising notes.
    new = tone([880], 0.12) + tone([1320], 0.18)
    # Alarm ring: a bell strike, well under the one-second repeat.
    ring = tone([1046, 1568, 2093], 0.45, decay=7.0)
    # Recycle: a short falling rustle.
    rnd = random.Random(7)
    n = int(0.3 * 22050)
    recycle = [0.3 * (1 - i / n) * rnd.uniform(-1, 1) * (0.5 + 0.5 * math.sin(i / 300.0)) for i in range(n)]
    return {"new.wav": wav(new), "ring.wav": wav(ring), "recycle.wav": wav(recycle)}


def main(folder, sound_folder):
    os.makedirs(folder, exist_ok=True)
    files = {
        "delete.bmp": bmp(DELETE, 11, 11),
        "delete_hot.bmp": bmp(DELETE_HOT, 11, 11),
        "new.bmp": bmp(NEW, 11, 11),
        "new_hot.bmp": bmp(NEW_HOT, 11, 11),
        "home.bmp": bmp(home("g"), 84, 7),
        "home_hot.bmp": bmp(home("b"), 84, 7),
        "pin.ico": ico(PIN),
        "pin_dim.ico": ico(PIN_DIM),
        "alarm.ico": ico(BELL),
        "alarm_hot.ico": ico(BELL_HOT),
        "hand.cur": ico(HAND, 32, hotspot=(5, 0)),
        "delete_confirm.ico": ico(BIN, 32),
        "memo_toolbar.bmp": bmp_pixels(side_by_side([a for _, a in MENU_IMAGES], 16, MENU_SEE_THROUGH),
                                       16 * len(MENU_IMAGES), 16),
        "memo_toolbar.bin": toolbar([c for c, _ in MENU_IMAGES], 16),
    }
    for name, data in files.items():
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    os.makedirs(sound_folder, exist_ok=True)
    for name, data in sounds().items():
        with open(os.path.join(sound_folder, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
