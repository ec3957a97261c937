#!/usr/bin/env bash
# discset list, test and extract on disc images: ISO 9660 images written by
# xorriso and genisoimage (independent writers) from disc folders made by
# pack, with and without Joliet names, boot records and level 4; .bin files
# in mode 1 and mode 2 form 1 made by image_fixture with cue sheets written
# by hand; folders and images mixed and in any order; damaged images
# refused with a message and exit code 2.
#     disc_image_cli_test.sh DISCSET IMAGE_FIXTURE
set -uo pipefail
discset() { "$1" "${@:2}"; }
ds=$1
fixture=$2
. "$(dirname "$0")/cli_check.sh"

game=$work/game
mkdir -p "$game/許功蓋/空" "$game/存檔"
printf 'MZ' >"$game/game.exe"
python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(7).randbytes(600000))' >"$game/許功蓋/big.bin"
seq 1 50000 >"$game/table.txt"
"$ds" pack "$game" -o "$work/set" --company 公司 --product 遊戲 --regkey Game --exe game.exe \
  --no-uninstaller --disc-size 500000 >/dev/null
check "pack made two discs" test -f "$work/set/disc2/cd2"

# image NAME FOLDER xorriso-options...: an image of FOLDER's contents.
image() {
  local name=$1 folder=$2; shift 2
  xorriso -report_about FAILURE -outdev "$work/$name" "$@" -map "$folder" / -commit >/dev/null 2>&1
}
image plain1.iso "$work/set/disc1" -joliet off -rockridge off
image plain2.iso "$work/set/disc2" -joliet off -rockridge off
image joliet1.iso "$work/set/disc1" -joliet on
image joliet2.iso "$work/set/disc2" -joliet on
check "xorriso wrote the images" test -s "$work/plain1.iso" -a -s "$work/joliet2.iso"

"$ds" list "$work/set/disc1" "$work/set/disc2" >"$work/folder.list"
"$ds" test "$work/set/disc1" "$work/set/disc2" >"$work/folder.test"
check "the folder set lists" grep -q 'big.bin' "$work/folder.list"

# same_as_folders NAME DISC...: list, test and extract give what the folders give.
same_as_folders() {
  local name=$1; shift
  "$ds" list "$@" >"$work/$name.list" 2>"$work/$name.err"
  check "$name: list exits 0" test $? -eq 0
  check "$name: list equals the folders' list" cmp -s "$work/folder.list" "$work/$name.list"
  "$ds" test "$@" >"$work/$name.test" 2>>"$work/$name.err"
  check "$name: test exits 0" test $? -eq 0
  check "$name: test equals the folders' test" cmp -s "$work/folder.test" "$work/$name.test"
  "$ds" extract --no-prompt "$@" -o "$work/out-$name" >/dev/null 2>>"$work/$name.err"
  check "$name: extract exits 0" test $? -eq 0
  check "$name: extracted tree equals the game" diff -r "$game" "$work/out-$name"
  "$ds" extract --keep-going "$@" -o "$work/kept-$name" >/dev/null 2>>"$work/$name.err"
  check "$name: extract --keep-going exits 0" test $? -eq 0
  check "$name: --keep-going tree equals the game" diff -r "$game" "$work/kept-$name"
}
# refused CASE DISC...: list, test and extract each exit 2 with a message
# that contains the text in $expect, and extract writes nothing.
refused() {
  local name=$1; shift
  for sub in list test; do
    "$ds" "$sub" "$@" >/dev/null 2>"$work/$name.$sub.err"
    local rc=$?
    check "$name: $sub exits 2" test $rc -eq 2
    check "$name: $sub says why" grep -qF "$expect" "$work/$name.$sub.err"
  done
  "$ds" extract --no-prompt "$@" -o "$work/out-$name" >/dev/null 2>"$work/$name.extract.err"
  check "$name: extract exits 2" test $? -eq 2
  check "$name: extract says why" grep -qF "$expect" "$work/$name.extract.err"
  check "$name: extract wrote nothing" test ! -e "$work/out-$name"
}

