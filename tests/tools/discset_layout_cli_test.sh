#!/usr/bin/env bash
# discset pack --layout and --iso on the command line: the complete disc
# folders, the images and their volume ids, the options that go together,
# and the messages for missing paths.
#     discset_layout_cli_test.sh DISCSET
set -uo pipefail
discset=$1
. "$(dirname "$0")/cli_check.sh"

layout_inputs
printf 'MZ uninstall' >"$work/uninstall.exe"
convert -size 32x24 xc:navy "$work/pics/title.png"
convert -size 32x24 gradient:white-red "$work/pics/next.png"
opts=(--company 公司 --product "Sample Game" --regkey Game --exe game.exe --uninstaller "$work/uninstall.exe")
programs=(--layout --setup-exe "$work/setup.exe" --launcher-exe "$work/launcher.exe" --data "$work/data")
layout=("${programs[@]}" --pictures "$work/pics" --web-shortcut "$work/site.url")

"$discset" pack --help >"$work/help.out" 2>&1
check "--help says what goes on the last disc" grep -q 'last disc' "$work/help.out"
check "--help names --iso" grep -q -- '--iso' "$work/help.out"

"$discset" pack "$game" -o "$work/set" "${opts[@]}" "${layout[@]}" --iso --disc-size 700000 >"$work/pack.out" 2>&1
check "pack --layout --iso exits 0" test $? -eq 0
check "pack made two discs or more" test -f "$work/set/disc2/cd2"
for f in cd1 setup.exe launcher.exe autorun.inf pic/01.tga pic/02.tga data/設定.ini data/存檔 官方網頁.url; do
  check "disc1 holds $f" test -e "$work/set/disc1/$f"
done
last=$(ls -d "$work"/set/disc[0-9]* | grep -v '\.iso$' | wc -l)
check "the last disc holds the data folder and the web shortcut" \
  test -f "$work/set/disc$last/data/設定.ini" -a -f "$work/set/disc$last/官方網頁.url"
check "pack reports each image with its volume id" grep -q 'disc1.iso  [0-9]* bytes, volume id SAMPLE_GAME_1' "$work/pack.out"
bsdtar -tf "$work/set/disc1.iso" >"$work/iso.list" 2>&1
check "the image shows the Big5 names (Joliet)" grep -qx '官方網頁.url' "$work/iso.list"
for n in $(seq 1 "$last"); do
  check "disc$n.iso is within the disc size" test "$(stat -c %s "$work/set/disc$n.iso")" -le 700000
done
"$discset" test $(ls -d "$work"/set/disc* | grep -v '\.iso$' | sort -V) >/dev/null
check "the set tests sound" test $? -eq 0

"$discset" pack "$game" -o "$work/x" "${opts[@]}" --pictures "$work/pics" >/dev/null 2>"$work/err"
check "--pictures without --layout is a usage error (exit 1)" test $? -eq 1
check "--pictures without --layout says why" grep -q 'go with --layout' "$work/err"

"$discset" pack "$game" -o "$work/y" "${opts[@]}" "${programs[@]}" --pictures "$work/nowhere" >/dev/null 2>"$work/err"
check "a missing pictures folder fails" test $? -ne 0
check "the message names it" grep -q "pictures folder $work/nowhere is not a folder" "$work/err"
check "nothing is written for it" test ! -e "$work/y"

"$discset" pack "$game" -o "$work/z" "${opts[@]}" "${programs[@]}" --web-shortcut "$work/none.url" >/dev/null 2>"$work/err"
check "a missing web shortcut is named" grep -q "web shortcut $work/none.url is not a file" "$work/err"

"$discset" pack "$game" -o "$work/w" "${opts[@]}" --layout --setup-exe "$work/none.exe" >/dev/null 2>"$work/err"
check "a missing setup program is named" grep -q "setup program $work/none.exe is not a file" "$work/err"

echo "discset layout cli: $failures failure(s)"
[ "$failures" -eq 0 ]
