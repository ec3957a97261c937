#!/usr/bin/env bash
# discset check on disc images: pack --layout --iso's own images, images that
# xorriso makes of broken disc folders, a .bin/.cue pair made by
# image_fixture, images mixed with folders in any order. Each gives exactly
# the lines and exit code the folders give. Images that cannot be read, or
# whose tree is hostile, are refused with a message and exit code 2.
#     disc_image_check_cli_test.sh DISCSET IMAGE_FIXTURE
set -uo pipefail
ds=$1
fixture=$2
. "$(dirname "$0")/cli_check.sh"

layout_inputs
seq 1 40000 >"$game/table.txt"
for n in 01 02 03; do convert -size 16x12 "xc:rgb(${n}0,40,90)" -type TrueColor "$work/pics/$n.png"; done
"$ds" pack "$game" -o "$work/set" --company 公司 --product Game --regkey Game --exe game.exe --no-uninstaller \
  --layout --setup-exe "$work/setup.exe" --launcher-exe "$work/launcher.exe" --data "$work/data" \
  --pictures "$work/pics" --web-shortcut "$work/site.url" --iso --disc-size 900000 >/dev/null 2>&1
check "pack made two discs and their images" test -f "$work/set/disc2/cd2" -a -f "$work/set/disc2.iso"
check "pack made no third disc" test ! -e "$work/set/disc3"

# same CASE EXIT FOLDERS -- IMAGES: check gives the same lines and exit code
# on the folders and on the images (with --disc-size $disc_size).
disc_size=900000
same() {
  local name=$1 code=$2; shift 2
  local folders=() images=()
  while [ "$1" != -- ]; do folders+=("$1"); shift; done
  shift
  images=("$@")
  "$ds" check --disc-size "$disc_size" "${folders[@]}" >"$work/$name.folders" 2>&1
  check "$name: check on the folders exits $code" test $? -eq "$code"
  "$ds" check --disc-size "$disc_size" "${images[@]}" >"$work/$name.images" 2>&1
  check "$name: check on the images exits $code" test $? -eq "$code"
  check "$name: the images give the folders' lines" cmp -s "$work/$name.folders" "$work/$name.images"
}
s=$work/set
same sound 0 "$s/disc1" "$s/disc2" -- "$s/disc1.iso" "$s/disc2.iso"
check "sound: no problem found" grep -q 'no problem found' "$work/sound.images"
same shuffled-mixed 0 "$s/disc1" "$s/disc2" -- "$s/disc2.iso" "$s/disc1"
same image-then-folder 0 "$s/disc1" "$s/disc2" -- "$s/disc1.iso" "$s/disc2"
same missing-cd2 2 "$s/disc1" -- "$s/disc1.iso"
check "missing-cd2: says so" grep -q '^disc 2: missing (cd2 was not given)' "$work/missing-cd2.images"

"$fixture" bincue "$s/disc1.iso" "$work/disc1.bin" "$work/disc1.cue" mode1
same cue-bin 0 "$s/disc1" "$s/disc2" -- "$s/disc2.iso" "$work/disc1.cue"

