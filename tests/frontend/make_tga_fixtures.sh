#!/bin/sh
# Writes TGA pictures with ImageMagick, each beside ImageMagick's own decoding
# of it (raw pixels, top row first), for the reader's comparison test.
#   make_tga_fixtures.sh OUTDIR [SAMPLE_PICTURE_SCRIPT]
# manifest.txt lists: file, image type, depth, 1 when stored top row first,
# and the reference layout (bgr, bgra or gray).
set -eu
out=${1:?usage: make_tga_fixtures.sh OUTDIR [SAMPLE_PICTURE_SCRIPT]}
sample_script=${2:-}
mkdir -p "$out"
cd "$out"
rm -f manifest.txt manifest.tmp

# Sources: 61 x 43 (odd width, so rows have pad bytes), noisy areas for
# literal packets and flat areas for runs.
convert -size 61x43 -seed 11 plasma:red-blue \
  -fill '#2080f0' -draw 'rectangle 3,4 30,15' \
  -fill white -draw 'rectangle 40,20 60,42' \
  -fill black -draw 'rectangle 0,42 60,42' src.png
convert src.png \( -size 61x43 gradient:white-black \) -alpha off \
  -compose CopyOpacity -composite src-alpha.png
# Exactly 256 colours, so the colour map has the 256 entries the reader
# expects: a 16 x 16 swatch of distinct colours, enlarged by sampling.
convert -size 16x16 xc:black -channel R -fx 'i/15' -channel G -fx 'j/15' \
  -channel B -fx '((i*7+j*3)%16)/15' +channel -sample 61x43! src-256.png

# make NAME SOURCE TYPE DEPTH TOP REF OPTIONS...
make() {
  name=$1 src=$2 type=$3 depth=$4 top=$5 ref=$6
  shift 6
  if [ "$top" = 1 ]; then orient=TopLeft; else orient=BottomLeft; fi
  convert "$src" "$@" -orient "$orient" "$name.tga"
  # ImageMagick keeps the stored row order and only records it; turned
  # upright, its decoding starts with the top row like the reader's block.
  case $ref in
    bgr) convert "$name.tga" -auto-orient -depth 8 "BGR:$name.ref" ;;
    bgra) convert "$name.tga" -auto-orient -depth 8 "BGRA:$name.ref" ;;
    gray) convert "$name.tga" -auto-orient -depth 8 "GRAY:$name.ref" ;;
  esac
  echo "$name.tga $type $depth $top $ref" >> manifest.tmp
}

# reference NAME REF: ImageMagick's decoding of a picture made elsewhere.
reference() {
  case $2 in
    bgr) convert "$1.tga" -auto-orient -depth 8 "BGR:$1.ref" ;;
    gray) convert "$1.tga" -auto-orient -depth 8 "GRAY:$1.ref" ;;
  esac
}

make rgb24-raw-bottom src.png 2 24 0 bgr -type TrueColor
make rgb24-raw-top src.png 2 24 1 bgr -type TrueColor
make rgb24-rle-bottom src.png 10 24 0 bgr -type TrueColor -compress RLE
make rgb24-rle-top src.png 10 24 1 bgr -type TrueColor -compress RLE
make rgb32-raw-bottom src-alpha.png 2 32 0 bgra -type TrueColorAlpha
make rgb32-rle-top src-alpha.png 10 32 1 bgra -type TrueColorAlpha -compress RLE
make rgb16-raw-bottom src.png 2 16 0 bgr -type TrueColor -depth 5
make rgb16-rle-top src.png 10 16 1 bgr -type TrueColor -depth 5 -compress RLE
make grey-raw-bottom src.png 3 8 0 gray -colorspace gray -type Grayscale
make grey-rle-top src.png 11 8 1 gray -colorspace gray -type Grayscale -compress RLE
make map-raw-bottom src-256.png 1 8 0 bgr -type palette
make map-rle-top src-256.png 9 8 1 bgr -type palette -compress RLE
make map-rle-bottom src-256.png 9 8 0 bgr -type palette -compress RLE

# The sample game's slide show, from its own script.
if [ -n "$sample_script" ]; then
  sh "$sample_script" sample
  reference sample/pic/01 bgr
  reference sample/pic/02 bgr
  reference sample/pic/03 bgr
  reference sample/pic/04 gray
  cat >> manifest.tmp <<'LIST'
sample/pic/01.tga 10 24 1 bgr
sample/pic/02.tga 1 8 0 bgr
sample/pic/03.tga 2 16 0 bgr
sample/pic/04.tga 11 8 1 gray
LIST
fi

mv manifest.tmp manifest.txt
