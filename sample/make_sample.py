#!/usr/bin/env python3
"""Writes the sample game, the same bytes on every run.

    make_sample.py OUT

OUT/game/          the folder that `discset pack` turns into discs
OUT/disc1_extra/   what lies beside cd1 on the first disc: data/ (copied by
                   setup into the install folder), the web shortcut file and
                   the slide-show pictures pic/ (when
                   scripts/make_sample_pictures.sh is there to draw them)

The game holds what a disc set has to carry: Big5 names (with 許, 功 and 蓋,
whose second byte is 0x5C, the backslash), nested and empty folders, an empty
file, files larger than one record (204800 bytes), a large incompressible
file that spans two discs when packed with a small disc size, and a
placeholder game program. The uninstaller is not part of the game: `discset
pack` puts the real one and its manifest into the set.
"""
import os
import random
import subprocess
import sys


def big5(text):
    return text.encode("cp950")


def write(path, data):
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f:
        f.write(data)


def placeholder_exe(name):
    # A stand-in program: an "MZ" start and a line saying what it is.
    return b"MZ" + b"\0" * 62 + ("placeholder for %s\r\n" % name).encode("ascii") + bytes(range(256)) * 8


def text_file(rng, lines, words):
    vocabulary = ["許功蓋", "冒險", "地圖", "寶物", "村莊", "勇者", "魔法", "城堡", "森林", "對話", "任務", "功能"]
    out = []
    for i in range(lines):
        out.append("%04d " % i + "".join(rng.choice(vocabulary) for _ in range(words)))
    return big5("\r\n".join(out) + "\r\n")


def table_file(rng, rows):
    # Game-like tables: numbers that compress well but not to nothing.
    out = []
    for i in range(rows):
        out.append("%d,%d,%d,%d,%s" % (i, rng.randrange(1000), rng.randrange(100), rng.randrange(10),
                                       rng.choice(["slime", "bat", "wolf", "dragon", "ghost"])))
    return ("\n".join(out) + "\n").encode("ascii")


def sound_file(rng, n):
    # A slowly varying wave with noise: compresses a little.
    data = bytearray(n)
    v = 128
    for i in range(n):
        v = max(0, min(255, v + rng.randrange(-3, 4)))
        data[i] = v
    return bytes(data)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make_sample.py OUT")
    out = sys.argv[1]
    rng = random.Random(20261208)
    game = os.path.join(out, "game")
    extra = os.path.join(out, "disc1_extra")

    files = {
        "game.exe": placeholder_exe("game.exe"),
        "說明.txt": text_file(rng, 40, 6),
        "空白.txt": b"",
        "許功蓋/功能表.txt": text_file(rng, 30, 4),
        "許功蓋/蓋/許.dat": table_file(rng, 200),
        "資料/地圖/第一章/村莊.map": table_file(rng, 3000),
        "資料/地圖/第一章/森林.map": table_file(rng, 2500),
        "資料/地圖/第二章/城堡.map": table_file(rng, 20000),
        "資料/對話/序章.txt": text_file(rng, 2000, 8),
        "資料/音效/背景音樂.wav": sound_file(rng, 600000),
        # Random bytes: incompressible, about six records; packed with a
        # disc size of 1000000 it starts on disc 1 and ends on disc 2.
        "影片/片頭.avi": rng.randbytes(1200000),
        "影片/空的.avi": b"",
    }
    for name, data in files.items():
        write(os.path.join(game, *name.split("/")), data)
    for folder in ["存檔", "資料/地圖/空的章節", "許功蓋/空"]:
        os.makedirs(os.path.join(game, *folder.split("/")), exist_ok=True)

    write(os.path.join(extra, "data", "設定.ini"), big5("[設定]\r\n畫面=640x480\r\n音量=80\r\n"))
    write(os.path.join(extra, "data", "存檔", "說明.txt"), big5("存檔放在這裡。\r\n"))
    write(os.path.join(extra, "官方網頁.url"), b"[InternetShortcut]\r\nURL=http://www.example.com/\r\n")

    pictures = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts", "make_sample_pictures.sh")
    if os.path.exists(pictures):
        subprocess.run(["bash", pictures, extra], check=True, stdout=subprocess.DEVNULL)


if __name__ == "__main__":
    main()
