#!/usr/bin/env bash
# Seeds for fuzz_disc_check, made by discset itself: small sets of one and
# two discs (with Big5 names, an empty folder, an empty file and a file
# running onto disc 2), their disc files joined by "DISCNEXT".
#     fuzz/make_disc_check_corpus.sh DISCSET
set -euo pipefail
discset=$1
root=$(cd "$(dirname "$0")" && pwd)
out=$root/corpus/fuzz_disc_check
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$out" "$work/game/許功蓋/空"
printf 'MZ' >"$work/game/game.exe"
: >"$work/game/空白.txt"
seq 1 500 >"$work/game/許功蓋/表.txt"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(3).randbytes(2000))' >"$work/game/rand.bin"
opts=(--company 公司 --product 遊戲 --regkey Game --exe game.exe --threads 1)
"$discset" pack "$work/game" -o "$work/one" "${opts[@]}" >/dev/null
cp "$work/one/disc1/cd1" "$out/one_disc"
# A disc size that puts the end of rand.bin on disc 2.
"$discset" pack "$work/game" -o "$work/two" "${opts[@]}" --disc-size 2500 >/dev/null
{ cat "$work/two/disc1/cd1"; printf DISCNEXT; cat "$work/two/disc2/cd2"; } >"$out/two_discs"
head -c 200 "$work/one/disc1/cd1" >"$out/cut_short"
# Damaged variants, each changing the bytes that matter for one check.
python3 - "$work/one/disc1/cd1" "$out/two_discs" "$out" <<'PY'
import struct, sys
one, two, out = open(sys.argv[1], "rb").read(), open(sys.argv[2], "rb").read(), sys.argv[3]
def put(name, b):
    open(out + "/" + name, "wb").write(b)
put("header_only", one[:168])
put("count_three", two[:160] + struct.pack("<i", 3) + two[164:])            # disc count at 160
put("count_zero", one[:160] + struct.pack("<i", 0) + one[164:])
put("total_off_by_one", one[:164] + struct.pack("<i", struct.unpack("<i", one[164:168])[0] + 1) + one[168:])
put("esc_company", b"\x1b[2J" + one[4:])                                     # company text at 0
put("junk_after_end", one + b"\x01\x02\x03")
put("no_end_record", one[:-1])
put("flipped_byte", one[:300] + bytes([one[300] ^ 1]) + one[301:])
put("extra_disc", one + b"DISCNEXT" + b"\x05")
put("huge_length", one[:168] + b"\x02" + struct.pack("<i", 0x7FFFFFFF) + one[173:])
PY
echo "seeds in $out"