same_as_folders plain "$work/plain1.iso" "$work/plain2.iso"
same_as_folders joliet "$work/joliet1.iso" "$work/joliet2.iso"
same_as_folders reversed "$work/joliet2.iso" "$work/plain1.iso"
same_as_folders mixed "$work/set/disc1" "$work/plain2.iso"
same_as_folders mixed-image-first "$work/plain1.iso" "$work/set/disc2"

# One image holding both discs, with an unrelated folder beside them.
mkdir -p "$work/both/extra"
cp "$work/set/disc1/cd1" "$work/set/disc2/cd2" "$work/both/"
echo note >"$work/both/extra/readme"
image both.iso "$work/both" -joliet off -rockridge off
same_as_folders both "$work/both.iso"

for mode in mode1 mode2; do
  "$fixture" bincue "$work/plain1.iso" "$work/$mode.bin" "$work/$mode.cue" $mode
  check "$mode: the .bin holds 2352-byte sectors" \
    test $(( $(stat -c %s "$work/$mode.bin") * 2048 )) -eq $(( $(stat -c %s "$work/plain1.iso") * 2352 ))
  same_as_folders "cue-$mode" "$work/$mode.cue" "$work/joliet2.iso"
done

# ISO 9660 images as other tools write them: a boot record standing before
# the Joliet descriptor, the enhanced descriptor of ISO level 4 (with and
# without Joliet), from xorriso's mkisofs and from genisoimage. Each disc 1
# image beside disc 2's plain image reads as the folders do.
mkdir -p "$work/boot1"
cp -r "$work/set/disc1/." "$work/boot1/"
head -c 2048 /dev/zero >"$work/boot1/boot.img"
while read -r name tool options; do
  case $tool in
    xorriso) xorriso -as mkisofs -quiet -o "$work/$name.iso" $options "$work/boot1" >/dev/null 2>&1 ;;
    genisoimage) genisoimage -quiet -o "$work/$name.iso" $options "$work/boot1" >/dev/null 2>&1 ;;
  esac
  check "$name: $tool wrote the image" test -s "$work/$name.iso"
  same_as_folders "$name" "$work/$name.iso" "$work/plain2.iso"
done <<'TABLE'
xorriso-boot-joliet     xorriso     -J -b boot.img -no-emul-boot
xorriso-level4          xorriso     -iso-level 4
genisoimage-joliet      genisoimage -J
genisoimage-boot-joliet genisoimage -J -b boot.img -no-emul-boot
genisoimage-level4      genisoimage -iso-level 4
genisoimage-level4-joliet genisoimage -iso-level 4 -J
TABLE

# Cue sheets as other tools write them, over raw sectors written here: the
# sheet's own name unlike its FILE's, FILE names quoted or not, one FILE a
# track with CD audio after the data, INDEX 00 pregaps and PREGAP lines,
# MODE1/2048, the data track after an audio one, and a sheet that says
# MODE1/2352 over mode 2 sectors (their headers say which).
"$fixture" raw "$work/plain1.iso" "$work/disc1.bin" mode1 0
"$fixture" raw "$work/plain1.iso" "$work/pregap1.bin" mode2 150
"$fixture" raw "$work/plain2.iso" "$work/wrong.bin" mode1 0   # what a sheet's own name would pick
head -c $((2352 * 300)) /dev/zero >"$work/Track 02.bin"
cp "$work/plain1.iso" "$work/disc1-2048.img"
sheet() { printf '%s\n' "${@:2}" >"$work/$1"; }
sheet "Game (Disc 1).cue" 'FILE "disc1.bin" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 01 00:00:00'
sheet "wrong.cue" 'FILE disc1.bin BINARY' 'TRACK 01 MODE1/2352' 'INDEX 01 00:00:00'
sheet "tracks.cue" 'FILE "disc1.bin" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 01 00:00:00' \
  'FILE "Track 02.bin" BINARY' '  TRACK 02 AUDIO' '    PREGAP 00:02:00' '    INDEX 01 00:00:00' \
  '  TRACK 03 AUDIO' '    INDEX 00 00:01:00' '    INDEX 01 00:03:00' '    POSTGAP 00:02:00'
