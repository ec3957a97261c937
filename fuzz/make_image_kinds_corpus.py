#!/usr/bin/env python3
"""Seeds for the image-format fuzz targets: CloneCD sheets, Alcohol
descriptors, cdrdao sheets and small Nero images, each sound and a few
damaged, written from the layouts described in tools/media/*_image.cpp.
    python3 fuzz/make_image_kinds_corpus.py fuzz/corpus
"""
import os
import struct
import sys

from corpus_seeds import write_seeds


def ccd(sectors, mode=1, audio=0, control="0x04", scrambled=0):
    s = "[CloneCD]\nVersion=3\n[Disc]\nTocEntries=4\nSessions=1\n"
    s += f"DataTracksScrambled={scrambled}\nCDTextLength=0\n[Session 1]\nPreGapMode={mode}\n"

    def entry(n, point, ctl, plba):
        a = plba + 150
        return (f"[Entry {n}]\nSession=1\nPoint={point}\nADR=0x01\nControl={ctl}\nTrackNo=0\n"
                f"PMin={a // 4500}\nPSec={a // 75 % 60}\nPFrame={a % 75}\nPLBA={plba}\n")

    s += entry(0, "0xa0", control, 4350) + entry(1, "0xa1", control, 4350)
    s += entry(2, "0xa2", control, sectors + audio) + entry(3, "0x01", control, 0)
    if audio:
        s += entry(4, "0x02", "0x00", sectors)
    s += f"[TRACK 1]\nMODE={mode}\nINDEX 1=0\n"
    if audio:
        s += "[TRACK 2]\nMODE=0\nINDEX 1=0\n"
    return s.encode()


def mds(sectors, mode=0xAA, stride=2352, name=b"*.mdf"):
    # header 92, session at 92, 4 track blocks at 116, extra at 436,
    # footer at 444, name at 460 (see alcohol_image.cpp)
    d = bytearray(460 + len(name) + 1)
    d[0:16] = b"MEDIA DESCRIPTOR"
    d[16:18] = b"\x01\x03"
    struct.pack_into("<H", d, 20, 1)
    struct.pack_into("<I", d, 80, 92)
    struct.pack_into("<iiHBBHHII", d, 92, -150, sectors, 1, 4, 3, 1, 1, 0, 116)
    for b, point in enumerate([0xA0, 0xA1, 0xA2, 1]):
        d[116 + b * 80 + 2] = 0x14
        d[116 + b * 80 + 4] = point
    t = 116 + 3 * 80
    d[t] = mode
    d[t + 1] = 8 if stride == 2448 else 0
    struct.pack_into("<I", d, t + 12, 436)
    struct.pack_into("<H", d, t + 16, stride)
    struct.pack_into("<IQII", d, t + 36, 0, 0, 1, 444)
    struct.pack_into("<II", d, 436, 0, sectors)
    struct.pack_into("<II", d, 444, 460, 0)
    d[460:460 + len(name)] = name
    return bytes(d)


def nrg(version=2, sectors=2, mode=0):
    data = bytes(sectors * 2048)
    if version == 2:
        c = b"ETN2" + struct.pack(">IQQIIQ", 32, 0, len(data), mode, 0, 0)
    else:
        c = b"ETNF" + struct.pack(">IIIIII", 20, 0, len(data), mode, 0, 0)
    c += b"SINF" + struct.pack(">II", 4, 1) + b"END!" + struct.pack(">I", 0)
    foot = b"NER5" + struct.pack(">Q", len(data)) if version == 2 else b"NERO" + struct.pack(">I", len(data))
    return data + c + foot


def main():
    out = sys.argv[1]
    write_seeds({
        "mode1": ccd(300),
        "mode2_audio_after": ccd(300, 2, 150),
        "audio_only": ccd(300, control="0x00"),
        "scrambled": ccd(300, scrambled=1),
        "no_track_section": ccd(300).replace(b"[TRACK 1]", b"[TRACK 9]"),
    }, os.path.join(out, "fuzz_clonecd"))
    write_seeds({
        "raw_mode1": mds(300),
        "sub_form1": mds(300, 0xEC, 2448, b"disc.mdf"),
        "cooked": mds(300, 0xAA, 2048),
        "form2": mds(300, 0xAD),
        "cut": mds(300)[:200],
    }, os.path.join(out, "fuzz_alcohol"))
    write_seeds({
        "mode1": b'CD_ROM\nTRACK MODE1\nDATAFILE "disc.iso"\n',
        "raw_sub": b'CD_ROM_XA\nCD_TEXT { LANGUAGE 0 { TITLE "x" } }\nTRACK MODE2_RAW RW_RAW\n'
                   b'NO COPY\nDATAFILE "d.bin" #0 10:00:00 // comment\n',
        "file_msf": b'CD_ROM\nTRACK MODE1_RAW\nFILE "d.bin" 00:02:00 01:00:00\nTRACK AUDIO\nFILE "d.bin" 0\n',
        "audio_first": b'CD_DA\nTRACK AUDIO\nFILE "a.wav" 0\n',
    }, os.path.join(out, "fuzz_cdrdao"))
    write_seeds({
        "v2": nrg(2),
        "v1": nrg(1),
        "mode2_2336": nrg(2, 2, 3)[:0] + bytes(2 * 2336) + b"ETN2" + struct.pack(">IQQIIQ", 32, 0, 2 * 2336, 3, 0, 0)
        + b"END!" + struct.pack(">I", 0) + b"NER5" + struct.pack(">Q", 2 * 2336),
        "dao": bytes(4096) + b"DAOX" + struct.pack(">I", 0) + b"END!" + struct.pack(">I", 0)
        + b"NER5" + struct.pack(">Q", 4096),
    }, os.path.join(out, "fuzz_nero"))


main()
