# The bundled sample as a publisher ships it: complete disc folders and one
# ISO 9660 image per disc. Sourced by scripts/run.sh and by the end-to-end
# script that installs from the images (tests/e2e/disc_images_e2e.sh).
#
#   author_images SOURCE OUT PROGRAMS DISCSET...
#       SOURCE    the sample as sample/make_sample.py writes it (game/,
#                 disc1_extra/ with data/, pic/ and 官方網頁.url)
#       OUT       gets OUT/layout/discN/ (the disc folders) and OUT/discN.iso
#       PROGRAMS  a Windows build folder: frontend/setup.exe,
#                 launcher/launcher.exe and uninstall/uninstall.exe go onto
#                 the discs
#       DISCSET   the command that runs discset (a path, or e.g. wine X.exe)
#     Sets disc_size (the medium's size in bytes) and images (the image paths).
#   check_images IMAGE...   the pre-flight check of the images; 0 when fine.
#   unpack_image IMAGE DIR  the image's Joliet tree (the names Windows shows)
#                           into DIR, read-only as a compact disc is.
#
# The sample's header: the same texts the other end-to-end scripts install.
sample_company=範例軟體公司 sample_product=許功蓋大冒險 sample_regkey=XuGongGaiAdventure sample_exe=game.exe

# Fixed dates in the images, so that the same input gives the same bytes.
disc_image_epoch=946684800            # 2000-01-01 00:00:00 UTC
disc_image_date=2000010100000000      # the same, as xorriso writes dates

# make_iso FOLDER IMAGE VOLUME_ID: ISO 9660 with a Joliet tree (UTF-16 names,
# so Big5 names show right on Windows) and Rock Ridge, every date fixed.
make_iso() {
  rm -f "$2"
  SOURCE_DATE_EPOCH=$disc_image_epoch xorriso -no_rc -report_about SORRY -local_charset UTF-8 \
    -outdev "$2" -blank as_needed -joliet on -volid "$3" \
    -volume_date all_file_dates "$disc_image_date" -map "$1" / -commit >/dev/null 2>&1
}

# ---------------------------------------------------------------------------
# author_images: THE AUTHORING STEP. Today it assembles the disc folders from
# what `discset pack` writes (the cdN files) and makes the images with
# xorriso itself. When `discset pack` writes the whole layout and the images
# (--iso), this function becomes that one pack command (and check_images
# calls `discset check`); its callers stay as they are.
# ---------------------------------------------------------------------------
author_images() {
  local source=$1 out=$2 programs=$3
  shift 3
  local layout=$out/layout staging=$out/disc1-beside-cd1
  rm -rf "$out"
  mkdir -p "$layout" "$staging" || return 1

  # What lies beside cd1 on disc 1: the programs, autorun.inf (a player's
  # Windows starts the launcher, with setup's icon), the pictures, the data
  # folder and the web shortcut.
  cp "$programs/frontend/setup.exe" "$programs/launcher/launcher.exe" "$staging/" || return 1
  printf '[autorun]\r\nopen=launcher.exe\r\nicon=setup.exe,0\r\n' >"$staging/autorun.inf"
  cp -r "$source/disc1_extra/." "$staging/" || return 1

  # The room that takes on disc 1, as the image counts it (sectors,
  # directory records, both trees, padding, and xorriso's rounding of the
  # whole image to 32 KiB): first the image of disc 1 without cd1, plus the
  # sectors of cd1's own directory records and of its last partial sector;
  # when the image of disc 1 still comes out larger than the disc, the
  # excess is kept free as well and the set packed again. The sample's disc
  # is the first estimate plus 1400000 bytes: the game takes two discs, a
  # file runs from the first onto the second, and the change of discs comes
  # after 40 %, where the slide show of four pictures has left the first.
  make_iso "$staging" "$out/beside-cd1.iso" MEASURE || { echo "xorriso failed" >&2; return 1; }
  local reserve try size
  reserve=$(($(stat -c %s "$out/beside-cd1.iso") + 3 * 2048))
  rm -f "$out/beside-cd1.iso"
  disc_size=$((reserve + 1400000))
  for try in 1 2 3 4; do
    rm -rf "$layout"
    "$@" pack "$source/game" -o "$layout" \
      --company "$sample_company" --product "$sample_product" --regkey "$sample_regkey" --exe "$sample_exe" \
      --disc-size "$disc_size" --first-disc-reserve "$reserve" \
      --data "$source/disc1_extra/data" --uninstaller "$programs/uninstall/uninstall.exe" \
      >"$out/pack.log" 2>&1 || { cat "$out/pack.log" >&2; echo "pack failed" >&2; return 1; }
    cp -r "$staging/." "$layout/disc1/" || return 1
    make_iso "$layout/disc1" "$out/disc1.iso" MEASURE || { echo "xorriso failed" >&2; return 1; }
    size=$(stat -c %s "$out/disc1.iso")
    [ "$size" -le "$disc_size" ] && break
    reserve=$((reserve + size - disc_size))
  done
  rm -rf "$staging" "$out/disc1.iso"

  local discs=("$layout"/disc*) last n
  last=${#discs[@]}
  # setup copies the data folder and the web shortcut after the last disc,
  # from the drive as it then is: the last disc carries them too. The
  # pictures stay on disc 1 only; after the change of discs the slide show
  # keeps its last picture.
  if [ "$last" -gt 1 ]; then
    cp -r "$layout/disc1/data" "$layout/disc1/官方網頁.url" "$layout/disc$last/" || return 1
  fi

  images=()
  for n in $(seq "$last"); do
    # The volume id: the product's key and the disc number (ISO 9660 volume
    # ids are upper-case letters, digits and "_", at most 32).
    local volid
    volid=$(printf '%s' "${sample_regkey^^}" | tr -c 'A-Z0-9' _ | cut -c1-28)_$n
    make_iso "$layout/disc$n" "$out/disc$n.iso" "$volid" || { echo "xorriso failed on disc $n" >&2; return 1; }
    images+=("$out/disc$n.iso")
  done
}

# check_images IMAGE...: `discset check` where the toolkit has it; until then
# the medium size (disc_size from author_images) and a readable tree with cdN
# on each image.
check_images() {
  local problems=0 image n=0
  if [ -n "${discset_check:-}" ] && $discset_check --help 2>/dev/null | grep -q '^  check  '; then
    $discset_check check "$@"
    return
  fi
  for image in "$@"; do
    n=$((n + 1))
    local size
    size=$(stat -c %s "$image")
    if [ "$size" -gt "$disc_size" ]; then
      echo "$image: $size bytes, more than the disc size $disc_size"
      problems=$((problems + 1))
    fi
    if ! xorriso -no_rc -report_about SORRY -rockridge off -joliet on -indev "$image" -find / -name "cd$n" 2>/dev/null | grep -qx "'/cd$n'"; then
      echo "$image: no cd$n in its Joliet tree"
      problems=$((problems + 1))
    fi
  done
  [ "$problems" -eq 0 ]
}

unpack_image() {
  [ -e "$2" ] && chmod -R u+w "$2"
  rm -rf "$2"
  # Rock Ridge off: the Joliet tree, what Windows reads from the disc.
  xorriso -no_rc -report_about SORRY -local_charset UTF-8 -rockridge off -joliet on \
    -osirrox on -indev "$1" -extract / "$2" >/dev/null 2>&1 || return 1
  chmod -R a-w "$2"
}
