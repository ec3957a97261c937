#!/usr/bin/env bash
# End-to-end run of uninstall.exe under Wine on a private X server (Xvfb),
# driven with xdotool like a user would:
#
#   1. The sample game is packed with discset (which puts uninstall.exe and
#      its manifest into the set, the data folder listed too) and installed
#      with setup.exe from drive D:, as in setup_e2e.sh.
#   2. The user adds a save file to 存檔 and a note to 資料 (folders the set
#      created) and changes 設定.ini (from the data folder).
#   3. The registry's UninstallString (in quotes) is run with the install
#      folder as the current directory; the question is answered Yes and the
#      closing box is answered. Then: key gone, group folder with its links
#      and 官方網頁.url gone, company folder gone, desktop link gone, the
#      install folder holds only the user's three files (and their folders),
#      uninstall.exe, uninstall.dat and uninstall.lst gone once the copy in
#      the temporary folder has ended, and that copy and its private folder
#      gone too; exit code 0. While it asks, the copy lies alone in a new
#      folder of %TEMP%; files planted under the names the copy once had
#      (uninstall-<pid>-<n>.exe) stay as they were.
#   4. A second install, answered No: nothing changes; exit code 1; its
#      copy had another private folder.
#   5. A damaged manifest: a box says so, nothing changes; exit code 2.
#   6. A third install in which a folder, a file and an empty folder were
#      replaced by links (host symbolic links, which Wine shows as links) to
#      identical copies in C:\外部; two uninstallers started together: the
#      second says one is running and ends with 2, changing nothing; the
#      first, answered Yes, removes the rest: every entry in C:\外部 stays as
#      it was, and so do the links.
#
# Screenshots of the boxes are kept in BUILD_DIR/e2e-artifacts/uninstall-*.
#
#   uninstall_e2e.sh [BUILD_DIR]      (default: build/win64)
set -uo pipefail

. "$(dirname "$0")/lib.sh" "$@"
setup_exe=$build/frontend/setup.exe
discset_exe=$build/tools/discset.exe
uninstall_exe=$build/uninstall/uninstall.exe
e2e_need_files "$setup_exe" "$discset_exe" "$uninstall_exe"
e2e_need_tools "uninstall e2e" Xvfb xdotool import wine wineserver python3 iconv

work=$build/e2e-uninstall
artifacts=$build/e2e-artifacts
rm -rf "$work"
mkdir -p "$artifacts"
rm -f "$artifacts"/uninstall-*.png

company=範例軟體公司 product=許功蓋大冒險 regkey=XuGongGaiAdventure exe=game.exe

prog_pid=
trap 'e2e_cleanup "$prog_pid"' EXIT

e2e_start_xvfb || exit 2

step "Wine prefix"
e2e_wine_prefix "$work/prefix" || exit 2
e2e_cdrom_desktop

step "sample disc set with the uninstaller"
e2e_sample_set "$work" "$discset_exe" \
  --company "$company" --product "$product" --regkey "$regkey" --exe "$exe" \
  --data "$work/source/disc1_extra/data" || exit 1
disc1=$work/discs/disc1 disc2=$work/discs/disc2
insert() { ln -sfn "$1" "$WINEPREFIX/dosdevices/d:"; }

install_sample() {  # label
  insert "$disc1"
  (cd "$disc1" && exec timeout 150 wine "$setup_exe" D: >"$work/setup-$1.log" 2>&1) &
  prog_pid=$!
  e2e_wait_shoot_answer '請選擇安裝路徑' - "the path dialog ($1)" Return || return 1
  e2e_wait_for 'Next Disc' "the prompt for disc 2 ($1)" || return 1
  insert "$disc2"
  e2e_shoot_answer "$e2e_window" - "the disc prompt ($1)" Return
  e2e_wait_shoot_answer '安裝成功' - "the success box ($1)" Return 120 || return 1
  wait "$prog_pid"
  prog_pid=
}

key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'$regkey
query_key() { timeout 60 wine reg query "$key" 2>/dev/null | iconv -f CP950 -t UTF-8 | tr -d '\r'; }
users=$WINEPREFIX/drive_c/users
install="$WINEPREFIX/drive_c/Program Files/$company/$product"
user=$(ls "$users" | grep -v -x Public | head -n 1)
temp=$users/$user/Temp  # %TEMP% under Wine 8; AppData\Local\Temp on Windows
[ -d "$temp" ] || temp=$users/$user/AppData/Local/Temp
# What the runs leave in %TEMP%: private folders, or copies not planted.
temp_copies() {
  find "$temp" -maxdepth 1 -iname 'uninstall-*' ! -name 'uninstall-*-[01].exe' 2>/dev/null
  find "$temp" -maxdepth 1 -name 'uninstall-*-[01].exe' 2>/dev/null | grep -v -x -F -f "$work/planted.txt"
}
# The private folders while a copy runs.
private_folders() { find "$temp" -mindepth 1 -maxdepth 1 -type d -name 'uninstall-*' 2>/dev/null | LC_ALL=C sort; }

