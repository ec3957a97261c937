#!/usr/bin/env python3
"""Regenerates the seed corpora of fuzz_iso_image and fuzz_cue_sheet.

fuzz_iso_image: small ISO 9660 volumes built byte by byte, given from
sector 16 on (the target puts 16 zero sectors before them): a primary
descriptor, a boot record, a Joliet descriptor (%/E), an enhanced
descriptor (version 2), the set terminator; a primary and a Joliet tree of
a root folder holding CD1 and a folder DIR holding A.TXT. Variants drop or
damage a part.

fuzz_cue_sheet: sheets naming disc.bin (the data track the target writes)
and audio.bin, in the forms tools write them.

    fuzz/make_image_corpus.py [OUTDIR]   (default fuzz/corpus)
"""
import os
import struct
import sys

SECTOR = 2048


def both16(v):
    return struct.pack("<H", v) + struct.pack(">H", v)


def both32(v):
    return struct.pack("<I", v) + struct.pack(">I", v)


def record(name, lsn, size, directory):
    """A directory record: length, extent, size, flags, volume 1, name."""
    n = len(name)
    length = 33 + n + (1 if n % 2 == 0 else 0)
    r = bytearray(length)
    r[0] = length
    r[2:10] = both32(lsn)
    r[10:18] = both32(size)
    r[25] = 2 if directory else 0
    r[28:32] = both16(1)
    r[32] = n
    r[33:33 + n] = name
    return bytes(r)


def folder(own, parent, entries):
    """A folder of one sector: ".", "..", then the entries."""
    data = record(b"\0", own, SECTOR, True) + record(b"\1", parent, SECTOR, True)
    for e in entries:
        data += record(*e)
    return data.ljust(SECTOR, b"\0")


def descriptor(kind, version, root_lsn, escapes=b""):
    d = bytearray(SECTOR)
    d[0] = kind
    d[1:6] = b"CD001"
    d[6] = version
    if kind in (1, 2):
        d[40:72] = b"FUZZ".ljust(32)
        d[80:88] = both32(26)              # volume space size
        d[88:88 + len(escapes)] = escapes
        d[120:124] = both16(1)             # volume set size
        d[124:128] = both16(1)             # volume sequence number
        d[128:132] = both16(SECTOR)        # logical block size
        d[156:190] = record(b"\0", root_lsn, SECTOR, True)
        d[881] = version
    return bytes(d)


def ucs2(s):
    return s.encode("utf-16-be")


def volume(joliet=True, boot=True, enhanced=True, damage=None):
    # Sectors 16.. : descriptors, then 21 primary root, 22 Joliet root,
    # 23 primary DIR, 24 Joliet DIR, 25 the files' data.
    sectors = {16: descriptor(1, 1, 21)}
    at = 17
    if boot:
        sectors[at] = descriptor(0, 1, 0)
        at += 1
    if joliet:
        sectors[at] = descriptor(2, 1, 22, b"%/E")
        at += 1
    if enhanced:
        sectors[at] = descriptor(2, 2, 21)
        at += 1
    sectors[at] = descriptor(255, 1, 0)
    sectors[21] = folder(21, 21, [(b"CD1.;1", 25, 5, False), (b"DIR", 23, SECTOR, True)])
    sectors[22] = folder(22, 22, [(ucs2("cd1"), 25, 5, False), (ucs2("dir"), 24, SECTOR, True)])
    sectors[23] = folder(23, 21, [(b"A.TXT;1", 25, 5, False)])
    sectors[24] = folder(24, 22, [(ucs2("a.txt"), 25, 5, False)])
    sectors[25] = b"hello".ljust(SECTOR, b"\0")
    image = bytearray(b"".join(sectors.get(s, bytes(SECTOR)) for s in range(16, 26)))
    if damage == "joliet-root-past-end":
        j = (18 - 16) * SECTOR + 156
        image[j + 2:j + 10] = both32(0x7FFFFFF0)
    elif damage == "primary-root-zero":
        image[156 + 10:156 + 18] = both32(0)
    elif damage == "record-overruns":
        image[(21 - 16) * SECTOR + 68] = 250   # the third record's length runs past the sector
    elif damage == "loop":
        image[(23 - 16) * SECTOR + 68 + 2:(23 - 16) * SECTOR + 68 + 10] = both32(21)
        image[(23 - 16) * SECTOR + 68 + 25] = 2
    return bytes(image)


ISO_SEEDS = {
    "all_descriptors": volume(),
    "primary_only": volume(joliet=False, boot=False, enhanced=False),
    "joliet_after_boot": volume(enhanced=False),
    "enhanced_only": volume(joliet=False, boot=False),
    "joliet_root_past_end": volume(damage="joliet-root-past-end"),
    "primary_root_zero": volume(damage="primary-root-zero"),
    "record_overruns": volume(joliet=False, damage="record-overruns"),
    "folder_loop": volume(joliet=False, damage="loop"),
    "cut_in_descriptors": volume()[:SECTOR + 100],
}

CUE_SEEDS = {
    "quoted": 'FILE "disc.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n',
    "unquoted_crlf": "FILE disc.bin BINARY\r\nTRACK 01 MODE1/2352\r\nINDEX 01 00:00:00\r\n",
    "audio_after": 'FILE "disc.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n'
                   'FILE "audio.bin" BINARY\n  TRACK 02 AUDIO\n    PREGAP 00:02:00\n    INDEX 00 00:00:00\n'
                   '    INDEX 01 00:00:02\n    POSTGAP 00:01:00\n',
    "audio_first": 'FILE "audio.bin" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n'
                   'FILE "disc.bin" BINARY\n  TRACK 02 MODE2/2352\n    INDEX 01 00:00:00\n',
    "index_past_end": 'FILE "disc.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 59:59:74\n',
    "mode1_2048": 'REM COMMENT "x"\nFILE "disc.bin" BINARY\n  TRACK 01 MODE1/2048\n    INDEX 01 00:00:00\n',
    "missing_file": 'FILE "gone.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n',
    "not_a_sheet": "this is no sheet\n",
    "two_tracks_one_file": 'FILE "disc.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n'
                           '  TRACK 02 AUDIO\n    INDEX 01 00:00:18\n',
}


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)), "corpus")
    for target, seeds in (("fuzz_iso_image", ISO_SEEDS), ("fuzz_cue_sheet", CUE_SEEDS)):
        os.makedirs(os.path.join(out, target), exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(out, target, name), "wb") as f:
                f.write(data if isinstance(data, bytes) else data.encode())


if __name__ == "__main__":
    main()