sheet "pregap.cue" 'FILE "pregap1.bin" BINARY' '  TRACK 01 MODE2/2352' '    INDEX 00 00:00:00' '    INDEX 01 00:02:00'
sheet "audio-first.cue" 'FILE "Track 02.bin" BINARY' '  TRACK 01 AUDIO' '    INDEX 01 00:00:00' \
  'FILE "disc1.bin" BINARY' '  TRACK 02 MODE1/2352' '    INDEX 01 00:00:00'
sheet "mislabelled.cue" 'FILE "pregap1.bin" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 00 00:00:00' '    INDEX 01 00:02:00'
sheet "plain.cue" 'REM a sheet over an ISO image' 'FILE disc1-2048.img BINARY' '  TRACK 01 MODE1/2048' '    INDEX 01 00:00:00'
# Sheets made on Windows: the FILE in another case, or by the full path it
# had there; the file beside the sheet is read. Two files that differ only
# in case leave the sheet's FILE unresolved.
sheet "case.cue" 'FILE "DISC1.BIN" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 01 00:00:00'
sheet "windows-path.cue" 'FILE "C:\Images\Game\Disc1.bin" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 01 00:00:00'
for cue in "Game (Disc 1)" wrong tracks pregap mislabelled audio-first plain case windows-path; do
  same_as_folders "sheet-$cue" "$work/$cue.cue" "$work/plain2.iso"
done
# Raw sectors under an ISO file's name, as some tools write a data track:
# mode 1, mode 2 form 1, and 2448-byte sectors with subchannel data.
cp "$work/disc1.bin" "$work/raw1.iso"
"$fixture" raw "$work/plain2.iso" "$work/raw2.img" mode2 0
python3 - "$work/disc1.bin" "$work/raw-sub1.iso" <<'PY'
import sys
raw = open(sys.argv[1], "rb").read()
open(sys.argv[2], "wb").write(b"".join(raw[k:k + 2352] + bytes(96) for k in range(0, len(raw), 2352)))
PY
same_as_folders raw-iso "$work/raw1.iso" "$work/raw2.img"
same_as_folders raw-subchannel "$work/raw-sub1.iso" "$work/plain2.iso"
sheet "missing.cue" 'FILE "gone.bin" BINARY' '  TRACK 01 MODE1/2352' '    INDEX 01 00:00:00'
expect="the cue sheet $work/missing.cue names $work/gone.bin, which does not exist"
refused missing-bin "$work/missing.cue" "$work/plain2.iso"
mkdir -p "$work/twins"
cp "$work/disc1.bin" "$work/twins/twin.bin"
cp "$work/disc1.bin" "$work/twins/TWIN.BIN"
printf 'FILE "Twin.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n' >"$work/twins/twin.cue"
expect="the cue sheet $work/twins/twin.cue names $work/twins/Twin.bin, which does not exist"
refused case-twins "$work/twins/twin.cue" "$work/plain2.iso"
# Text that is no sheet: one line says so, not libcue's line per byte.
sheet "prose.cue" 'hello world' 'TRACK 01 MODE1/2352'
expect="is not a cue sheet libcue can parse"
refused prose "$work/prose.cue"
check "prose: list says it in one line" test "$(wc -l <"$work/prose.list.err")" -eq 1
sheet "only-audio.cue" 'FILE "Track 02.bin" BINARY' '  TRACK 01 AUDIO' '    INDEX 01 00:00:00'
expect="has only audio tracks"
refused only-audio "$work/only-audio.cue" "$work/plain2.iso"


head -c 100000 /dev/urandom >"$work/garbage.iso"
expect="is not an ISO 9660 image: no primary volume descriptor at its sector 16"
refused garbage "$work/garbage.iso"

head -c 30000 "$work/plain1.iso" >"$work/short.iso"   # cut inside the volume descriptors
refused truncated-head "$work/short.iso"

# Cut after the root folder but inside cd1's data.
size=$(stat -c %s "$work/plain1.iso")
head -c $((size / 2 / 2048 * 2048)) "$work/plain1.iso" >"$work/half.iso"
expect="lies past the end of the image"
refused truncated-data "$work/half.iso"

cp "$work/both.iso" "$work/past.iso"
"$fixture" extent-past-end "$work/past.iso" cd2
refused extent-past-end "$work/past.iso"

