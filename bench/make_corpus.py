#!/usr/bin/env python3
"""Writes a game-like corpus for the benchmark, the same bytes on every run.

    make_corpus.py OUT [MEGABYTES]     (default 300)

Roughly: 40% many small files (scripts, tables, dialogue: 200 bytes to
16 KiB, in a few hundred nested folders), 30% medium files (maps, tables:
100 KiB to 2 MiB), 15% large low-entropy files (textures, sounds: 4 bits of
randomness per byte), 15% incompressible files (video, already-compressed
audio). Names are ASCII and Big5.
"""
import os
import random
import sys


def main():
    if len(sys.argv) not in (2, 3):
        sys.exit("usage: make_corpus.py OUT [MEGABYTES]")
    out = sys.argv[1]
    total = int(sys.argv[2] if len(sys.argv) == 3 else 300) * 1000 * 1000
    rng = random.Random(300)

    # Text material: lines of words, sliced into files.
    words = ["村莊", "勇者", "魔法", "城堡", "森林", "許功蓋", "dragon", "slime", "quest", "item", "gold",
             "hp", "mp", "attack", "defense", "speed", "npc", "talk", "shop", "inn", "0", "1", "12", "255"]
    lines = []
    for i in range(60000):
        lines.append(("%05d " % i + " ".join(rng.choice(words) for _ in range(rng.randrange(3, 12)))).encode("cp950"))
    text = b"\r\n".join(lines)
    # Nibble table: each byte keeps 4 random bits.
    nibble = bytes((i & 0x0F) * 3 + 40 for i in range(256))

    written = 0

    def put(rel, data):
        nonlocal written
        path = os.path.join(out, *rel.split("/"))
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        written += len(data)

    def text_slice(n):
        start = rng.randrange(0, len(text) - n)
        return text[start:start + n]

    small_budget = total * 40 // 100
    i = 0
    while written < small_budget:
        folder = "script/%s%02d/%02d" % (rng.choice(["chapter", "章節", "event"]), i % 37, (i // 37) % 9)
        n = rng.randrange(200, 16384)
        put("%s/%s%05d.%s" % (folder, rng.choice(["s", "對話", "t"]), i, rng.choice(["txt", "dat", "csv"])),
            text_slice(n))
        i += 1

    medium_budget = written + total * 30 // 100
    i = 0
    while written < medium_budget:
        n = rng.randrange(100 * 1024, 2 * 1024 * 1024)
        put("map/area%02d/地圖%03d.map" % (i % 12, i), text_slice(n))
        i += 1

    large_budget = written + total * 15 // 100
    i = 0
    while written < large_budget:
        n = min(24 * 1024 * 1024, large_budget - written)
        put("texture/pack%02d.tex" % i, rng.randbytes(n).translate(nibble))
        i += 1

    i = 0
    while written < total:
        n = min(16 * 1024 * 1024, total - written)
        put("movie/片段%02d.avi" % i, rng.randbytes(n))
        i += 1

    os.makedirs(os.path.join(out, "save"), exist_ok=True)
    put("game.exe", b"MZ" + bytes(1022))
    print("corpus: %d bytes in %s" % (written, out))


if __name__ == "__main__":
    main()
