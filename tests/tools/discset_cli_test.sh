#!/usr/bin/env bash
# The discset command line: exit codes and messages of pack, list, test,
# check and extract, and --help of each.
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

for sub in pack list test check extract verify; do
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

# check: pack's discs alone lack setup's files (exit 2, one line each);
# with the programs, autorun file, a picture, the web shortcut and the data
# folder beside them the set is ready (exit 0). A path that is no disc
# folder is a usage error (exit 1).
discset check "$work"/set/disc* >"$work/check.out" 2>&1
check "check exits 2 on discs without setup's files" test $? -eq 2
check "check names the missing setup.exe" grep -qF 'disc 1: no setup.exe: ' "$work/check.out"
check "check names the missing web shortcut on the last disc" grep -Eq '^disc [0-9]+: no 官方網頁.url: ' "$work/check.out"
check "check ends with a count of the problems" \
  grep -Eq '^discset check: [0-9]+ problem\(s\) in [0-9]+ disc\(s\)' <(tail -n 1 "$work/check.out")
cp -r "$work/set" "$work/cset"
printf 'MZ' >"$work/cset/disc1/setup.exe"
printf 'MZ' >"$work/cset/disc1/launcher.exe"
printf '[autorun]\r\nopen=launcher.exe\r\n' >"$work/cset/disc1/autorun.inf"
mkdir -p "$work/cset/disc1/pic"
# A 1 x 1, 24-bit, top-row-first TGA: type 2 at byte 2, width and height 1,
# depth 24 (octal 030), descriptor 0x20 (octal 040), then blue, green, red.
printf '\0\0\2\0\0\0\0\0\0\0\0\0\1\0\1\0\030\040\1\2\3' >"$work/cset/disc1/pic/01.tga"
last=$(ls -d "$work"/cset/disc* | sort -V | tail -n 1)
printf '[InternetShortcut]\r\nURL=http://example.com/\r\n' >"$last/官方網頁.url"
# The slide show asks for the picture again on whichever disc is in the drive.
for d in "$work"/cset/disc*; do
  mkdir -p "$d/pic" && cmp -s "$work/cset/disc1/pic/01.tga" "$d/pic/01.tga" || cp "$work/cset/disc1/pic/01.tga" "$d/pic/"
done
discset check "$work"/cset/disc* >"$work/ccheck.out" 2>&1
check "check exits 0 on a complete layout" test $? -eq 0
check "check says no problem" grep -Eq '^discset check: [0-9]+ disc\(s\), no problem found' "$work/ccheck.out"
discset check "$work/cset/disc1/cd1" >/dev/null 2>"$work/cfile.err"
check "check refuses a disc file alone with exit 1" test $? -eq 1
check "check says why" grep -q 'is a disc file: give the folder or image' "$work/cfile.err"
discset check "$work/nowhere" >/dev/null 2>&1
check "check exits 1 for a folder that does not exist" test $? -eq 1

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

# Checksums: test --sums is what sha256sum -c accepts in the extracted
# folder; verify passes there, and names a changed and a missing file and
# refuses a path that climbs out of it.
discset test --sums "$work"/set/disc* >"$work/set.sha256"
check "test --sums exits 0" test $? -eq 0
check "test --sums lists every file" test "$(grep -c . "$work/set.sha256")" -eq 4
check "sha256sum -c accepts the list in the extracted folder" \
  bash -c 'cd "$1" && sha256sum --quiet --strict -c "$2"' _ "$work/out" "$work/set.sha256"
discset verify "$work/set.sha256" "$work/out" >"$work/verify.out" 2>&1
check "verify exits 0 on a sound extraction" test $? -eq 0
cp -r "$work/out" "$work/vcopy"
printf 'x' >>"$work/vcopy/table.txt"
rm "$work/vcopy/許功蓋/big.bin"
printf '%s  ../game/game.exe\n' "$(sha256sum <"$game/game.exe" | cut -c1-64)" >>"$work/set.sha256"
discset verify "$work/set.sha256" "$work/vcopy" >/dev/null 2>"$work/verify.err"
check "verify exits 2 on a changed and a missing file" test $? -eq 2
check "verify names the changed file" grep -q 'table.txt: differs' "$work/verify.err"
check "verify names the missing file" grep -q '許功蓋/big.bin: missing' "$work/verify.err"
check "verify refuses a path out of the folder" grep -q '\.\./game/game.exe: refused' "$work/verify.err"