# A recorded size of 0xFFFFF801 bytes rounds up to 2^32 bytes of sectors:
# summed in 32 bits the extent would seem to end where it starts.
cp "$work/both.iso" "$work/wrap.iso"
"$fixture" size "$work/wrap.iso" cd2 4294965249
refused size-wraps "$work/wrap.iso"

cp "$work/both.iso" "$work/two.iso"
"$fixture" two-pieces "$work/two.iso" cd1 cd2
expect="cd1 is recorded 2 times"
refused multi-extent "$work/two.iso"

printf 'FILE "gone.bin" BINARY\n  TRACK 01 MODE1/2352\n    INDEX 01 00:00:00\n' >"$work/gone.cue"
expect="gone.bin, which does not exist"
refused cue-missing-bin "$work/gone.cue"

cp "$work/mode1.bin" "$work/alone.bin"
expect="give the .cue sheet"
refused bare-bin "$work/alone.bin"

# A folder of the image that leads back to its root: only the root folder is
# read, so the set is read as it is, without following the loop.
cp "$work/both.iso" "$work/loop.iso"
"$fixture" loop "$work/loop.iso" extra
timeout 60 "$ds" test "$work/loop.iso" >/dev/null 2>&1
check "directory loop: test reads the set and ends" test $? -eq 0

# A disc of the set missing from the images: extract says which and where.
"$ds" extract --no-prompt "$work/plain1.iso" -o "$work/out-missing" </dev/null >/dev/null 2>"$work/missing.err"
check "missing disc: extract fails" test $? -ne 0
check "missing disc: names disc 2" grep -q 'disc 2' "$work/missing.err"
check "missing disc: leaves no files" test -z "$(find "$work/out-missing" -type f 2>/dev/null)"

# Only the images named are read: a cd2 lying beside the first image is not
# taken for the disc 2 that was not given.
mkdir -p "$work/beside"
cp "$work/plain1.iso" "$work/set/disc2/cd2" "$work/beside/"
"$ds" extract --no-prompt "$work/beside/plain1.iso" -o "$work/out-beside" </dev/null >/dev/null 2>"$work/beside.err"
check "cd2 beside the image: extract fails" test $? -eq 2
check "cd2 beside the image: names disc 2 as missing" grep -q 'disc 2 (cd2) is in none of the given discs' "$work/beside.err"
check "cd2 beside the image: leaves no files" test -z "$(find "$work/out-beside" -type f 2>/dev/null)"

# The same disc twice, in a folder and in an image.
"$ds" list "$work/set/disc1" "$work/plain1.iso" "$work/plain2.iso" >/dev/null 2>"$work/twice.err"
check "a disc given twice is refused" grep -q 'disc 1 is given twice' "$work/twice.err"

