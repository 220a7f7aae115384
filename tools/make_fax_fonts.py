#!/usr/bin/env python3
"""Makes the 16-dot fonts "asc16" and "hzk16" of the text-to-fax conversion
from GNU Unifont (Debian package unifont: /usr/share/unifont/unifont.hex).

  asc16  256 glyphs of 8x16 pixels, 16 bytes each (a byte a row, leftmost
         pixel in the high bit), indexed by the byte value: the ASCII
         characters 0x20..0x7E and the Latin-1 characters 0xA0..0xFF; the
         other bytes are blank.
  hzk16  the 94 x 94 cells of GB2312, 16x16 pixels, 32 bytes each (two
         bytes a row), cell (lead - 0xA1) x 94 + (trail - 0xA1); each cell's
         character comes from python3's GB2312 codec. Cells without a
         character are blank; a narrow glyph fills the left half.

  make_fax_fonts.py --out DIR [--hex FILE]
"""
import argparse
import os
import sys

UNIFONT_HEX = "/usr/share/unifont/unifont.hex"
ROWS = 16
GB_CELLS = 94
GB_FIRST = 0xA1


def read_hex(path):
    """Code point -> glyph bytes (16 for a narrow glyph, 32 for a wide one)."""
    glyphs = {}
    with open(path, encoding="ascii") as f:
        for line in f:
            point, _, bits = line.strip().partition(":")
            if point and len(bits) in (32, 64):
                glyphs[int(point, 16)] = bytes.fromhex(bits)
    return glyphs


def narrow(glyph):
    return glyph if glyph is not None and len(glyph) == ROWS else bytes(ROWS)


def wide(glyph):
    if glyph is None:
        return bytes(2 * ROWS)
    if len(glyph) == ROWS:  # a narrow glyph in the left half
        return b"".join(bytes([row, 0]) for row in glyph)
    return glyph


def asc16(glyphs):
    out = bytearray()
    for b in range(256):
        shown = 0x20 <= b <= 0x7E or 0xA0 <= b <= 0xFF
        out += narrow(glyphs.get(b)) if shown else bytes(ROWS)
    return bytes(out)


def gb2312_char(lead, trail):
    try:
        return bytes([lead, trail]).decode("gb2312")
    except UnicodeDecodeError:
        return None


def hzk16(glyphs):
    out = bytearray()
    for row in range(GB_CELLS):
        for cell in range(GB_CELLS):
            ch = gb2312_char(GB_FIRST + row, GB_FIRST + cell)
            out += wide(glyphs.get(ord(ch)) if ch else None)
    return bytes(out)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="folder of asc16 and hzk16")
    parser.add_argument("--hex", default=UNIFONT_HEX, help="unifont.hex to read")
    args = parser.parse_args()
    if not os.path.exists(args.hex):
        sys.exit(f"make_fax_fonts.py: {args.hex} is missing (apt-get install unifont)")
    glyphs = read_hex(args.hex)
    os.makedirs(args.out, exist_ok=True)
    for name, data in (("asc16", asc16(glyphs)), ("hzk16", hzk16(glyphs))):
        with open(os.path.join(args.out, name), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
