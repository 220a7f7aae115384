#!/usr/bin/env python3
"""Makes the fax code table "huffman.cod" of the text-to-fax conversion.

The codes are the one-dimensional Modified Huffman codes of ITU-T T.4,
typed in below: the terminating codes of the runs 0..63 and the make-up
codes of the runs 64..1728 for white and for black, and the end-of-line code.

The file: u16 record count (little-endian), then one 38-byte record per run
(records 0..63 the terminating codes, record 63 + k the make-up code of the
run 64 k), then the end-of-line record. A record is: u16 run length, u16
white code length, u16 black code length, 16 bytes of the white code, 16
bytes of the black code, one byte per bit (0 or 1), first bit first. The
end-of-line record keeps its length in the white length field and its bits
in the white code bytes.

  make_huffman_cod.py --out DIR        writes DIR/huffman.cod
"""
import argparse
import os
import struct
import sys

WHITE_TERMINATING = """
00110101 000111 0111 1000 1011 1100 1110 1111
10011 10100 00111 01000 001000 000011 110100 110101
101010 101011 0100111 0001100 0001000 0010111 0000011 0000100
0101000 0101011 0010011 0100100 0011000 00000010 00000011 00011010
00011011 00010010 00010011 00010100 00010101 00010110 00010111 00101000
00101001 00101010 00101011 00101100 00101101 00000100 00000101 00001010
00001011 01010010 01010011 01010100 01010101 00100100 00100101 01011000
01011001 01011010 01011011 01001010 01001011 00110010 00110011 00110100
"""

WHITE_MAKE_UP = """
11011 10010 010111 0110111 00110110 00110111 01100100 01100101
01101000 01100111 011001100 011001101 011010010 011010011 011010100 011010101
011010110 011010111 011011000 011011001 011011010 011011011 010011000 010011001
010011010 011000 010011011
"""

BLACK_TERMINATING = """
0000110111 010 11 10 011 0011 0010 00011
000101 000100 0000100 0000101 0000111 00000100 00000111 000011000
0000010111 0000011000 0000001000 00001100111 00001101000 00001101100 00000110111 00000101000
00000010111 00000011000 000011001010 000011001011 000011001100 000011001101 000001101000 000001101001
000001101010 000001101011 000011010010 000011010011 000011010100 000011010101 000011010110 000011010111
000001101100 000001101101 000011011010 000011011011 000001010100 000001010101 000001010110 000001010111
000001100100 000001100101 000001010010 000001010011 000000100100 000000110111 000000111000 000000100111
000000101000 000001011000 000001011001 000000101011 000000101100 000001011010 000001100110 000001100111
"""

BLACK_MAKE_UP = """
0000001111 000011001000 000011001001 000001011011 000000110011 000000110100 000000110101 0000001101100
0000001101101 0000001001010 0000001001011 0000001001100 0000001001101 0000001110010 0000001110011 0000001110100
0000001110101 0000001110110 0000001110111 0000001010010 0000001010011 0000001010100 0000001010101 0000001011010
0000001011011 0000001100100 0000001100101
"""

EOL = "000000000001"

TERMINATING_RUNS = 64
MAKE_UP_RUNS = 27  # 64, 128, ... 1728
CODE_BYTES = 16
RECORD_BYTES = 6 + 2 * CODE_BYTES


def codes(text, count):
    words = text.split()
    if len(words) != count or any(set(w) - set("01") for w in words):
        sys.exit("make_huffman_cod.py: a code list is mistyped")
    return words


def check_prefix_free(words, colour):
    """A decoder could not tell two codes apart if one began the other."""
    for a in words:
        for b in words:
            if a is not b and b.startswith(a):
                sys.exit(f"make_huffman_cod.py: {colour} code {a} begins {b}")


def code_bytes(code):
    return bytes(int(bit) for bit in code).ljust(CODE_BYTES, b"\0")


def record(run, white, black):
    return (struct.pack("<HHH", run, len(white), len(black)) + code_bytes(white)
            + code_bytes(black))


def table():
    white = codes(WHITE_TERMINATING, TERMINATING_RUNS) + codes(WHITE_MAKE_UP, MAKE_UP_RUNS)
    black = codes(BLACK_TERMINATING, TERMINATING_RUNS) + codes(BLACK_MAKE_UP, MAKE_UP_RUNS)
    check_prefix_free(white + [EOL], "white")
    check_prefix_free(black + [EOL], "black")
    runs = list(range(TERMINATING_RUNS)) + [64 * k for k in range(1, MAKE_UP_RUNS + 1)]
    out = struct.pack("<H", len(runs))
    for run, w, b in zip(runs, white, black):
        out += record(run, w, b)
    out += struct.pack("<HHH", 0, len(EOL), 0) + code_bytes(EOL) + bytes(CODE_BYTES)
    assert len(out) == 2 + RECORD_BYTES * (len(runs) + 1)
    return out


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--out", required=True, help="folder of huffman.cod")
    args = parser.parse_args()
    os.makedirs(args.out, exist_ok=True)
    with open(os.path.join(args.out, "huffman.cod"), "wb") as f:
        f.write(table())


if __name__ == "__main__":
    main()
