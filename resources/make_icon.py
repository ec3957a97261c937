#!/usr/bin/env python3
"""Writes the program icon of setup, the same bytes on every run.

    make_icon.py OUT.ico

One 32 x 32 image, 32 bits per pixel with alpha: a compact disc (silver
ring, blue shine, hole in the middle) on a transparent ground.
"""
import math
import struct
import sys

SIZE = 32


def pixel(x, y):
    # Blue, green, red, alpha for the pixel centre (x + 0.5, y + 0.5).
    dx, dy = x + 0.5 - SIZE / 2, y + 0.5 - SIZE / 2
    r = math.hypot(dx, dy)
    if r > 15 or r < 3:
        return (0, 0, 0, 0)
    if r < 5:
        return (90, 90, 90, 255)
    angle = math.atan2(dy, dx)
    shine = int(60 * (1 + math.cos(2 * angle)))
    grey = 170 + shine // 2
    return (min(255, grey + shine // 2), grey, max(0, grey - shine // 3), 255)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_icon.py OUT.ico")
    rows = []
    for y in reversed(range(SIZE)):  # bottom row first
        rows.append(b"".join(struct.pack("4B", *pixel(x, y)) for x in range(SIZE)))
    xor = b"".join(rows)
    and_mask = b"\0" * (SIZE * SIZE // 8)  # alpha decides; every row is 4 bytes
    dib = struct.pack("<IiiHHIIiiII", 40, SIZE, SIZE * 2, 1, 32, 0, len(xor) + len(and_mask), 0, 0, 0, 0)
    image = dib + xor + and_mask
    header = struct.pack("<HHH", 0, 1, 1)
    entry = struct.pack("<BBBBHHII", SIZE, SIZE, 0, 0, 1, 32, len(image), 6 + 16)
    with open(sys.argv[1], "wb") as f:
        f.write(header + entry + image)


if __name__ == "__main__":
    main()