# Starts the program that the uninstall entry's command line names in
# quotes, from the install folder.
start_uninstall() {  # label
  command=$(query_key | sed -n 's/^    UninstallString    REG_SZ    //p')
  [ -n "$command" ] || { fail "no UninstallString ($1)"; return 1; }
  case $command in
    \"*\") command=${command:1:${#command}-2} ;;
    *) fail "UninstallString is not in quotes: $command ($1)"; return 1 ;;
  esac
  (cd "$install" && exec timeout 120 wine "$command" >"$work/uninstall-$1.log" 2>&1) &
  prog_pid=$!
}
finish_uninstall() {  # the program's exit status
  local rc
  wait "$prog_pid"
  rc=$?
  prog_pid=
  return $rc
}
# Every file and folder the run could touch, with contents, and the key.
state() {
  local user
  user=$(ls "$users" | grep -v -x Public | head -n 1)
  (cd "$WINEPREFIX/drive_c" && find "Program Files/$company" "users/$user/Desktop" \
    "users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$company" -print0 2>/dev/null |
    LC_ALL=C sort -z | xargs -0 -r md5sum 2>&1 | sed 's/^md5sum: //')
  query_key
}

# ---- install, user files, uninstall with Yes --------------------------------------------
step "install"
install_sample first
[ -f "$install/uninstall.exe" ] && [ -f "$install/uninstall.lst" ] && [ -f "$install/uninstall.dat" ] ||
  fail "the installation has no uninstall.exe, uninstall.lst and uninstall.dat"
values=$(query_key)
for v in "Publisher    REG_SZ    $company" "NoModify    REG_DWORD    0x1" "NoRepair    REG_DWORD    0x1" \
         "EstimatedSize    REG_DWORD    0x" "DisplayIcon    REG_SZ    C:\\Program Files\\$company\\$product\\$exe"; do
  printf '%s\n' "$values" | grep -qF "$v" || fail "the key has no '$v'"
done
user=$(ls "$users" | grep -v -x Public | head -n 1)
group="$users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/$company/$product"
desktop_link="$users/$user/Desktop/$product.lnk"
[ -f "$group/官方網頁.url" ] && [ -f "$desktop_link" ] || fail "setup left no web shortcut or desktop link"

step "the user's files"
printf 'level 3, 120 gold\r\n' >"$install/存檔/第一關.sav"
printf 'my notes\r\n' >"$install/資料/筆記.txt"
printf '[設定]\r\n音量=20\r\n' | iconv -f UTF-8 -t CP950 >"$install/設定.ini"

step "uninstall, answered Yes"
# Files under the names the copy once had in %TEMP%: never run, never changed.
mkdir -p "$temp"
for pid in $(seq 4 4 1024); do
  for n in 0 1; do printf 'planted %s %s\r\n' "$pid" "$n" >"$temp/uninstall-$pid-$n.exe"; done
done
find "$temp" -maxdepth 1 -name 'uninstall-*-[01].exe' | LC_ALL=C sort >"$work/planted.txt"
planted_sums=$(xargs -r md5sum <"$work/planted.txt")
start_uninstall yes
if e2e_wait_for '解除安裝' "the uninstaller's question"; then
  folder_yes=$(private_folders)
  [ "$(printf '%s\n' "$folder_yes" | grep -c .)" = 1 ] || fail "not one private folder in %TEMP% while asking: '$folder_yes'"
  [ "$(ls "$folder_yes" 2>/dev/null)" = uninstall.exe ] || fail "the private folder holds '$(ls "$folder_yes" 2>/dev/null)'"
  e2e_shoot_answer "$e2e_window" uninstall-1-question.png "the question (Yes)" Return
  e2e_wait_shoot_answer '解除安裝' uninstall-2-done.png "the closing box" Return
fi
finish_uninstall
rc=$?
[ $rc -eq 0 ] || fail "uninstall.exe ended with status $rc after Yes"
# The copy in the temporary folder deletes uninstall.exe once the started
# program has ended, then ends itself and its file goes.
for _ in $(seq 100); do
  [ ! -e "$install/uninstall.exe" ] && [ -z "$(temp_copies)" ] && break
  sleep 0.2
done
[ ! -e "$install/uninstall.exe" ] || fail "uninstall.exe is still there"
[ -z "$(temp_copies)" ] || fail "the copy in the temporary folder is left: $(temp_copies)"
[ "$(xargs -r md5sum <"$work/planted.txt")" = "$planted_sums" ] || fail "a file planted under an old name changed"
query_key | grep -q DisplayName && fail "the uninstall key is still there"
[ ! -e "$group" ] || fail "the group folder is still there: $(ls "$group")"
[ ! -e "$(dirname "$group")" ] || fail "the empty company folder in the Programs menu is still there"
[ ! -e "$desktop_link" ] || fail "the desktop link is still there"
left=$(cd "$install" 2>/dev/null && find . | LC_ALL=C sort | tr '\n' ' ')
want=". ./存檔 ./存檔/第一關.sav ./設定.ini ./資料 ./資料/筆記.txt "
[ "$left" = "$want" ] || fail "the install folder holds '$left', not '$want'"
echo "  kept: $left"

