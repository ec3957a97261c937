#!/bin/sh
# Writes the slide-show pictures of the sample game with ImageMagick:
#   scripts/make_sample_pictures.sh OUTDIR   ->  OUTDIR/pic/01.tga ... 04.tga
# 320 x 240 each, one of every kind setup reads: 24-bit run-length, 8-bit
# colour-mapped (exactly 256 colours, so the colour map has the 256 entries
# the reader expects), 16-bit raw, and 8-bit grey run-length. Picture n
# shows n rings. The same ImageMagick gives the same bytes every run; the
# header of every picture is checked before the script succeeds.
set -eu
out=${1:?usage: make_sample_pictures.sh OUTDIR}
command -v convert >/dev/null || { echo "ImageMagick's convert is needed" >&2; exit 1; }
mkdir -p "$out/pic"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

rings() {  # rings N: the drawing of N ring outlines, left to right
  n=$1 mvg=
  i=0
  while [ "$i" -lt "$n" ]; do
    cx=$((320 * (2 * i + 1) / (2 * n)))
    mvg="$mvg circle $cx,120 $cx,$((120 - 150 / (n + 1)))"
    i=$((i + 1))
  done
  echo "$mvg"
}
ring_style="+antialias -fill none -strokewidth 3 -stroke"

# 01: sky gradient, plasma hills and one ring; 24-bit run-length, top row first.
convert -size 320x240 gradient:'#1e3c78'-'#f0b450' \
  \( -size 320x100 -seed 1 plasma:'#205020'-'#60a040' \) -geometry +0+140 -composite \
  "$work/01.png"
convert "$work/01.png" $ring_style white -draw "$(rings 1)" -type TrueColor -compress RLE -orient TopLeft "$out/pic/01.tga"

# 02: a grid of 256 colours and two rings drawn in colours of the grid;
# 8-bit colour-mapped, raw, bottom row first.
convert -size 16x16 xc:black -channel R -fx 'i/15' -channel G -fx 'j/15' \
  -channel B -fx '((i*7+j*3)%16)/15' +channel -sample 320x240! "$work/02.png"
convert "$work/02.png" $ring_style black -draw "$(rings 2)" -type palette -orient BottomLeft "$out/pic/02.tga"

# 03: plasma clouds and three rings; 16-bit raw, bottom row first.
convert -size 320x240 -seed 3 plasma:'#4060c0'-'#e0e0f0' "$work/03.png"
convert "$work/03.png" $ring_style '#c03030' -draw "$(rings 3)" -type TrueColor -depth 5 -orient BottomLeft "$out/pic/03.tga"

# 04: a radial grey gradient and four rings; 8-bit grey run-length, top row first.
convert -size 320x240 radial-gradient:white-'#202020' "$work/04.png"
convert "$work/04.png" $ring_style black -draw "$(rings 4)" -colorspace gray -type Grayscale -compress RLE \
  -orient TopLeft "$out/pic/04.tga"

# check FILE TYPE DEPTH DESCRIPTOR-BIT-0x20 [MAP-ENTRIES]
check() {
  set -- "$1" "$2" "$3" "$4" "${5:-0}" $(od -An -tu1 -N18 "$1")
  file=$1 type=$2 depth=$3 top=$4 entries=$5
  shift 5
  # $1 ... $18 are the header bytes 0 ... 17.
  id=$1 maptype=$2 got_type=$3 map_len=$(($6 + 256 * $7)) map_bits=$8
  width=$((${13} + 256 * ${14})) height=$((${15} + 256 * ${16})) got_depth=${17} desc=${18}
  ok=1
  [ "$id" = 0 ] && [ "$got_type" = "$type" ] && [ "$got_depth" = "$depth" ] || ok=0
  [ "$width" = 320 ] && [ "$height" = 240 ] || ok=0
  [ $(((desc & 32) != 0)) = "$top" ] || ok=0
  if [ "$entries" != 0 ]; then
    [ "$maptype" = 1 ] && [ "$map_len" = "$entries" ] && [ "$map_bits" = 24 ] || ok=0
  fi
  if [ "$ok" != 1 ]; then
    echo "unexpected header in $file: $(od -An -tx1 -N18 "$file")" >&2
    exit 1
  fi
}
check "$out/pic/01.tga" 10 24 1
check "$out/pic/02.tga" 1 8 0 256
check "$out/pic/03.tga" 2 16 0
check "$out/pic/04.tga" 11 8 1
