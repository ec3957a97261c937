#!/usr/bin/env bash
# End-to-end run of setup.exe under Wine on a private X server (Xvfb),
# driven with xdotool like a user would:
#
#   1. The sample game is packed into two discs with discset; drive D: is a
#      CD-ROM drive whose folder is disc 1, and setup.exe runs with "D:" as
#      its command line and the current directory on D:, as the launcher
#      leaves it.
#   2. Install run: Enter accepts the proposed folder; when "Please Insert
#      Disc #2" appears, D: is switched to disc 2 and Enter goes on; the
#      success box is answered. Then the installed tree is compared byte for
#      byte with the sample, and uninstall.dat, the copied data folder, the
#      registry values, the three shortcuts and the web shortcut file in the
#      program group are checked.
#   3. Cancel run: while setup waits for disc 2 the cancel button is clicked;
#      the question must carry no caption and the text "確定取消嗎 ?", and it
#      is answered Yes; after disc 2 is given the engine stops at the next
#      record. The install folder must be gone and neither the success nor
#      the failure box may appear.
#   4. Failure run: disc 2 is given with the bytes of one record damaged.
#      The engine reports the damage, and then the failure box ("請重新安裝"
#      / "安裝失敗 !!") must appear after the progress dialog is gone and
#      while the picture window is still up. The install folder must be gone.
#
# The texts of message boxes are child controls, not X windows: a small
# Win32 helper (window_list.exe, from the unit tests' build) lists the
# visible windows with their classes, captions and texts.
#
# Screenshots of the path dialog, the extraction (picture, progress bar) and
# the success box are kept in BUILD_DIR/e2e-artifacts.
#
#   setup_e2e.sh [BUILD_DIR]      (default: build/win64)
#
# Every wait is bounded; the whole script ends within a few minutes.
set -uo pipefail

. "$(dirname "$0")/lib.sh" "$@"
setup_exe=$build/frontend/setup.exe
discset_exe=$build/tools/discset.exe
window_list_exe=$build/tests/frontend/window_list.exe
e2e_need_files "$setup_exe" "$discset_exe" "$window_list_exe"
e2e_need_tools "setup e2e" Xvfb xdotool import convert wine wineserver python3

work=$build/e2e-setup
artifacts=$build/e2e-artifacts
rm -rf "$work" "$artifacts"
mkdir -p "$artifacts"

company=範例軟體公司 product=許功蓋大冒險 regkey=XuGongGaiAdventure exe=game.exe uninstall=解除安裝

setup_pid=
trap 'e2e_cleanup "$setup_pid"' EXIT

e2e_start_xvfb || exit 2

step "Wine prefix"
# A prefix of this script's own; its home holds the user's Desktop.
e2e_wine_prefix "$work/prefix" || exit 2
e2e_cdrom_desktop

step "sample disc set"
e2e_sample_set "$work" "$discset_exe" \
  --company "$company" --product "$product" --regkey "$regkey" --exe "$exe" --no-uninstaller || exit 1
disc1=$work/discs/disc1 disc2=$work/discs/disc2

# Disc 2 with one record damaged: the Adler-32 trailer of the first record
# that holds a zlib stream (type 1, 2 or 3: type byte, 4-byte length L, L
# bytes of stream) is inverted, so that record cannot be decompressed.
disc2_damaged=$work/discs/disc2-damaged
cp -r "$disc2" "$disc2_damaged"
python3 - "$disc2_damaged/cd2" <<'PY' || { echo "could not damage disc 2" >&2; exit 1; }
import sys
path = sys.argv[1]
data = bytearray(open(path, "rb").read())
at = 0
while at < len(data) and data[at] not in (1, 2, 3):
    at += 1  # types 4, 5 and unknown bytes have no body
if at + 5 > len(data):
    sys.exit(1)
length = int.from_bytes(data[at + 1:at + 5], "little")
end = at + 5 + length
if length < 6 or end > len(data):
    sys.exit(1)
for k in range(end - 4, end):
    data[k] ^= 0xFF
open(path, "wb").write(data)
PY

insert() { ln -sfn "$1" "$WINEPREFIX/dosdevices/d:"; }

# The visible windows, topmost first: CLASS<TAB>CAPTION<TAB>RECT<TAB>TEXTS.
windows() { timeout 60 wine "$window_list_exe" 2>/dev/null | tr -d '\r'; }
# Starts setup.exe D: with the current directory on the disc.
start_setup() {
  (cd "$disc1" && exec timeout 150 wine "$setup_exe" D: >"$work/setup-$1.log" 2>&1) &
  setup_pid=$!
}
# Waits for setup to end; its exit status.
wait_setup() {
  local rc
  wait "$setup_pid"
  rc=$?
  setup_pid=
  return $rc
}
# ends_without TITLES ON_BOX WHEN: waits (at most a minute) for setup to
# end; a visible window whose title matches TITLES on the way is a fault:
# ON_BOX gets its id, then it is answered. Then setup's status must be 0 and
# the install folder gone ("... WHEN" in the messages).
ends_without() {
  local box rc
  for _ in $(seq 300); do
    kill -0 "$setup_pid" 2>/dev/null || break
    box=$(visible_windows "$1" | head -n 1)
    if [ -n "$box" ]; then
      "$2" "$box"
      press_on "$box" Return
      sleep 1
    fi
    sleep 0.2
  done
  wait_setup
  rc=$?
  [ $rc -eq 0 ] || fail "setup ended with status $rc $3"
  [ ! -e "$install" ] || fail "the install folder is still there $3"
}