# --json: parsed back and checked against the set just packed.
discset list --json "$work"/set/disc* >"$work/list.json"
check "list --json exits 0" test $? -eq 0
check "list --json: header, Big5 bytes, the spanning file's discs, offsets" python3 - "$work/list.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
h = j["header"]
assert h["company"] == "公司" and h["company_hex"] == "a4bda571", h
assert h["product"] == "遊戲" and h["disc_count"] >= 2, h
e = {x["path"]: x for x in j["entries"]}
big = e["\\許功蓋\\big.bin"]
assert big["path_hex"] == "5cb35ca55cbb5c5c6269672e62696e", big
assert big["kind"] == "file" and big["size"] == 600000, big
assert len(big["discs"]) >= 2 and big["discs"] == list(range(big["discs"][0], big["discs"][-1] + 1)), big
assert e["\\許功蓋\\空"]["kind"] == "directory", e
assert min(x["offset"] for x in j["entries"] if x["discs"][0] == 1) == 168, j  # right after the header
assert all(x["offset"] >= 0 and x["path_escaped"] is False for x in j["entries"])
assert j["files"] == 4 and j["folders"] == 3 and j["damaged"] is False and j["problems"] == [], j
PY

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
check "test exits 2 on a flipped byte" test $? -eq 2
check "test names disc 2 and an offset" grep -Eq 'disc 2 .*offset [0-9]+' "$work/test.err"

check "test exits 2 (damaged)" test "$(discset test "$work"/set/disc* >/dev/null 2>&1; echo $?)" -eq 2
discset test --json "$work"/set/disc* >"$work/test.json" 2>"$work/test.json.err"
check "test --json exits 2 on the flipped byte" test $? -eq 2
check "test --json names disc 2, an offset, the reason and a zlib status" python3 - "$work/test.json" <<'PY'
import json, sys
j = json.load(open(sys.argv[1], encoding="utf-8"))
assert j["ok"] is False, j
p = [x for x in j["problems"] if x["disc"] == 2]
assert p and isinstance(p[0]["offset"], int) and p[0]["reason"], j
assert p[0]["file"].endswith("cd2"), p
# Where the flipped byte lands depends on the compressor: in a zlib stream
# the status comes with it, elsewhere (a length field) there is none.
if "does not decompress" in p[0]["reason"]:
    assert isinstance(p[0]["zlib_status"], int) and p[0]["zlib_status"] < 0 and p[0]["zlib_error"], p
else:
    assert p[0]["zlib_status"] is None and p[0]["zlib_error"] is None, p
PY
check "test --json writes nothing on stderr" test ! -s "$work/test.json.err"

truncate -s 1000 "$work/set/disc1/cd1"
discset test "$work"/set/disc* >/dev/null 2>"$work/trunc.err"
check "test exits 2 on a truncated disc" test $? -eq 2
check "test names disc 1 for the truncation" grep -Eq 'disc 1 .*offset [0-9]+' "$work/trunc.err"

mkdir -p "$work/bad"
cp "$game/game.exe" "$work/bad/"
printf x >"$work/bad/한국어.txt"
discset pack "$work/bad" -o "$work/badset" "${opts[@]}" "${plain[@]}" 2>"$work/bad.err" >/dev/null
check "pack refuses a name without a Big5 form (exit 2)" test $? -eq 2
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