# Salvage costs a damaged image only what it lost: an image cut short is
# read as far as it goes, one whose Joliet tree is damaged through its ISO
# 9660 tree, one that cannot be read at all is skipped; the other discs are
# read and the run ends with exit code 3.
size=$(stat -c %s "$work/plain2.iso")
head -c $((size / 2 / 2048 * 2048)) "$work/plain2.iso" >"$work/half2.iso"
"$ds" extract --keep-going "$work/set/disc1" "$work/half2.iso" -o "$work/kept-half" >"$work/kept-half.out" 2>&1
check "cut image: --keep-going exits 3" test $? -eq 3
check "cut image: what lies before the cut is saved" test -s "$work/kept-half/許功蓋/big.bin"
check "cut image: the loss is named" grep -q 'big.bin  disc 2' "$work/kept-half.out"
# One tree's root folder recorded far past the end: the other tree is read.
for damaged in 1:primary 2:Joliet; do
  type=${damaged%%:*} tree=${damaged#*:}
  cp "$work/joliet2.iso" "$work/no-$tree.iso"
  python3 - "$work/no-$tree.iso" "$type" <<'PY'
import sys
f = open(sys.argv[1], "r+b")
for sector in range(16, 32):
    f.seek(sector * 2048)
    d = f.read(2048)
    if d[0] == int(sys.argv[2]) and d[1:6] == b"CD001":   # the descriptor: its root folder's extent
        f.seek(sector * 2048 + 156 + 2)
        f.write((0x7FFFFFF0).to_bytes(4, "little") + (0x7FFFFFF0).to_bytes(4, "big"))
PY
  "$ds" extract "$work/set/disc1" "$work/no-$tree.iso" -o "$work/kept-no-$tree" >/dev/null 2>&1
  check "damaged $tree tree: the other tree is read instead" test $? -eq 0
  check "damaged $tree tree: and saves the whole set" diff -r "$game" "$work/kept-no-$tree"
done
head -c 30000 "$work/plain2.iso" >"$work/short2.iso"
"$ds" extract --keep-going "$work/set/disc1" "$work/short2.iso" -o "$work/kept-short2" --report "$work/short2.json" \
  >"$work/kept-short2.out" 2>"$work/kept-short2.err"
check "unreadable image: --keep-going goes on and exits 3" test $? -eq 3
check "unreadable image: names the image" grep -q 'short2.iso' "$work/kept-short2.err"
check "unreadable image: the files of disc 1 are saved" test -s "$work/kept-short2/game.exe"

"$ds" --help >"$work/help.out" 2>&1
check "--help says images are read" grep -q 'ISO 9660' "$work/help.out"

# Names: --codepage takes the format's 950 only, and a header text that is
# not Big5 is listed as escaped bytes, not hidden.
"$ds" list --codepage big5 "$work/plain1.iso" "$work/plain2.iso" >/dev/null 2>&1
check "--codepage big5 is the default's name" test $? -eq 0
"$ds" list --codepage 936 "$work/plain1.iso" "$work/plain2.iso" >/dev/null 2>"$work/cp.err"
check "--codepage 936 exits 1" test $? -eq 1
check "--codepage 936 says it does not convert" grep -q -- '--codepage 936 does not convert' "$work/cp.err"
mkdir -p "$work/notbig5"
cp "$work/set/disc1/cd1" "$work/notbig5/cd1"
printf '\x80\xff' | dd of="$work/notbig5/cd1" bs=1 seek=0 conv=notrunc status=none  # company: 0x80 0xFF, no Big5 character
"$ds" list "$work/notbig5" "$work/set/disc2" >"$work/notbig5.out" 2>&1
check "list shows a text that is not Big5 as escaped bytes" grep -qF 'company:      \x80\xFF' "$work/notbig5.out"
check "list still lists the tree" grep -q 'big.bin' "$work/notbig5.out"

# A CHD's disc is written out into a private temporary folder: Ctrl-C, kill
# or a closed terminal while it is there removes it too. A chdman of the
# test's own writes the disc and then waits, so the signal comes while
# discset waits for it.
mkdir -p "$work/fakebin"
cat >"$work/fakebin/chdman" <<'SH'
#!/bin/sh
# chdman extractcd -i IMAGE -o SHEET -ob BIN ...: writes both, then waits.
while [ $# -gt 0 ]; do case $1 in -o) sheet=$2; shift ;; -ob) bin=$2; shift ;; esac; shift; done
head -c 1000000 /dev/zero >"$bin"; echo 'FILE "disc.bin" BINARY' >"$sheet"
echo $$ >>"$CHDMAN_PIDS"
exec sleep 30
SH
chmod +x "$work/fakebin/chdman"
cp "$work/plain1.iso" "$work/held.chd"
for sig in INT TERM HUP; do
  mkdir -p "$work/tmp-$sig"
  # A job started with & ignores SIGINT unless told otherwise.
  CHDMAN_PIDS=$work/chdman.pids TMPDIR=$work/tmp-$sig PATH=$work/fakebin:$PATH \
    env --default-signal=INT "$ds" test "$work/held.chd" >/dev/null 2>&1 &
  pid=$!
  for _ in $(seq 100); do
    compgen -G "$work/tmp-$sig/discset-chd-*/disc.cue" >/dev/null && break
    sleep 0.1
  done
  check "SIG$sig: chdman wrote its disc" compgen -G "$work/tmp-$sig/discset-chd-*/disc.bin"
  kill -"$sig" "$pid"
  wait "$pid"
  check "SIG$sig: discset ends by the signal" test $? -eq $((128 + $(kill -l "$sig")))
  check "SIG$sig: the disc chdman wrote is gone" test -z "$(ls -A "$work/tmp-$sig")"
done
xargs -r kill <"$work/chdman.pids" 2>/dev/null

cli_check_end
