#!/usr/bin/env bash
# The whole road of the bundled sample, from the game folder to the
# uninstall, the way a publisher and then a player go it:
#
#   1. The sample is authored into disc images (scripts/disc-images.sh:
#      author_images, the disc folders with setup.exe, launcher.exe,
#      autorun.inf, pic\, data\, 官方網頁.url and one ISO 9660 image with
#      Joliet names per disc), and the images are checked.
#   2. A fresh Wine prefix in zh_TW (code page 950) gets drive D:, a CD-ROM
#      drive; each image is unpacked (its Joliet tree, read-only) and D: is
#      pointed at the first.
#   3. launcher.exe is started from D:\ as autorun starts it; it starts
#      setup.exe. The path dialog is accepted, each disc prompt answered
#      after D: is pointed at the next image, the success box answered.
#   4. The installed tree is compared with the sample (game folder and data
#      folder, uninstall.exe and its manifest), the uninstall key and the
#      shortcuts looked at.
#   5. The uninstall entry's command line is run from the install folder, as
#      the entry starts it, and answered Yes: the install folder, the key and
#      the shortcuts must be gone.
#
# Each step prints "ok" or "FAILED" with its time; the report is kept in
# WORK/report.txt, screenshots of setup (path dialog, disc prompt, success
# box) in WORK/screenshots.
#
#   disc_images_e2e.sh BUILD_DIR [--discset PROGRAM] [--real-screen] [--work DIR]
#
#   BUILD_DIR      a Windows build that Wine here runs (win64): its setup.exe,
#                  launcher.exe and uninstall.exe go onto the discs
#   --discset      a discset to author with (default: BUILD_DIR's
#                  discset.exe under Wine)
#   --real-screen  on the display named by DISPLAY, when set, instead of a
#                  private X server
#   --work         where everything goes (default BUILD_DIR/e2e-disc-images)
#
# Without --work and WINEPREFIX the prefix is made new with wineboot; under
# ctest it is a fresh copy of the run's prepared prefix.
#
# What Wine makes this script live with (none of it is setup's doing):
# - Wine mounts no ISO image: each image is unpacked into a folder and the
#   drive is a link to it; a change of discs is re-pointing the link.
# - The images carry the x86_64 programs: Wine on these machines runs no
#   32-bit code, so the i686 release programs cannot be installed from here.
# - setup.exe is started by the launcher (WinExec), not by this script: its
#   end is awaited as the end of the prefix's Wine server.
# - Nothing here clicks on the full-screen window: under Wine a click on it
#   raises it above the dialogs it owns (on Windows they stay above it).
set -uo pipefail

. "$(dirname "$0")/lib.sh" "$@"
. "$repo/scripts/disc-images.sh"
shift
discset_cmd=() real_screen= work=$build/e2e-disc-images
while [ $# -gt 0 ]; do
  case $1 in
    --discset) discset_cmd=("$2"); shift 2 ;;
    --real-screen) real_screen=1; shift ;;
    --work) work=$2; shift 2 ;;
    *) echo "disc_images_e2e.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
