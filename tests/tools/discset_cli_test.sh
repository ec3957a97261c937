#!/usr/bin/env bash
# The discset command line: exit codes and messages of pack, list, test and
# extract, and --help of each.
#     discset_cli_test.sh DISCSET              (native)
#     discset_cli_test.sh wine-run.sh DISCSET.EXE   (a Windows build under Wine)
set -uo pipefail
runner=("$@")
discset() { "${runner[@]}" "$@"; }
. "$(dirname "$0")/cli_check.sh"

game=$work/game
mkdir -p "$game/許功蓋/空" "$game/存檔"
printf 'MZ' >"$game/game.exe"
: >"$game/空白.txt"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(7).randbytes(600000))' >"$game/許功蓋/big.bin"
seq 1 50000 >"$game/table.txt"
opts=(--company 公司 --product 遊戲 --regkey Game --exe game.exe)
# The sets below carry no uninstaller; the ones that do are at the end.
plain=(--no-uninstaller)

for sub in pack list test extract; do
  discset "$sub" --help >"$work/help.out" 2>&1
  check "$sub --help" grep -q Usage "$work/help.out"
done

discset pack "$game" -o "$work/set" "${opts[@]}" "${plain[@]}" --disc-size 500000 >"$work/pack.out" 2>&1
check "pack exits 0" test $? -eq 0
check "pack made two or more discs" test -f "$work/set/disc2/cd2"
discset pack "$game" -o "$work/set" "${opts[@]}" "${plain[@]}" >/dev/null 2>&1
check "pack refuses to overwrite without --force" test $? -ne 0

discset list "$work"/set/disc* >"$work/list.out"
check "list exits 0" test $? -eq 0
check "list shows Big5 names in UTF-8" grep -q '許功蓋\\big.bin' "$work/list.out"
check "list shows the spanning file" grep -Eq ' [0-9]+-[0-9]+  \\許功蓋\\big.bin' "$work/list.out"

discset test "$work"/set/disc* >/dev/null
check "test exits 0 on a sound set" test $? -eq 0

# An ESC sequence in the header's company text must not reach the terminal.
mkdir -p "$work/esc"
cp "$work/set/disc1/cd1" "$work/esc/cd1"
printf '\033[2J' | dd of="$work/esc/cd1" bs=1 seek=0 conv=notrunc status=none
discset list "$work/esc" >"$work/esc.out" 2>&1
check "list prints no ESC byte" test "$(tr -cd '\033' <"$work/esc.out" | wc -c)" -eq 0
check "list shows it escaped" grep -qF 'company:      \x1B[2J' "$work/esc.out"

discset extract --no-prompt "$work"/set/disc* -o "$work/out" >/dev/null
check "extract exits 0" test $? -eq 0
check "extracted tree equals the game" diff -r "$game" "$work/out"

discset extract --no-prompt "$work/set/disc1" -o "$work/out2" </dev/null >/dev/null 2>"$work/missing.err"
check "extract without disc 2 exits non-zero" test $? -ne 0
check "extract names the missing disc" grep -q 'disc 2' "$work/missing.err"
check "extract leaves no files behind" test -z "$(find "$work/out2" -type f 2>/dev/null)"

# Flip one byte in the middle of disc 2.
size=$(stat -c %s "$work/set/disc2/cd2")
at=$((size / 2))
printf "$(printf '\\%03o' $(( ( $(od -An -tu1 -j$at -N1 "$work/set/disc2/cd2") ^ 1 ) )))" |
  dd of="$work/set/disc2/cd2" bs=1 seek=$at conv=notrunc status=none
discset test "$work"/set/disc* >/dev/null 2>"$work/test.err"
check "test exits non-zero on a flipped byte" test $? -ne 0
check "test names disc 2 and an offset" grep -Eq 'disc 2 .*offset [0-9]+' "$work/test.err"

truncate -s 1000 "$work/set/disc1/cd1"
discset test "$work"/set/disc* >/dev/null 2>"$work/trunc.err"
check "test exits non-zero on a truncated disc" test $? -ne 0
check "test names disc 1 for the truncation" grep -Eq 'disc 1 .*offset [0-9]+' "$work/trunc.err"

mkdir -p "$work/bad"
cp "$game/game.exe" "$work/bad/"
printf x >"$work/bad/한국어.txt"
discset pack "$work/bad" -o "$work/badset" "${opts[@]}" "${plain[@]}" 2>"$work/bad.err" >/dev/null
check "pack refuses a name without a Big5 form" test $? -ne 0
check "the error names the file" grep -q '한국어.txt.*Big5' "$work/bad.err"

# With an uninstaller: uninstall.exe and uninstall.lst arrive beside the
# game's files; the data folder's files are listed too.
printf 'MZ stand-in uninstaller' >"$work/uninstall.exe"
mkdir -p "$work/data"
printf '[set]\r\n' >"$work/data/設定.ini"
discset pack "$game" -o "$work/uset" "${opts[@]}" --uninstaller "$work/uninstall.exe" --data "$work/data" \
  >"$work/upack.out" 2>&1
check "pack with --uninstaller exits 0" test $? -eq 0
discset extract --no-prompt "$work"/uset/disc* -o "$work/uout" >/dev/null
check "the uninstaller is installed" cmp "$work/uninstall.exe" "$work/uout/uninstall.exe"
check "the manifest starts with its first line" grep -q '^UNINSTALL-MANIFEST 1' "$work/uout/uninstall.lst"
iconv -f CP950 -t UTF-8 "$work/uout/uninstall.lst" >"$work/manifest.utf8"
check "the manifest lists a Big5 file with size and checksum" \
  grep -q '^F 600000 [0-9a-f]\{8\} 許功蓋\\big.bin' "$work/manifest.utf8"
check "the manifest lists the data folder's file" grep -q '^F 7 [0-9a-f]\{8\} 設定.ini' "$work/manifest.utf8"
discset pack "$game" -o "$work/nset" "${opts[@]}" --uninstaller "$work/none.exe" >/dev/null 2>"$work/none.err"
check "pack with a missing --uninstaller exits non-zero" test $? -ne 0
check "the error names the missing uninstaller" grep -q 'none.exe' "$work/none.err"
discset pack "$game" -o "$work/nset" "${opts[@]}" --no-uninstaller --uninstaller "$work/uninstall.exe" >/dev/null \
  2>"$work/both.err"
check "--no-uninstaller with --uninstaller is refused" test $? -ne 0

cli_check_end
