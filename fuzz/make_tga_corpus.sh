#!/bin/sh
# Regenerates the seed corpus of fuzz_tga: small pictures of every accepted
# type and both row orders, written by ImageMagick, and a few made byte by
# byte for the reader's corner cases.
#   fuzz/make_tga_corpus.sh [OUTDIR]   (default fuzz/corpus/fuzz_tga)
set -eu
here=$(cd "$(dirname "$0")" && pwd)
out=${1:-$here/corpus/fuzz_tga}
mkdir -p "$out"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

convert -size 7x5 -seed 3 plasma:yellow-navy -fill white -draw 'rectangle 0,0 3,1' "$work/src.png"
convert -size 16x16 xc:black -channel R -fx 'i/15' -channel G -fx 'j/15' \
  -channel B -fx '((i*7+j*3)%16)/15' +channel "$work/src-256.png"

convert "$work/src.png" -type TrueColor -orient BottomLeft "$out/rgb24-raw.tga"
convert "$work/src.png" -type TrueColor -compress RLE -orient TopLeft "$out/rgb24-rle.tga"
convert "$work/src.png" -type TrueColor -depth 5 -compress RLE "$out/rgb16-rle.tga"
convert "$work/src.png" -type TrueColorAlpha -compress RLE "$out/rgb32-rle.tga"
convert "$work/src.png" -colorspace gray -type Grayscale "$out/grey-raw.tga"
convert "$work/src.png" -colorspace gray -type Grayscale -compress RLE -orient TopLeft "$out/grey-rle.tga"
convert "$work/src-256.png" -type palette "$out/map-raw.tga"
convert "$work/src-256.png" -type palette -compress RLE -orient TopLeft "$out/map-rle.tga"

# header TYPE WIDTH HEIGHT DEPTH DESCRIPTOR: the 18-byte header
header() {
  esc=
  for b in 0 0 "$1" 0 0 0 0 0 0 0 0 0 $(($2 % 256)) $(($2 / 256)) $(($3 % 256)) $(($3 / 256)) "$4" "$5"; do
    esc="$esc$(printf '\\%03o' "$b")"
  done
  printf "$esc"
}
# 2 x 2, 24 bits: one run of 4 pixels that runs on from the first row.
{ header 10 2 2 24 32; printf '\203\001\002\003'; } > "$out/run-across-rows.tga"
# 3 x 3 grey: packets crossing both row ends.
{ header 11 3 3 8 0; printf '\003\001\002\003\004\203\005\000\006'; } > "$out/grey-packets.tga"
# Width 0 with run-length data.
{ header 10 0 9 24 32; printf '\203\001\002\003'; } > "$out/width-zero.tga"
# Type 1 at 16 bits: one byte per pixel.
{ header 1 3 2 16 32; printf '\001\002\003\004\005\006'; } > "$out/mapped-16.tga"