# Exit codes: 1 for a usage error, 2 for failure or damage; --help says so.
discset --help >"$work/help.out" 2>&1
check "--help exits 0" test $? -eq 0
check "--help lists the exit codes" grep -q 'Exit codes: 0 done, 1 usage error, 2 failed' "$work/help.out"
discset extract --help >"$work/help.out" 2>&1
check "extract --help lists the exit codes" grep -q '3 partial' "$work/help.out"
discset frobnicate >/dev/null 2>&1
check "an unknown command exits 1" test $? -eq 1
discset extract >/dev/null 2>&1
check "extract without arguments exits 1" test $? -eq 1
discset pack "$game" -o "$work/zset" "${opts[@]}" "${plain[@]}" --disc-size lots >/dev/null 2>&1
check "a disc size that is no size exits 1" test $? -eq 1
discset pack "$game" -o "$work/mset" "${opts[@]}" "${plain[@]}" --disc-size 1M >/dev/null 2>&1
check "a disc size with a unit (1M) packs" test $? -eq 0
discset list "$work/no-such-folder" >/dev/null 2>&1
check "list of a folder that is not there exits 2" test $? -eq 2

# A fresh two-disc set for selection and salvage.
discset pack "$game" -o "$work/kset" "${opts[@]}" "${plain[@]}" --disc-size 500000 >/dev/null 2>&1
check "pack of the salvage set exits 0" test $? -eq 0
tree_of() { (cd "$1" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort | tr '\n' ' '); }

discset extract --no-prompt "$work"/kset/disc* -o "$work/inc1" --include '許功蓋/*.BIN' >/dev/null 2>&1
check "--include exits 0" test $? -eq 0
check "--include takes the match and the folder on its way, nothing else" \
  test "$(tree_of "$work/inc1")" = "許功蓋 許功蓋/big.bin "
check "the selected file is whole" cmp "$game/許功蓋/big.bin" "$work/inc1/許功蓋/big.bin"
discset extract --no-prompt "$work"/kset/disc* -o "$work/inc2" --include '\空白.txt' --include 'TABLE.TXT' \
  --include '許?蓋/空' >/dev/null 2>&1
check "--include of single files and a folder by a Big5 pattern" \
  test "$(tree_of "$work/inc2")" = "table.txt 空白.txt 許功蓋 許功蓋/空 "
discset extract --no-prompt --include 'TABLE.TXT' "$work"/kset/disc* -o "$work/inc5" >/dev/null 2>&1
check "--include before the discs takes one pattern, the discs stay discs" test "$(tree_of "$work/inc5")" = "table.txt "
discset extract --no-prompt "$work"/kset/disc* -o "$work/inc3" --include 'nothing*' >/dev/null 2>"$work/inc3.err"
check "--include that matches nothing exits 2" test $? -eq 2
check "and names the pattern" grep -q 'nothing\* matches nothing' "$work/inc3.err"
check "and leaves the folder empty" test -z "$(tree_of "$work/inc3")"
discset extract --no-prompt "$work"/kset/disc* -o "$work/inc4" --include 'a[bc' >/dev/null 2>&1
check "an --include that is no pattern exits 1" test $? -eq 1
check "before anything is made" test ! -e "$work/inc4"

discset extract "$work"/kset/disc* -o "$work/k0" --keep-going --report "$work/k0.json" >"$work/k0.out" 2>&1
check "--keep-going on a sound set exits 0" test $? -eq 0
check "and extracts it whole" diff -r "$game" "$work/k0"
check "its report says complete" python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
sys.exit(0 if r["complete"] and r["losses"] == [] else 1)' "$work/k0.json"
discset extract "$work"/kset/disc1 -o "$work/k1" --remove-damaged >/dev/null 2>&1
check "--remove-damaged without --keep-going exits 1" test $? -eq 1

