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
#     Also sets layout_dirs (the disc folders).
#   check_images IMAGE...   the pre-flight check of the images themselves,
#                           then a test of every record in them; 0 when fine.
#   unpack_image IMAGE DIR  the image's Joliet tree (the names Windows shows)
#                           into DIR, read-only as a compact disc is.
#
# The sample's header: the same texts the other end-to-end scripts install.
sample_company=範例軟體公司 sample_product=許功蓋大冒險 sample_regkey=XuGongGaiAdventure sample_exe=game.exe

# author_images: the authoring step, one `discset pack --layout --iso`: the
# disc folders OUT/layout/discN/ (disc 1 with setup.exe, launcher.exe,
# autorun.inf, pic\, data\ and 官方網頁.url; later discs their cdN, the
# pictures, and on the last disc the data folder and the web shortcut) and
# the images OUT/discN.iso. The disc size is small enough for two discs, with
# a file running from the first onto the second and the change of discs at
# about two thirds of the way, where the slide show has left the first
# picture.
author_images() {
  local source=$1 out=$2 programs=$3
  shift 3
  rm -rf "$out"
  mkdir -p "$out" || return 1
  disc_size=3600000
  "$@" pack "$source/game" -o "$out/layout" \
    --company "$sample_company" --product "$sample_product" --regkey "$sample_regkey" --exe "$sample_exe" \
    --disc-size "$disc_size" --layout --iso \
    --setup-exe "$programs/frontend/setup.exe" --launcher-exe "$programs/launcher/launcher.exe" \
    --uninstaller "$programs/uninstall/uninstall.exe" \
    --data "$source/disc1_extra/data" --pictures "$source/disc1_extra/pic" \
    --web-shortcut "$source/disc1_extra/官方網頁.url" \
    >"$out/pack.log" 2>&1 || { cat "$out/pack.log" >&2; echo "pack failed" >&2; return 1; }
  images=() layout_dirs=()
  local n=1
  while [ -e "$out/layout/disc$n.iso" ]; do
    mv "$out/layout/disc$n.iso" "$out/disc$n.iso" || return 1
    images+=("$out/disc$n.iso")
    layout_dirs+=("$out/layout/disc$n")
    n=$((n + 1))
  done
  [ ${#images[@]} -gt 0 ] || { echo "pack wrote no images" >&2; return 1; }
}

# check_images IMAGE...: the pre-flight check of the images as they will be
# burned (setup's files, pictures, records, each whole image against the
# disc size), then `test`, which also names the offset of any damaged
# record; 0 when both find nothing wrong.
check_images() {
  $discset_check check --disc-size "$disc_size" "$@" || return 1
  $discset_check test "$@" >/dev/null || { $discset_check test "$@"; return 1; }
}

unpack_image() {
  [ -e "$2" ] && chmod -R u+w "$2"
  rm -rf "$2"
  # Rock Ridge off: the Joliet tree, what Windows reads from the disc.
  xorriso -no_rc -report_about SORRY -local_charset UTF-8 -rockridge off -joliet on \
    -osirrox on -indev "$1" -extract / "$2" >/dev/null 2>&1 || return 1
  chmod -R a-w "$2"
}
