#!/usr/bin/env python3
"""Makes the syllable voice library "VtVocLib.dat" from Debian data only.

The pinyin table gives every GB2312 character from row 0xB0 on its reading
from Unihan (package unicode-data): kMandarin, else kXHC1983, else
kHanyuPinyin, written as upper-case pinyin with the tone digit (5 for the
neutral tone, u-umlaut as V), at most 7 bytes. The clips are spoken by
espeak-ng (voice cmn-latn-pinyin for the syllables and the digits, en-us for
the letters) and made 8 kHz A-law by sox; "mute" is 0.2 s of silence.

The names are scrambled with the key of telephony/voice/voc_lib_key.h.

  make_voclib.py --out DIR              the whole library (every syllable)
  make_voclib.py --out DIR --only NI2,HAO3,mute
                                        clips of the given syllables only
  make_voclib.py --out DIR --no-clips   the table alone (no entries)
"""
import argparse
import bz2
import os
import re
import struct
import subprocess
import sys
import tempfile
import unicodedata

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
KEY_HEADER = os.path.join(ROOT, "telephony", "voice", "voc_lib_key.h")
UNIHAN = "/usr/share/unicode/Unihan_Readings.txt.bz2"
FIRST_LEAD, LAST_LEAD = 0xB0, 0xF7
FIRST_TRAIL, LAST_TRAIL = 0xA1, 0xFE
RECORD_BYTES, NAME_BYTES, ENTRY_NAME_BYTES = 10, 7, 8
FIELDS = ("kMandarin", "kXHC1983", "kHanyuPinyin")
TONE_MARKS = {"\u0304": "1", "\u0301": "2", "\u030c": "3", "\u0300": "4"}
DIGITS = ["LING2", "YI1", "ER4", "SAN1", "SI4", "WU3", "LIU4", "QI1", "BA1", "JIU3"]
POLYPHONES = ["CHONG2", "HANG2", "E1", "NI2", "SHA4", "TIAO2", "ZHANG3"]
MUTE_BYTES = 1600  # 0.2 s
ALAW_SILENCE = b"\xd5"


def name_key():
    with open(KEY_HEADER, encoding="utf-8") as f:
        match = re.search(r"kVocLibNameKey\s*=\s*(0x[0-9A-Fa-f]+|\d+)", f.read())
    return int(match.group(1), 0)


def syllable(reading):
    """'nǚ' -> 'NV3'; 'ma' -> 'MA5'."""
    tone = "5"
    letters = ""
    for ch in unicodedata.normalize("NFD", reading):
        if ch in TONE_MARKS:
            tone = TONE_MARKS[ch]
        elif ch == "\u0308":
            letters = letters[:-1] + "V"  # u + diaeresis
        elif ch.isalpha():
            letters += ch.upper()
    return letters + tone


def unihan_readings(path):
    found = {field: {} for field in FIELDS}
    with bz2.open(path, "rt", encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != 3 or parts[1] not in found:
                continue
            value = parts[2].split()[0]
            if ":" in value:  # "0001.010:ā" / "10019.020:tiàn,tiǎn"
                value = value.split(":", 1)[1].split(",")[0]
            found[parts[1]][chr(int(parts[0][2:], 16))] = value
    return found


def pinyin_table(path):
    readings = unihan_readings(path)
    table = bytearray()
    for lead in range(FIRST_LEAD, LAST_LEAD + 1):
        for trail in range(FIRST_TRAIL, LAST_TRAIL + 1):
            name = b""
            try:
                char = bytes([lead, trail]).decode("gb2312")
            except UnicodeDecodeError:
                char = None
            if char is not None:
                for field in FIELDS:
                    if char in readings[field]:
                        name = syllable(readings[field][char]).encode("ascii")
                        break
            table += name[:NAME_BYTES].ljust(RECORD_BYTES, b"\0")
    return bytes(table)


def table_names(table):
    names = set()
    for at in range(0, len(table), RECORD_BYTES):
        name = table[at:at + NAME_BYTES].rstrip(b"\0").decode("ascii")
        if name:
            names.add(name)
    return names


def speak(text, voice, work):
    """A-law bytes at 8 kHz of espeak-ng speaking text."""
    wav = os.path.join(work, "clip.wav")
    raw = os.path.join(work, "clip.raw")
    subprocess.run(["espeak-ng", "-v", voice, "-w", wav, text], check=True)
    subprocess.run(["sox", wav, "-r", "8000", "-c", "1", "-e", "a-law", "-t", "raw", raw],
                   check=True)
    with open(raw, "rb") as f:
        return f.read()


def clip_of(name, work):
    if name == "mute":
        return ALAW_SILENCE * MUTE_BYTES
    if name.isdigit():
        return speak(DIGITS[int(name)].lower(), "cmn-latn-pinyin", work)
    if len(name) == 1:
        return speak(name, "en-us", work)
    return speak(name.lower().replace("v", "ü"), "cmn-latn-pinyin", work)


def library(table, clips, key):
    entries = b""
    data = b""
    for name, clip in clips:
        raw = name.encode("ascii")[:ENTRY_NAME_BYTES].ljust(ENTRY_NAME_BYTES, b"\0")
        entries += bytes((b - key) % 256 for b in raw) + struct.pack("<II", len(data), len(clip))
        data += clip
    clip_base = 12 + len(entries)
    return struct.pack("<III", len(clips), clip_base, len(data)) + entries + data + table


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--out", required=True, help="folder of VtVocLib.dat")
    parser.add_argument("--only", help="comma-separated syllables to give clips")
    parser.add_argument("--no-clips", action="store_true", help="the table alone")
    parser.add_argument("--unihan", default=UNIHAN)
    args = parser.parse_args()
    table = pinyin_table(args.unihan)
    if args.no_clips:
        names = []
    elif args.only:
        names = [n for n in args.only.split(",") if n]
    else:
        names = sorted(table_names(table) | set(POLYPHONES) | set("0123456789")
                       | {chr(c) for c in range(ord("A"), ord("Z") + 1)} | {"mute"})
    with tempfile.TemporaryDirectory() as work:
        clips = [(n, clip_of(n, work)) for n in names]
    os.makedirs(args.out, exist_ok=True)
    with open(os.path.join(args.out, "VtVocLib.dat"), "wb") as f:
        f.write(library(table, clips, name_key()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
