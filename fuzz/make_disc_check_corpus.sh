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
echo "seeds in $out"
