#!/usr/bin/env python3
"""Seeds for fuzz_disc: record scripts in the target's input format (see
fuzz/fuzz_disc.cpp), one file per case. Paths are code page 950 bytes.
    python3 fuzz/make_disc_corpus.py fuzz/corpus/fuzz_disc
"""
import struct

from corpus_seeds import write_seeds

DIR, FILE, DATA, CLOSE, END, NEXT = 1, 2, 3, 4, 5, 6


def rec(op, payload=b""):
    assert len(payload) < 256
    return bytes([op, len(payload)]) + payload


def d(path):
    return rec(DIR, path)


def f(path):
    return rec(FILE, path)


def data(text):
    return rec(DATA, text)


def raw(bytes_):
    """Bytes copied into the disc file as they are."""
    return rec(0x87, bytes_)


CLOSE_B, END_B, NEXT_B = bytes([CLOSE]), bytes([END]), bytes([NEXT])
GAME = d(b"\\d") + f(b"\\d\\f.txt") + data(b"hello") + CLOSE_B + END_B
XU_GONG_GAI = b"\xb3\x5c\xa5\x5c\xbb\x5c"  # second bytes 0x5C

SEEDS = {
    "small_set": b"\x00" + GAME,
    "total_zero": b"\x01" + GAME,
    "cancel_at_two": bytes([2 << 2]) + GAME,
    "two_discs": b"\x00" + f(b"\\movie") + data(b"part one") + END_B + NEXT_B + data(b"part two") + CLOSE_B,
    "missing_disc": b"\x02" + f(b"\\movie") + data(b"runs on") + END_B,
    "no_end_record": b"\x00" + d(b"\\a") + f(b"\\a\\b") + data(b"x" * 30),
    "skipped_types": b"\x00" + d(b"\\a") + b"\x00" + f(b"\\a\\b") + b"\x07" + data(b"y") + CLOSE_B,
    "parent_path": b"\x00" + d(b"\\ok") + f(b"\\..\\escape") + data(b"x"),
    "deep_climb": b"\x00" + f(b"\\.." * 45 + b"\\x") + data(b"x"),
    "inner_climb": b"\x00" + d(b"\\a") + f(b"\\a\\..\\..\\b") + data(b"x"),
    "device_con": b"\x00" + f(b"\\CON") + data(b"x"),
    "device_nul_ext": b"\x00" + d(b"\\d") + f(b"\\d\\nul.txt") + data(b"x"),
    "device_com1": b"\x00" + f(b"\\com1") + data(b"x"),
    "trailing_dot": b"\x00" + f(b"\\a.") + data(b"x"),
    "trailing_space": b"\x00" + f(b"\\a ") + data(b"x"),
    "trailing_separator": b"\x00" + d(b"\\save\\") + f(b"\\save\\s") + data(b"x"),
    "wildcards": b"\x00" + f(b"\\a*b?") + data(b"x"),
    "control_char": b"\x00" + f(b"\\a\x1b[2Jb") + data(b"x"),
    "drive_colon": b"\x00" + f(b"\\c:x") + data(b"x"),
    "forward_slash": b"\x00" + f(b"\\a/../../b") + data(b"x"),
    "big5_names": b"\x00" + d(b"\\" + XU_GONG_GAI) + f(b"\\" + XU_GONG_GAI + b"\\" + XU_GONG_GAI[:2]) + data(b"lid"),
    "lone_lead_byte": b"\x00" + f(b"\\a\xb3") + data(b"x"),
    "no_nul": b"\x00" + rec(FILE | 0x08, b"\\f") + data(b"x"),
    "long_path": b"\x00" + f(b"\\" + b"a" * 130) + data(b"x"),
    "case_twins": b"\x00" + f(b"\\Readme") + data(b"1") + CLOSE_B + f(b"\\README") + data(b"2") + CLOSE_B,
    "file_then_folder": b"\x00" + f(b"\\x") + data(b"1") + CLOSE_B + d(b"\\x\\y"),
    "folder_then_file": b"\x00" + d(b"\\x") + f(b"\\x") + data(b"1"),
    "data_first": b"\x00" + data(b"no file yet") + f(b"\\f"),
    "stored_stream": b"\x00" + f(b"\\f") + rec(DATA | 0x80, b"\x78\x9c not deflate"),
    "limit_data": b"\x00" + f(b"\\big") + rec(DATA | 0x20, b"0123456789") + CLOSE_B,
    "over_limit_data": b"\x00" + f(b"\\big") + rec(DATA | 0x60, b"0123456789") + CLOSE_B,
    "bad_length": b"\x00" + f(b"\\f") + raw(bytes([DATA]) + struct.pack("<i", 409601) + b"xx"),
    "cut_length": b"\x00" + f(b"\\f") + raw(bytes([DATA, 0x10, 0x00])),
    "negative_count": b"\x03" + struct.pack("<ii", -1, 10) + GAME,
    "zero_count": b"\x03" + struct.pack("<ii", 0, 10) + GAME,
    # Forms Windows reads its own way: the install folder, a trailing
    # backslash, trailing dots and spaces, and names equal but for case.
    "windows_forms": b"\x00" + d(b"\\") + d(b"\\Save.\\") + f(b"\\save\\slot. .") + data(b"s")
    + f(b"\\SAVE\\SLOT") + data(b"t") + CLOSE_B + d(b"\\a \\") + END_B,
}


if __name__ == "__main__":
    write_seeds(SEEDS)
