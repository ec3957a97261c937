#!/usr/bin/env python3
"""Seeds for fuzz_apkg: a selector byte (see fuzz/fuzz_apkg.cpp) and a
package written byte by byte, names in code page 950.
    python3 fuzz/make_apkg_corpus.py fuzz/corpus/fuzz_apkg
"""
import struct

from corpus_seeds import write_seeds


def package(members, count=None, dir_offset=None):
    """members: (name bytes, data bytes[, size field]) in directory order."""
    data, entries = b"", b""
    for m in members:
        name, body = m[0], m[1]
        size = m[2] if len(m) > 2 else len(body)
        entries += name[:32].ljust(32, b"\0") + struct.pack("<ii", 12 + len(data), size)
        data += bytes(255 - b for b in body)
    off = 12 + len(data) if dir_offset is None else dir_offset
    n = len(members) if count is None else count
    return b"APKG" + struct.pack("<ii", off, n) + data + entries


def sel(name_index, out_state=0):
    return bytes([name_index | out_state << 3])


ONE = package([(b"m.txt", b"member data")])
SEEDS = {
    "one_member": sel(0) + ONE,
    "upper_lookup": sel(1) + ONE,
    "two_members": sel(0) + package([(b"a", b"first"), (b"m.txt", b"second")]),
    "empty_dir": sel(0) + package([]),
    "empty_member": sel(2) + package([(b"a", b"")]),
    "truncated": sel(0) + ONE[:20],
    "nested": sel(3) + package([(b"pic.tga", b"TGA"), (b"p.apkg", ONE)]),
    "twins": sel(0) + package([(b"m.txt", b"first"), (b"M.TXT", b"second"), (b"m.txt", b"third")]),
    "big5_twins": sel(7) + package([(b"\xa4\x61", b"a"), (b"\xa4\x41", b"b")]),
    "device_names": sel(5) + package([(b"ok", b"1"), (b"CON", b"2"), (b"nul.txt", b"3")]),
    "trailing_dot": sel(6) + package([(b"m.txt.", b"x")]),
    "trailing_space": sel(0) + package([(b"a ", b"x")]),
    "wildcards": sel(0) + package([(b"a*b", b"x"), (b"a?b", b"y")]),
    "separator": sel(4) + package([(b"b\\c", b"x"), (b"../up", b"y")]),
    "control_char": sel(0) + package([(b"a\x1b[2J", b"x")]),
    "bad_big5": sel(0) + package([(b"\xb3", b"x"), (b"\xa4\x20", b"y")]),
    "trail_5c": sel(0) + package([(b"\xb3\x5c.txt", b"x")]),
    # Found by fuzzing: F9F9 comes back from a Linux file name as A2A4.
    "round_trip_twins": sel(0) + package([(b"m" + b"\xf9\xf9" * 7 + b"%xt", b"x")]),
    "unterminated_name": sel(0) + package([(b"n" * 32, b"x")]),
    "later_damaged": sel(0) + package([(b"a", b"good"), (b"m.txt", b"bad", 100000)]),
    "negative_size": sel(0) + package([(b"m.txt", b"x", -1)]),
    "huge_count": sel(0) + package([(b"m.txt", b"x")], count=0x7FFFFFFF),
    "negative_offset": sel(0) + package([(b"m.txt", b"x")], dir_offset=-40),
    "into_empty": sel(0, 1) + ONE,
    "through_link": sel(0, 2) + ONE,
    "into_full": sel(0, 3) + ONE,
}


if __name__ == "__main__":
    write_seeds(SEEDS)