# broken CASE: a copy of the folders broken by the function of that name,
# and images xorriso makes of them (Joliet names, as pack writes; not
# trimmed to pack's disc size, so the check allows a whole CD).
broken() {
  local name=$1 disc_size=650M
  rm -rf "$work/$name"
  cp -r "$s" "$work/$name"
  rm -f "$work/$name"/*.iso
  "break_$name" "$work/$name"
  for d in 1 2; do
    xorriso -report_about FAILURE -outdev "$work/$name/disc$d.iso" -joliet on -rockridge off \
      -map "$work/$name/disc$d" / -commit >/dev/null 2>&1
  done
  same "$name" 2 "$work/$name/disc1" "$work/$name/disc2" -- "$work/$name/disc2.iso" "$work/$name/disc1.iso"
  check "$name: the report names it" grep -q "$expect" "$work/$name.images"
}
break_damaged-record() { printf '\xff\xff\xff\xff' | dd of="$1/disc2/cd2" bs=1 seek=3000 conv=notrunc status=none; }
expect='^disc 2: cd2 at byte'
broken damaged-record
break_picture-gap() { rm "$1/disc1/pic/02.tga"; }
expect='^disc 1: pic\\02.tga, pic\\03.tga never show'  # one line: disc 2 holds both
broken picture-gap
break_picture-broken() { head -c 30 "$1/disc1/pic/03.tga" >"$1/t" && mv "$1/t" "$1/disc1/pic/03.tga"; }
expect="^disc 1: pic\\\\03.tga does not load with the installer's TGA reader"
broken picture-broken
break_no-setup() { rm "$1/disc1/setup.exe"; }
expect='^disc 1: no setup.exe'
broken no-setup

# refused CASE TEXT IMAGE...: exit 2, the text on standard error, no report.
refused() {
  local name=$1 text=$2; shift 2
  "$ds" check "$@" >"$work/$name.out" 2>"$work/$name.err"
  check "$name: check exits 2" test $? -eq 2
  check "$name: says why" grep -qF "$text" "$work/$name.err"
  check "$name: no report" test ! -s "$work/$name.out"
}
head -c 100000 /dev/urandom >"$work/garbage.iso"
refused not-an-image "is not an ISO 9660 image: no primary volume descriptor at its sector 16" "$work/garbage.iso" "$s/disc2"
size=$(stat -c %s "$s/disc1.iso")
head -c $((size / 2 / 2048 * 2048)) "$s/disc1.iso" >"$work/half.iso"
refused truncated "lies past the end of the image" "$work/half.iso" "$s/disc2.iso"
head -c 40000 "$s/disc1.iso" >"$work/head.iso"
refused cut-in-descriptors "cut short" "$work/head.iso"

# Hostile trees, made in the primary root folder of plain ISO 9660 images.
plain() { xorriso -report_about FAILURE -outdev "$2" -joliet off -rockridge off -map "$1" / -commit >/dev/null 2>&1; }
plain "$s/disc1" "$work/loop.iso"
"$fixture" loop "$work/loop.iso" pic
timeout 60 "$ds" check "$work/loop.iso" "$s/disc2" >"$work/loop.out" 2>"$work/loop.err"
check "directory loop: check exits 2" test $? -eq 2
check "directory loop: says so" grep -q 'the folder pic in .*loop.iso leads back to a folder read before (a directory loop)' "$work/loop.err"
plain "$s/disc1" "$work/past.iso"
"$fixture" extent-past-end "$work/past.iso" setup.exe
refused extent-past-end "setup.exe in $work/past.iso lies past the end of the image" "$work/past.iso"
plain "$s/disc1" "$work/wrap.iso"
"$fixture" size "$work/wrap.iso" setup.exe 4294967295  # 0xFFFFFFFF: 2^32 bytes of sectors
refused size-wraps "setup.exe in $work/wrap.iso lies past the end of the image" "$work/wrap.iso"
plain "$s/disc1" "$work/name.iso"
"$fixture" bad-name "$work/name.iso" launcher.exe
refused name-not-big5 "a name in the root folder of $work/name.iso does not convert to a file name" "$work/name.iso"

# A chain of folders one deeper than any disc holds is refused; one at the
# limit (64) is read. xorriso writes such chains with deep_paths.
deep_image() {  # deep_image NAME DEPTH: disc 1 with a chain of DEPTH folders
  local p=$work/$1 i
  rm -rf "$p"
  cp -r "$s/disc1" "$p"
  for ((i = 0; i < $2; ++i)); do p=$p/d; done
  mkdir -p "$p"
  xorriso -report_about FAILURE -outdev "$work/$1.iso" -joliet on -rockridge off -compliance deep_paths \
    -map "$work/$1" / -commit >/dev/null 2>&1
}
deep_image deep65 65
refused too-deep "lies more than 64 folders deep" "$work/deep65.iso" "$s/disc2"
deep_image deep64 64
"$ds" check "$work/deep64.iso" "$s/disc2" >"$work/deep64.out" 2>"$work/deep64.err"
check "64 folders deep: check exits 0" test $? -eq 0

# Paths that add up to more than any disc's: 15 folders under names of 64
# Chinese characters, 6000 empty files side by side at the bottom, each
# path some 3 KB (18 MB in all from a 2 MB image). The image is refused
# before its listing is spelled out.
python3 -c 'import os, sys
d = os.path.join(sys.argv[1], *["許" * 64] * 15)
os.makedirs(d)
for i in range(6000): open(os.path.join(d, "蓋" * 60 + "%04d" % i), "w").close()' "$work/longnames"
xorriso -report_about FAILURE -outdev "$work/longnames.iso" -joliet on -rockridge off \
  -compliance deep_paths:joliet_long_paths -map "$work/longnames" / -commit >/dev/null 2>&1
refused long-paths "add up to more than 16 MiB" "$work/longnames.iso" "$s/disc2"

"$ds" check --help >"$work/help.out" 2>&1
check "check --help says images are read" grep -q 'disc images (.iso, .cue)' "$work/help.out"

cli_check_end
