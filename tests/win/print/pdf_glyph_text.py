#!/usr/bin/python3
"""The text a PDF from Wine's PostScript driver shows, page by page.

pdftotext cannot read it back: the driver downloads TrueType glyphs under
names of their glyph index ("g0041") without Unicode, so the PDF's fonts
carry no ToUnicode map. This maps every shown code through the font's
/Differences to the glyph index and through the TrueType font's cmap back
to the character.
Usage: pdf_glyph_text.py PDF TTF   (pages separated by form feeds)"""
import re
import sys
import zlib

from fontTools.ttLib import TTFont

pdf = open(sys.argv[1], 'rb').read()
order = TTFont(sys.argv[2]).getGlyphOrder()
cmap = TTFont(sys.argv[2]).getBestCmap()
char_of = {}
for code, name in sorted(cmap.items(), reverse=True):
    if code >= 0x20:
        char_of[name] = chr(code)  # the lowest code point of a shared glyph

objects = {int(m.group(1)): m.group(2) for m in re.finditer(rb'(\d+) 0 obj(.*?)endobj', pdf, re.S)}


def stream(body):
    m = re.search(rb'stream\r?\n(.*?)endstream', body, re.S)
    data = m.group(1) if m else b''
    return zlib.decompress(data) if b'/FlateDecode' in body else data


def differences(font):
    enc = re.search(rb'/Encoding (\d+) 0 R', objects[font])
    body = objects[int(enc.group(1))] if enc else objects[font]
    table, code = {}, 0
    for tok in re.findall(rb'\d+|/[^\s/\]]+', body.split(b'/Differences', 1)[1].split(b']')[0]):
        if tok[0:1] == b'/':
            table[code] = tok[1:].decode()
            code += 1
        else:
            code = int(tok)
    return table


def unescape(s):
    out, i = bytearray(), 0
    while i < len(s):
        c = s[i]
        if c == 0x5C:
            i += 1
            m = re.match(rb'[0-7]{1,3}', s[i:])
            if m:
                out.append(int(m.group(0), 8) & 0xFF)
                i += len(m.group(0))
                continue
            out += {b'n': b'\n', b'r': b'\r', b't': b'\t', b'b': b'\b', b'f': b'\f'}.get(s[i:i + 1], s[i:i + 1])
        else:
            out.append(c)
        i += 1
    return bytes(out)


STRING = rb'\(((?:\\.|[^\\)])*)\)'


def text_of(content, fonts):
    """One line per showing operator (Tj, ', TJ)."""
    lines, font = [], None
    for m in re.finditer(rb'/(\S+) [\d.]+ Tf|' + STRING + rb"\s*(?:Tj|')|\[(.*?)\]\s*TJ", content, re.S):
        if m.group(1):
            font = fonts.get(m.group(1))
            continue
        shown = m.group(2) if m.group(2) is not None else b''.join(re.findall(STRING, m.group(3), re.S))
        names = font or {}
        lines.append(''.join(char_of.get(order[int(names.get(b, 'g0')[1:], 16)], '?') for b in unescape(shown)))
    return '\n'.join(lines)


# The page contents draw form XObjects; their resources name the fonts.
texts = []
forms = [n for n in sorted(objects) if b'/Subtype /Form' in objects[n] and b'Tf' in stream(objects[n])]
for n in forms:
    res = re.search(rb'/Font (\d+) 0 R', objects[n])
    fonts = {}
    if res:
        for name, ref in re.findall(rb'/(\S+) (\d+) 0 R', objects[int(res.group(1))]):
            fonts[name] = differences(int(ref))
    texts.append(text_of(stream(objects[n]), fonts))
sys.stdout.write('\f'.join(texts))