# One byte flipped inside a data record of big.bin on disc 2. The record is
# found by walking the records here, independently of the toolkit.
cp -r "$work/kset" "$work/kdamaged"
read -r at rec_offset < <(python3 - "$work/kdamaged/disc2/cd2" <<'PY'
import sys
b = open(sys.argv[1], "rb").read()
p = 0
while p < len(b):
    t = b[p]
    if t in (1, 2, 3):
        n = int.from_bytes(b[p + 1:p + 5], "little")
        if t == 3 and n > 1000:
            print(p + 5 + n // 2, p)
            break
        p += 5 + n
    else:
        p += 1
PY
)
printf "$(printf '\\%03o' $(( ( $(od -An -tu1 -j"$at" -N1 "$work/kdamaged/disc2/cd2") ^ 1 ) )))" |
  dd of="$work/kdamaged/disc2/cd2" bs=1 seek="$at" conv=notrunc status=none
# The Windows build writes lines ending in CR LF: compared without the CR.
lines_of() { tr -d '\r' <"$1" >"$1.lines"; }
discset extract "$work"/kdamaged/disc* -o "$work/k2" --keep-going --report "$work/k2.json" >"$work/k2.out" 2>&1
check "--keep-going on a damaged set exits 3" test $? -eq 3
lines_of "$work/k2.out"
# The lost record lies between two of the file's records of one size: its
# bytes are written as zeros and the rest of the file is kept.
read -r from to < <(python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
print(*r["losses"][0]["filled"])' "$work/k2.json")
check "the loss report names the file, disc, offset, reason and the bytes filled" grep -qxF \
  "\\許功蓋\\big.bin  disc 2, offset $rec_offset: the zlib stream does not decompress (zlib status -3); bytes $from-$to of the file are filled with zeros" \
  "$work/k2.out.lines"
check "the report holds one loss" grep -qx 'loss report (1):' "$work/k2.out.lines"
check "the JSON report says the same, with its version and the path's bytes" python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
l = r["losses"]
sys.exit(0 if r["version"] == 2 and not r["complete"] and len(l) == 1 and l[0]["path"] == "\\許功蓋\\big.bin"
         and l[0]["path_hex"] == "\\許功蓋\\big.bin".encode("big5").hex() and l[0]["disc"] == 2
         and l[0]["offset"] == int(sys.argv[2]) and l[0]["removed"] is False else 1)' "$work/k2.json" "$rec_offset"
check "the damaged file is the set's but for the zeros" python3 -c '
import sys
a = open(sys.argv[1], "rb").read(); b = open(sys.argv[2], "rb").read(); f, t = int(sys.argv[3]), int(sys.argv[4])
sys.exit(0 if len(a) == len(b) and a[:f] == b[:f] and a[t + 1:] == b[t + 1:] and b[f:t + 1] == bytes(t + 1 - f) else 1)' \
  "$game/許功蓋/big.bin" "$work/k2/許功蓋/big.bin" "$from" "$to"
check "everything else is extracted" diff -r -x big.bin "$game" "$work/k2"
discset extract "$work"/kdamaged/disc* -o "$work/k3" --keep-going --remove-damaged >"$work/k3.out" 2>&1
check "--remove-damaged exits 3" test $? -eq 3
lines_of "$work/k3.out"
check "and the damaged file is gone" test ! -e "$work/k3/許功蓋/big.bin"
check "and the report says so" grep -q 'big.bin  disc 2, offset [0-9]*: .*; removed$' "$work/k3.out.lines"
# A run that cannot start leaves no earlier report saying "complete".
cp "$work/k0.json" "$work/stale.json"
discset extract "$work"/kset/disc2 -o "$work/k6" --keep-going --report "$work/stale.json" >/dev/null 2>&1
check "a run that cannot start exits 2" test $? -eq 2
check "and its report replaces the earlier one" python3 -c '
import json, sys
r = json.load(open(sys.argv[1]))
sys.exit(0 if r["complete"] is False and "cd1" in r["notes"][0] else 1)' "$work/stale.json"

discset extract "$work"/kset/disc1 -o "$work/k4" --keep-going >"$work/k4.out" 2>&1
check "--keep-going without disc 2 exits 3" test $? -eq 3
lines_of "$work/k4.out"
check "it names the missing disc" grep -qxF '(disc 2)  disc 2: not given (cd2): what lies on it is skipped' "$work/k4.out.lines"
check "and the file that runs on to it" \
  grep -qE '^\\許功蓋\\big.bin  disc 2: disc 2, on which it continues, was not given; kept the first [0-9]+ bytes$' \
  "$work/k4.out.lines"
discset extract "$work"/kset/disc2 -o "$work/k5" --keep-going >/dev/null 2>"$work/k5.err"
check "--keep-going without cd1 exits 2" test $? -eq 2
check "and says why" grep -q 'cd1' "$work/k5.err"

# Standard output is a file the user keeps: a listing that cannot be
# written there is not done (exit 2, and a line on stderr says why).
for form in "" --json; do
  discset list $form "$work"/set/disc* >/dev/full 2>"$work/full.err"
  check "list $form into a full disk exits 2" test $? -eq 2
  check "and says standard output could not be written" grep -q 'cannot write to standard output' "$work/full.err"
done
discset test "$work"/set/disc* >/dev/full 2>/dev/null
check "test into a full disk exits 2" test $? -eq 2

# A file system with 8 KiB left and a file of 10000 bytes: the runtime's
# last buffer reaches the disk only when the file is closed, and that close
# fails. extract rolls back and exits 2. A tmpfs needs the right to mount
# one: without it these checks are skipped, saying so.
mkdir -p "$work/tiny-game" "$work/tiny"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(3).randbytes(10000))' >"$work/tiny-game/game.exe"
discset pack "$work/tiny-game" -o "$work/tinyset" "${opts[@]}" "${plain[@]}" >/dev/null 2>&1
if mount -t tmpfs -o size=8k,mode=0777 tmpfs "$work/tiny" 2>/dev/null; then
  trap 'umount "$work/tiny" 2>/dev/null; rm -rf "$work"' EXIT
  discset extract --no-prompt "$work/tinyset/disc1" -o "$work/tiny/out" >/dev/null 2>"$work/tiny.err"
  check "extract onto a full file system exits 2" test $? -eq 2
  check "and says it could not write" grep -q '無法寫入磁碟' "$work/tiny.err"
  check "and leaves nothing there" test -z "$(find "$work/tiny/out" -type f 2>/dev/null)"
  umount "$work/tiny"
else
  echo "SKIP: extract onto a full file system (no right to mount a tmpfs here)"
fi

# Progress: on a terminal (a pty from script) a bar on stderr, redrawn;
# none through a pipe or with --quiet; --verbose names each file. Native
# only: under Wine a pty is not a console.
if [ "${#runner[@]}" -eq 1 ] && command -v script >/dev/null; then
  q() { printf '%q ' "$@"; }
  script -qec "$(q "${runner[0]}") pack $(q "$game") -o $(q "$work/pset") $(q "${opts[@]}") --no-uninstaller" \
    /dev/null >"$work/pty-pack.out" 2>&1
  check "pack on a terminal exits 0" test $? -eq 0
  check "pack on a terminal draws the bar" grep -aq '100% \[#*\] .* MB/s .* left' "$work/pty-pack.out"
  check "the bar is redrawn with carriage returns" grep -aq $'\r' "$work/pty-pack.out"
  script -qec "$(q "${runner[0]}") extract --no-prompt $(q "$work"/pset/disc*) -o $(q "$work/pout")" \
    /dev/null >"$work/pty-extract.out" 2>&1
  check "extract on a terminal draws the bar" grep -aq '100% \[#*\] .* MB/s' "$work/pty-extract.out"
  script -qec "$(q "${runner[0]}") extract --quiet --no-prompt $(q "$work"/pset/disc*) -o $(q "$work/qout")" \
    /dev/null >"$work/pty-quiet.out" 2>&1
  check "extract --quiet on a terminal draws none" test -z "$(grep -a 'MB/s' "$work/pty-quiet.out")"
  check "extract --quiet still extracts" diff -r "$game" "$work/qout"
  discset pack "$game" -o "$work/pipeset" "${opts[@]}" "${plain[@]}" -v >"$work/pipe.out" 2>"$work/pipe.err"
  check "pack through a pipe draws no bar" test -z "$(grep -a 'MB/s' "$work/pipe.err" "$work/pipe.out")"
  check "pack --verbose names each file" grep -q '^\\許功蓋\\big.bin$' "$work/pipe.out"
  check "pack --verbose marks folders" grep -q '^\\許功蓋\\空\\$' "$work/pipe.out"
  discset extract -v --no-prompt "$work"/pipeset/disc* -o "$work/vout" >"$work/vout.out" 2>"$work/vout.err"
  check "extract --verbose lists each file with its size" grep -q '^ *600000  \\許功蓋\\big.bin$' "$work/vout.out"
  check "extract through a pipe draws no bar" test -z "$(grep -a 'MB/s' "$work/vout.err" "$work/vout.out")"
fi

cli_check_end
