#!/usr/bin/env bash
# The main job: the whole road of the bundled sample game.
#
#   1. Builds the toolkit (native), the release programs (win32, i686) and
#      the same programs for x86_64 (win64), the ones Wine runs here.
#   2. Authors the sample into ISO images with the full disc layout, as a
#      publisher burns them (the release programs on disc 1), and checks them.
#   3. Installs from images the way a player would, under Wine: the sample
#      authored again with the x86_64 programs, the images as the CD-ROM
#      drive D: of a fresh Wine prefix in zh_TW, launcher.exe started, setup
#      driven (path dialog, disc prompts with the drive re-pointed at the
#      next image, success box), the installed tree compared with the sample,
#      then the uninstaller started as the uninstall entry starts it
#      (tests/e2e/disc_images_e2e.sh).
#   4. Prints a short report and where the images and screenshots are.
#
#   bash scripts/run.sh [--update-docs]
#
# Setup runs on a private X server (Xvfb); with DISPLAY set, on that screen.
# --update-docs copies the small screenshots into docs/ (the README's).
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
start=$SECONDS
update_docs=
[ "${1:-}" = --update-docs ] && update_docs=1
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}

bash scripts/deps.sh || exit 1
. scripts/disc-images.sh

report=()
# timed NAME COMMAND...: runs it, notes "NAME ok|FAILED (N s)".
timed() {
  local name=$1 t=$SECONDS result=ok
  shift
  echo "== $name"
  "$@" || result=FAILED
  report+=("$(printf '  %-46s %-6s %4d s' "$name" "$result" $((SECONDS - t)))")
  [ $result = ok ]
}
logged() {  # LOG COMMAND...: the command's output into LOG, its tail on failure
  local log=$1
  shift
  "$@" >"$log" 2>&1 || { tail -n 40 "$log"; return 1; }
}
build_all() {
  mkdir -p build
  logged build/build-native.log cmake --preset native &&
    logged build/build-native.log cmake --build --preset native --target discset apkg &&
    logged build/build-win32.log cmake --workflow --preset win32 &&
    logged build/build-win64.log cmake --preset win64 &&
    logged build/build-win64.log cmake --build --preset win64 --target setup launcher uninstall || return 1
  local f
  for f in build/native/tools/discset build/win32/frontend/setup.exe build/win32/launcher/launcher.exe \
           build/win32/uninstall/uninstall.exe build/win64/frontend/setup.exe; do
    printf '  %-40s %10d bytes\n' "$f" "$(stat -c %s "$f")"
  done
}

work=$root/build/sample-run
discset=$root/build/native/tools/discset
release_images() {
  [ -e "$work" ] && chmod -R u+w "$work" 2>/dev/null
  rm -rf "$work"
  python3 sample/make_sample.py "$work/source" >/dev/null &&
    author_images "$work/source" "$work/release" "$root/build/win32" "$discset" || return 1
  local image
  for image in "${images[@]}"; do
    printf '  %s  %d bytes (disc size %d)\n' "${image#"$root"/}" "$(stat -c %s "$image")" "$disc_size"
  done
  discset_check=$discset
  check_images "${images[@]}" && echo "  images checked"
}
install_under_wine() {
  local real=()
  [ -n "${DISPLAY:-}" ] && real=(--real-screen)
  # A fresh prefix of its own (no WINEPREFIX to copy), inside the build tree.
  env -u WINEPREFIX bash tests/e2e/disc_images_e2e.sh build/win64 --discset "$discset" \
    --work "$work/wine" "${real[@]}"
}
small_screenshots() {
  local shots=$work/wine/screenshots f
  mkdir -p "$shots/small"
  for f in 1-path-dialog 2-disc-prompt 3-success; do
    [ -f "$shots/$f.png" ] || { echo "  no $f.png"; return 1; }
    convert "$shots/$f.png" -resize 512x -colors 64 "$shots/small/setup-$f.png" || return 1
  done
  if [ -n "$update_docs" ]; then
    mkdir -p docs
    cp "$shots"/small/setup-*.png docs/
    echo "  copied into docs/"
  fi
}

ok=1
timed "build (native toolkit, win32 release, win64)" build_all || { printf '%s\n' "${report[@]}"; exit 1; }
timed "release images: author and check" release_images || ok=
timed "install from the images under Wine, uninstall" install_under_wine || ok=
timed "small screenshots" small_screenshots || ok=

echo
echo "== main job: $( [ -n "$ok" ] && echo ok || echo FAILED ) in $((SECONDS - start)) s"
printf '%s\n' "${report[@]}"
[ -f "$work/wine/report.txt" ] && { echo "  the install under Wine:"; sed 's/^/  /' "$work/wine/report.txt"; }
echo "release images (i686 programs): ${work#"$root"/}/release/disc*.iso, disc folders in ${work#"$root"/}/release/layout"
echo "images installed under Wine (x86_64 programs): ${work#"$root"/}/wine/images"
echo "screenshots: ${work#"$root"/}/wine/screenshots (small copies in small/)"
[ -n "$ok" ]