# ---- quiet ends ------------------------------------------------------------------
# No command line, a drive without cd1, and a quoted drive (taken verbatim,
# quotes included, so cd1 is not found) end setup with status 0 and without
# a message: a box would wait for an answer until the timeout.
step "quiet ends"
insert "$disc1"
quiet() {  # label, arguments...
  local label=$1 rc
  shift
  (cd "$disc1" && timeout 60 wine "$setup_exe" "$@" >/dev/null 2>&1)
  rc=$?
  [ $rc -eq 0 ] || fail "setup $label ended with status $rc"
}
quiet "without a command line"
quiet "E: (no disc)" E:
quiet '"D:" (quoted)' '"D:"'
left=$(visible_windows '.')
if [ -n "$left" ]; then
  fail "a window is left after the quiet ends: $(for id in $left; do xdotool getwindowname "$id"; done | tr '\n' ' ')"
fi

# ---- install run ---------------------------------------------------------------
step "install run"
# Started from the disc1 folder, Wine gives the process D:\ as its current
# directory, as the launcher leaves it on a real drive.
cwd=$(cd "$disc1" && timeout 60 wine cmd /c cd 2>/dev/null | tr -d '\r' | tail -n 1)
[ "$cwd" = 'D:\' ] || fail "the current directory under Wine is '$cwd', not D:\\"
start_setup install
if e2e_accept_path_dialog 1-path-dialog.png; then
  if e2e_wait_for 'Next Disc' "the prompt for disc 2"; then
    insert "$disc2"
    e2e_shoot_answer "$e2e_window" 2-extracting.png "the disc prompt" Return
    # The blue bar runs from 5 pixels into the progress dialog at (256, 668)
    # (inside its frame); 20 pixels in it is blue from 5 % on.
    bar=$(colour_at "$artifacts/2-extracting.png" 276 683)
    [ "$bar" = "0,0,255" ] || fail "no blue progress bar in the extraction screenshot (pixel $bar)"
    e2e_answer_success_box 3-success.png
  fi
fi
wait_setup
rc=$?
[ $rc -eq 0 ] || fail "setup ended with status $rc"

# ---- what the install run left --------------------------------------------------
step "installed files"
install="$WINEPREFIX/drive_c/Program Files/$company/$product"
install_win="C:\\Program Files\\$company\\$product"
expected=$work/expected
cp -r "$work/source/game" "$expected"
cp -r "$work/source/disc1_extra/data/." "$expected/"
if [ ! -d "$install" ]; then
  fail "no install folder $install"
else
  diff -r -x uninstall.dat "$expected" "$install" || fail "the installed tree differs from the sample"
  if ! diff <(cd "$expected" && find . | LC_ALL=C sort) \
            <(cd "$install" && find . ! -name uninstall.dat | LC_ALL=C sort); then
    fail "the installed tree has other entries than the sample"
  fi
  # uninstall.dat: the 40-byte regkey field of cd1's header (offset 80).
  if ! cmp <(dd if="$disc1/cd1" bs=1 skip=80 count=40 2>/dev/null) "$install/uninstall.dat"; then
    fail "uninstall.dat is not the regkey field"
  fi
  [ "$(stat -c %s "$install/uninstall.dat")" = 40 ] || fail "uninstall.dat is not 40 bytes"
fi

step "registry and shortcuts"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'$regkey
out=$(timeout 60 wine reg query "$key" 2>/dev/null | iconv -f CP950 -t UTF-8 | tr -d '\r')
value() { printf '%s\n' "$out" | sed -n "s/^    $1    REG_SZ    //p"; }
[ "$(value DisplayName)" = "$product" ] || fail "DisplayName is '$(value DisplayName)'"
[ "$(value company)" = "$company" ] || fail "company is '$(value company)'"
[ "$(value path)" = "$install_win" ] || fail "path is '$(value path)'"
[ "$(value UninstallString)" = "\"$install_win\\uninstall.exe\"" ] || fail "UninstallString is '$(value UninstallString)'"

users=$WINEPREFIX/drive_c/users
user=$(ls "$users" | grep -v -x Public | head -n 1)
group="$users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$company/$product"
"$here/check_links.sh" "$group/$uninstall.lnk" "$install_win\\uninstall.exe" "$install_win" "$uninstall" 2 || status=1
"$here/check_links.sh" "$group/$product.lnk" "$install_win\\$exe" "$install_win" "$product" 2 || status=1
"$here/check_links.sh" "$users/$user/Desktop/$product.lnk" "$install_win\\$exe" "$install_win" "$product" 2 || status=1
cmp "$work/source/disc1_extra/官方網頁.url" "$group/官方網頁.url" || fail "官方網頁.url is not in the program group"

# ---- cancel run ---------------------------------------------------------------------
step "cancel run"
rm -rf "$install"
insert "$disc1"
start_setup cancel
e2e_wait_shoot_answer '請選擇安裝路徑' - "the path dialog (cancel run)" Return
if e2e_wait_for 'Next Disc' "the prompt for disc 2 (cancel run)"; then
  prompt=$e2e_window
  before=$(visible_windows '' | sort)
  # The cancel button sits right of the progress dialog: (728, 668), 40 x 30.
  # The progress row is not looked at after this click: under Wine a click
  # on the full-screen window raises it above the progress dialog it owns
  # (on Windows an owned window stays above its owner), so the dialog may
  # be hidden behind the picture from here on. That is Wine's behaviour,
  # not a fault of setup, whose windows stay as they are.
  xdotool mousemove 748 683 click 1
  question=
  for _ in $(seq 100); do
    question=$(comm -13 <(printf '%s\n' "$before") <(visible_windows '' | sort) | head -n 1)
    [ -n "$question" ] && break
    sleep 0.2
  done
  if [ -z "$question" ]; then
    fail "the cancel button asked nothing"
  else
    sleep 1
    shot 4-cancel-question.png
    [ -z "$(xdotool getwindowname "$question")" ] || fail "the cancel question has a caption"
    # Its text, and no caption, as Windows itself holds them.
    list=$(windows)
    printf '%s\n' "$list" >"$artifacts/4-cancel-question-windows.txt"
    printf '%s\n' "$list" | awk -F'\t' '$1 == "#32770" && $2 == ""' | grep -qF '確定取消嗎 ?' ||
      fail "no message box without a caption says 確定取消嗎 ?: $list"
    # Yes is the default answer. The question has no caption to look for:
    # it is answered until that window is no longer visible.
    e2e_answer "$question" Return || fail "the cancel question did not take Return"
    insert "$disc2"
    e2e_shoot_answer "$prompt" - "the disc prompt (cancel run)" Return
  fi
fi
# Wait for setup to end; no success or failure box may appear on the way.
closing_box_after_cancel() {  # window id
  fail "a closing box appeared after the cancel: $(xdotool getwindowname "$1")"
  shot 5-cancel-box.png
}
ends_without '安裝成功|安裝失敗' closing_box_after_cancel "after the cancel"

# ---- failure run ---------------------------------------------------------------------
# Disc 2 is damaged: the engine says so and rolls back, and setup shows the
# failure box between the end of the progress dialog and the end of the
# picture window.
step "failure run"
rm -rf "$install"
insert "$disc1"
start_setup failure
e2e_wait_shoot_answer '請選擇安裝路徑' - "the path dialog (failure run)" Return
if e2e_wait_for 'Next Disc' "the prompt for disc 2 (failure run)"; then
  insert "$disc2_damaged"
  e2e_shoot_answer "$e2e_window" - "the disc prompt (failure run)" Return
  if e2e_wait_for '磁碟錯誤' "the damage box"; then
    list=$(windows)
    printf '%s\n' "$list" | awk -F'\t' '$1 == "#32770" && $2 == "磁碟錯誤!"' | grep -qF '安裝資料損毀' ||
      fail "the damage box does not say 安裝資料損毀: $list"
    e2e_shoot_answer "$e2e_window" - "the damage box" Return
  fi
  if e2e_wait_for '安裝失敗' "the failure box"; then
    failed_box=$e2e_window
    sleep 1
    shot 6-failure.png
    list=$(windows)
    printf '%s\n' "$list" >"$artifacts/6-failure-windows.txt"
    printf '%s\n' "$list" | awk -F'\t' '$1 == "#32770" && $2 == "安裝失敗 !!"' | grep -qF '請重新安裝' ||
      fail "no failure box 安裝失敗 !! that says 請重新安裝: $list"
    # The progress dialog (a captionless dialog without controls) is gone;
    # the picture window (class "setup") is still up.
    if printf '%s\n' "$list" | awk -F'\t' '$1 == "#32770" && $2 == "" && $4 == ""' | grep -q .; then
      fail "the progress dialog is still up while the failure box is shown: $list"
    fi
    printf '%s\n' "$list" | awk -F'\t' '$1 == "setup"' | grep -q . ||
      fail "the picture window is gone before the failure box: $list"
    e2e_answer "$failed_box" Return || fail "the failure box did not take Return"
  fi
fi
success_box_after_damage() { fail "the success box appeared after a damaged disc"; }
ends_without '安裝成功' success_box_after_damage "after the damaged disc"

echo "screenshots in $artifacts"
if [ $status -eq 0 ]; then echo "setup end-to-end: ok"; else echo "setup end-to-end: FAILED"; fi
exit $status