e2e_need_files "$build/frontend/setup.exe" "$build/launcher/launcher.exe" "$build/uninstall/uninstall.exe"
# The images are made by the Linux toolkit (the Windows one runs neither
# xorriso nor ImageMagick): the native build's discset unless one is named.
if [ ${#discset_cmd[@]} -eq 0 ]; then
  discset_cmd=("$repo/build/native/tools/discset")
  e2e_need_files "${discset_cmd[0]}"
fi
e2e_need_tools "disc images e2e" Xvfb xdotool import convert wine wineserver python3 xorriso iconv

case $work in /*) ;; *) work="$(pwd)/$work" ;; esac
[ -e "$work" ] && chmod -R u+w "$work" 2>/dev/null
rm -rf "$work"
artifacts=$work/screenshots
mkdir -p "$artifacts"
report=$work/report.txt
: >"$report"

# ---- the report: one line per step --------------------------------------------
step_name= step_start= step_failures=0
begin() {  # NAME: ends the step before, starts this one
  end_step
  step "$1"
  step_name=$1 step_start=$SECONDS step_failures=$failures
}
end_step() {
  [ -n "$step_name" ] || return 0
  local result=ok
  [ "$failures" -eq "$step_failures" ] || result=FAILED
  printf '  %-46s %-6s %4d s\n' "$step_name" "$result" $((SECONDS - step_start)) >>"$report"
  step_name=
}
finish() {  # the report and the status
  end_step
  echo "== report"
  cat "$report"
  echo "screenshots in $artifacts"
  if [ $status -eq 0 ]; then echo "disc images end-to-end: ok"; else echo "disc images end-to-end: FAILED"; fi
  exit $status
}

prog_pid=
trap 'e2e_cleanup "$prog_pid"' EXIT

begin "author the sample into disc images"
python3 "$repo/sample/make_sample.py" "$work/source" >/dev/null || { fail "no sample"; finish; }
author_images "$work/source" "$work/images" "$build" "${discset_cmd[@]}" || { fail "authoring failed"; finish; }
[ ${#images[@]} -ge 2 ] || fail "the sample takes ${#images[@]} disc, not two or more"
"${discset_cmd[@]}" list "${images[@]}" >"$work/list.txt" 2>&1 || fail "discset list of the images failed"
grep -q ' 1-2  ' "$work/list.txt" || fail "no file runs from disc 1 onto disc 2"
for image in "${images[@]}"; do
  printf '      %s  %d bytes\n' "${image#"$work"/}" "$(stat -c %s "$image")"
done

begin "check the images"
discset_check="${discset_cmd[*]}"
check_images "${images[@]}" || fail "the check found problems"

begin "fresh Wine prefix, images on drive D:"
if [ -n "$real_screen" ] && [ -n "${DISPLAY:-}" ]; then
  echo "  on the screen $DISPLAY"
else
  e2e_start_xvfb || { fail "no X server"; finish; }
fi
e2e_wine_prefix "$work/prefix" || { fail "no Wine prefix"; finish; }
e2e_cdrom_desktop
drive=$work/drive
for n in $(seq ${#images[@]}); do
  unpack_image "${images[$((n - 1))]}" "$drive/disc$n" || fail "image $n does not unpack"
done
# Changing discs is re-pointing the drive.
insert() { ln -sfn "$drive/disc$1" "$WINEPREFIX/dosdevices/d:"; }
insert 1
cmp "$drive/disc1/setup.exe" "$build/frontend/setup.exe" || fail "setup.exe on disc 1 is not the build's"

begin "launcher.exe starts setup.exe from D:"
# autorun.inf's open= line, run with D:\ current, as Windows runs it.
open=$(tr -d '\r' <"$drive/disc1/autorun.inf" | sed -n 's/^open=//p')
[ "$open" = launcher.exe ] || fail "autorun.inf opens '$open'"
(cd "$drive/disc1" && timeout 60 wine "D:\\$open" >"$work/launcher.log" 2>&1) || fail "the launcher failed"

begin "setup: path dialog, disc prompts, success box"
if e2e_accept_path_dialog 1-path-dialog.png; then
  first=$background_pixel
  for n in $(seq 2 ${#images[@]}); do
    prompt=$(wait_window 'Next Disc')
    [ -n "$prompt" ] || { fail "no prompt for disc $n"; break; }
    sleep 1
    if [ "$n" -eq 2 ]; then
      shot 2-disc-prompt.png
      # The slide show has moved on from the first picture (the sample's
      # pictures differ in that corner).
      now=$(colour_at "$artifacts/2-disc-prompt.png" 20 20)
      [ "$now" != "$first" ] || fail "the slide show still shows the first picture at disc 2"
    fi
    insert "$n"
    e2e_answer "$prompt" Return || fail "the prompt for disc $n did not take Enter"
  done
  e2e_answer_success_box 3-success.png
fi
# setup was started by the launcher, not by this script: the prefix's
# server ends when its last program has.
timeout 60 wineserver -w || fail "setup did not end"

begin "installed tree = the sample"
install="$WINEPREFIX/drive_c/Program Files/$sample_company/$sample_product"
install_win="C:\\Program Files\\$sample_company\\$sample_product"
expected=$work/expected
cp -r "$work/source/game" "$expected" && cp -r "$work/source/disc1_extra/data/." "$expected/"
if [ ! -d "$install" ]; then
  fail "no install folder $install"
else
  diff -r -x uninstall.dat -x uninstall.exe -x uninstall.lst "$expected" "$install" >"$work/diff.txt" ||
    fail "the installed tree differs from the sample: $(head -n 5 "$work/diff.txt")"
  diff <(cd "$expected" && find . | LC_ALL=C sort) \
       <(cd "$install" && find . ! -name uninstall.dat ! -name uninstall.exe ! -name uninstall.lst | LC_ALL=C sort) ||
    fail "the installed tree has other entries than the sample"
  cmp -s "$build/uninstall/uninstall.exe" "$install/uninstall.exe" || fail "uninstall.exe is not the build's"
  [ "$(head -n 1 "$install/uninstall.lst" | tr -d '\r')" = "UNINSTALL-MANIFEST 1" ] || fail "no manifest uninstall.lst"
  [ "$(stat -c %s "$install/uninstall.dat" 2>/dev/null)" = 40 ] || fail "uninstall.dat is not 40 bytes"
  echo "      $(find "$expected" -mindepth 1 | wc -l) files and folders as in the sample"
fi
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'$sample_regkey
query_key() { timeout 60 wine reg query "$key" 2>/dev/null | iconv -f CP950 -t UTF-8 | tr -d '\r'; }
uninstall_command=$(query_key | sed -n 's/^    UninstallString    REG_SZ    //p')
[ "$uninstall_command" = "\"$install_win\\uninstall.exe\"" ] || fail "UninstallString is '$uninstall_command'"
# The program inside the quotes, as the programs list starts it.
uninstall_command=${uninstall_command#\"} uninstall_command=${uninstall_command%\"}
users=$WINEPREFIX/drive_c/users
user=$(ls "$users" | grep -v -x Public | head -n 1)
group="$users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$sample_company/$sample_product"
desktop_link="$users/$user/Desktop/$sample_product.lnk"
for f in "$group/解除安裝.lnk" "$group/$sample_product.lnk" "$group/官方網頁.url" "$desktop_link"; do
  [ -f "$f" ] || fail "no ${f#"$users/$user/"}"
done

begin "uninstall from the uninstall entry"
if [ -n "$uninstall_command" ] && [ -d "$install" ]; then
  (cd "$install" && exec timeout 120 wine "$uninstall_command" >"$work/uninstall.log" 2>&1) &
  prog_pid=$!
  box=$(wait_window '解除安裝')
  if [ -z "$box" ]; then
    fail "no question from the uninstaller"
  else
    e2e_answer "$box" Return || fail "the question did not take Enter (Yes)"
    box=$(wait_window '解除安裝')
    [ -n "$box" ] || fail "no closing box from the uninstaller"
    [ -n "$box" ] && { e2e_answer "$box" Return || fail "the closing box did not take Enter"; }
  fi
  wait "$prog_pid"
  rc=$?
  prog_pid=
  [ $rc -eq 0 ] || fail "uninstall.exe ended with status $rc"
  # The copy in the temporary folder deletes uninstall.exe, then goes.
  timeout 60 wineserver -w
  [ ! -e "$install" ] || fail "the install folder is left: $(cd "$install" && find . -mindepth 1 | head -n 5 | tr '\n' ' ')"
  query_key | grep -q DisplayName && fail "the uninstall key is left"
  [ ! -e "$group" ] || fail "the program group is left"
  [ ! -e "$desktop_link" ] || fail "the desktop link is left"
else
  fail "nothing to uninstall"
fi

finish