# ---- second install, uninstall answered No --------------------------------------------
step "second install, uninstall answered No"
rm -rf "$install"
install_sample second
before=$(state)
start_uninstall no
if e2e_wait_for '解除安裝' "the uninstaller's question (No)"; then
  folder_no=$(private_folders)
  [ -n "$folder_no" ] && [ "$folder_no" != "$folder_yes" ] || fail "the second run's private folder is '$folder_no'"
  e2e_shoot_answer "$e2e_window" - "the question (No)" n
fi
finish_uninstall
rc=$?
[ $rc -eq 1 ] || fail "uninstall.exe ended with status $rc after No, not 1"
sleep 2
[ "$(state)" = "$before" ] || { fail "No changed something"; diff <(printf '%s\n' "$before") <(state) | head; }
[ -z "$(temp_copies)" ] || fail "the copy in the temporary folder is left after No"

# ---- damaged manifest -----------------------------------------------------------------------
step "damaged manifest"
# A line that climbs out of the install folder, before the END line.
python3 - "$install/uninstall.lst" <<'PY'
import sys
p = sys.argv[1]
data = open(p, "rb").read()
at = data.rindex(b"END ")
open(p, "wb").write(data[:at] + b"F 3 00000000 ..\\..\\outside.txt\r\n" + data[at:])
PY
before=$(state)
start_uninstall damaged
e2e_wait_shoot_answer '解除安裝' uninstall-3-damaged.png "the box for the damaged manifest" Return
finish_uninstall
rc=$?
[ $rc -eq 2 ] || fail "uninstall.exe ended with status $rc on a damaged manifest, not 2"
sleep 2
[ "$(state)" = "$before" ] || { fail "the damaged manifest changed something"; diff <(printf '%s\n' "$before") <(state) | head; }

# ---- links to copies outside, two uninstallers at once ----------------------------------
step "third install, links to copies outside the install folder"
rm -rf "$install"
install_sample third
outside=$WINEPREFIX/drive_c/外部
rm -rf "$outside"
mkdir -p "$outside/空的"
plant_link() {  # path inside the install folder, its copy's name in C:\外部
  cp -a "$install/$1" "$outside/$2" && rm -rf "${install:?}/$1" && ln -s "$outside/$2" "$install/$1" ||
    fail "cannot plant the link $1"
}
plant_link 資料/地圖 地圖
plant_link 說明.txt 說明.txt
rmdir "$install/許功蓋/空" && ln -s "$outside/空的" "$install/許功蓋/空" || fail "cannot plant the link 許功蓋/空"
outside_state() {
  (cd "$outside" && find . | LC_ALL=C sort && find . -type f -print0 | LC_ALL=C sort -z | xargs -0 -r md5sum)
}
outside_before=$(outside_state)
echo "  $(cd "$outside" && find . -mindepth 1 | wc -l) entries in C:\外部"

step "two uninstallers at once, then Yes"
start_uninstall links
first_pid=$prog_pid
if e2e_wait_for '解除安裝' "the first uninstaller's question"; then
  box=$e2e_window
  before=$(state)
  (cd "$install" && exec timeout 120 wine "$command" >"$work/uninstall-second.log" 2>&1) &
  second_pid=$!
  second_box=
  for _ in $(seq 300); do
    second_box=$(visible_windows '解除安裝' | grep -v -x "$box" | head -n 1)
    [ -n "$second_box" ] && break
    sleep 0.2
  done
  if [ -z "$second_box" ]; then
    fail "no box from the second uninstaller"
  else
    e2e_shoot_answer "$second_box" uninstall-4-second-run.png "the second run's box" Return
  fi
  wait "$second_pid"
  rc=$?
  [ $rc -eq 2 ] || fail "the second uninstaller ended with status $rc, not 2"
  [ "$(state)" = "$before" ] || { fail "the second uninstaller changed something"; diff <(printf '%s\n' "$before") <(state) | head; }
  e2e_answer "$box" Return || fail "the question (Yes, links) did not take Return"
  e2e_wait_shoot_answer '解除安裝' uninstall-5-links-kept.png "the closing box (links)" Return
fi
prog_pid=$first_pid
finish_uninstall
rc=$?
[ $rc -eq 0 ] || fail "uninstall.exe ended with status $rc with links inside"
timeout 60 wineserver -w
[ "$(outside_state)" = "$outside_before" ] ||
  { fail "an entry outside the install folder changed"; diff <(printf '%s\n' "$outside_before") <(outside_state) | head; }
for l in 資料/地圖 說明.txt 許功蓋/空; do [ -L "$install/$l" ] || fail "the link $l is gone"; done
query_key | grep -q DisplayName && fail "the uninstall key is still there (links)"
[ ! -e "$install/game.exe" ] || fail "game.exe, not behind a link, is still there"
[ -z "$(temp_copies)" ] || fail "left in the temporary folder: $(temp_copies)"

echo "screenshots in $artifacts (uninstall-*.png)"
if [ $status -eq 0 ]; then echo "uninstall end-to-end: ok"; else echo "uninstall end-to-end: FAILED"; fi
exit $status
