#!/usr/bin/env bash
# End-to-end check of launcher.exe under Wine. In a prefix of its own
# (tests/e2e/lib.sh: a copy of the run's prepared prefix), E: is a
# CD-ROM drive (a linked folder, typed "cdrom" in the registry) and D: a hard
# disk whose root holds cd1 as well, which must be passed over. A stand-in
# setup.exe (fake_setup.exe from the tests) beside the launcher records the
# command line it receives, WinMain's argument and its current directory.
#
#   1. Started in C:\Games\Setup with the disc in E: -> "C:\Games\Setup\setup.exe E:",
#      argument "E:", current directory on E:.
#   2. Started in C:\遊戲\許功蓋 (Big5 characters, the last three with the
#      second byte 0x5C) -> the program path quoted, argument "E:"; unquoted,
#      setup's start-up code would cut its argument at the first Big5 byte.
#      Started in C:\Program Files\Korvane -> quoted as well (Wine quotes a
#      name with blanks by itself, so this one checks the result only).
#   3. Started in the root D:\ -> "D:\setup.exe E:".
#   4. No disc and no display: the box cannot be shown, the launcher ends at
#      once and starts nothing.
#   5. No disc, on Xvfb: the box "Warning" appears; Yes with the disc still
#      missing asks again; the disc goes in, Yes -> setup starts.
#   6. No disc, on Xvfb: No -> the launcher ends with 0, nothing started.
#   7. Started in a folder without setup.exe: the setup.exe beside the
#      launcher is started ("C:\Games\Setup\setup.exe E:").
#   8. No setup.exe there either: a box "Warning" names setup's command line
#      and the reason (file not found); read with window_list.exe.
#
#   launcher_e2e.sh [BUILD_DIR]     (the win64 build; default: build/win64)
# Every wait is bounded; the whole run takes well under two minutes.
set -uo pipefail

. "$(dirname "$0")/lib.sh" "$@"
launcher=$build/launcher/launcher.exe
fake=$build/tests/launcher/fake_setup.exe
window_list=$build/tests/frontend/window_list.exe
e2e_need_files "$launcher" "$fake" "$window_list"
e2e_need_tools "launcher e2e" Xvfb xdotool xwininfo iconv

# The prefix is made before the watchdog starts: copying it is not part of
# the launcher's time.
e2e_wine_prefix "$build/e2e-launcher/prefix" || exit 2
work=$WINEPREFIX/host   # the linked drives' folders
watchdog_pid=
cleanup() {
  [ -n "$watchdog_pid" ] && kill "$watchdog_pid" 2>/dev/null
  e2e_stop_wine
  e2e_stop_xvfb
  rm -rf "$build/e2e-launcher"
}
trap cleanup EXIT
trap 'exit 1' TERM
# A last guard: whatever hangs, the script ends. Ending the prefix's Wine
# server ends every program in it, so the step that waits returns. Its
# sleep writes nowhere: the clean-up ends the guard but not the sleep, and a
# sleep holding the script's output open kept ctest waiting for all of its
# 110 s after the script had ended.
( sleep 150 >/dev/null 2>&1 </dev/null; echo "launcher end-to-end: took too long, stopped" >&2
  timeout 20 wineserver -k >/dev/null 2>&1; kill -TERM $$ ) &
watchdog_pid=$!

wine_run() { "$repo/scripts/wine-run.sh" "$@"; }

# --- The prefix and its drives ------------------------------------------------
disc=$work/disc harddisk=$work/harddisk
mkdir -p "$disc" "$harddisk"
: >"$harddisk/cd1"
ln -sfn "$disc" "$WINEPREFIX/dosdevices/e:"
ln -sfn "$harddisk" "$WINEPREFIX/dosdevices/d:"
timeout 30 wine reg add 'HKLM\Software\Wine\Drives' /v e: /t REG_SZ /d cdrom /f >/dev/null 2>&1 || fail "reg add e:"
timeout 30 wine reg add 'HKLM\Software\Wine\Drives' /v d: /t REG_SZ /d hd /f >/dev/null 2>&1 || fail "reg add d:"
# Drive types are read when the server starts.
timeout 30 wineserver -k >/dev/null 2>&1

# place HOSTDIR: the launcher and the stand-in setup.exe into a folder.
place() {
  mkdir -p "$1"
  cp "$launcher" "$1/launcher.exe"
  cp "$fake" "$1/setup.exe"
  rm -f "$1/setup_record.txt"
}

# run_launcher HOSTDIR: starts the launcher with that folder current (Wine
# takes the current directory from the host's) and checks its exit code.
run_launcher() {
  local rc
  (cd "$1" && timeout 30 "$repo/scripts/wine-run.sh" launcher.exe)
  rc=$?
  [ $rc -eq 0 ] && return 0
  fail "launcher in $1 exited with $rc"
  return 1
}

# wait_record HOSTDIR: the record of the stand-in setup.exe (at most 20 s).
wait_record() {
  local i
  for i in $(seq 100); do
    [ -f "$1/setup_record.txt" ] && return 0
    sleep 0.2
  done
  return 1
}

# check_started HOSTDIR COMMAND_LINE: setup ran with that command line (UTF-8),
# the argument E: and its current directory on E:.
check_started() {
  local dir=$1 want=$2 lines
  if ! wait_record "$dir"; then
    fail "setup.exe was not started from $dir"
    return
  fi
  mapfile -t lines < <(iconv -f CP950 -t UTF-8 "$dir/setup_record.txt")
  [ "${lines[0]-}" = "$want" ] || fail "command line is '${lines[0]-}', expected '$want'"
  [ "${lines[1]-}" = "E:" ] || fail "setup's argument is '${lines[1]-}', expected 'E:'"
  case "${lines[2]-}" in
    E:\\*) ;;
    *) fail "setup's current directory is '${lines[2]-}', expected one on E:" ;;
  esac
}

# check_not_started HOSTDIR: nothing recorded, even a little after the end.
check_not_started() {
  sleep 2
  [ ! -e "$1/setup_record.txt" ] || fail "setup.exe was started from $1: $(cat "$1/setup_record.txt")"
}

# --- 1 to 3: the disc is in E: ---------------------------------------------------
: >"$disc/cd1"
games=$WINEPREFIX/drive_c/Games/Setup
place "$games"
run_launcher "$games"
check_started "$games" 'C:\Games\Setup\setup.exe E:'

big5dir="$WINEPREFIX/drive_c/遊戲/許功蓋"
place "$big5dir"
run_launcher "$big5dir"
check_started "$big5dir" '"C:\遊戲\許功蓋\setup.exe" E:'

blankdir="$WINEPREFIX/drive_c/Program Files/Korvane"
place "$blankdir"
run_launcher "$blankdir"
check_started "$blankdir" '"C:\Program Files\Korvane\setup.exe" E:'

place "$harddisk"
run_launcher "$harddisk"
check_started "$harddisk" 'D:\setup.exe E:'
rm -f "$harddisk/launcher.exe" "$harddisk/setup.exe" "$harddisk/setup_record.txt"

# --- 4: no disc, no display ------------------------------------------------------
rm -f "$disc/cd1"
place "$games"
start=$SECONDS
(unset DISPLAY; run_launcher "$games") || status=1
[ $((SECONDS - start)) -le 20 ] || fail "without a display the launcher took $((SECONDS - start)) s"
check_not_started "$games"

# --- 5 and 6: the question on a virtual display -------------------------------
e2e_start_xvfb || { fail "no X server"; exit 1; }
display=$DISPLAY
for i in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done
xwininfo -root >/dev/null 2>&1 || { fail "Xvfb did not start on $display"; exit 1; }
shots=$build/tests/launcher/e2e
mkdir -p "$shots"

# answer KEY [SHOT [ACTION]]: waits (at most 20 s) for the box "Warning",
# keeps a screenshot if named, runs ACTION while the box is up, presses KEY (y
# or n, the buttons' accelerators) and waits until that box is gone.
answer() {
  local id
  id=$(wait_window '^Warning$' 20)
  if [ -z "$id" ]; then
    fail "no message box 'Warning' appeared"
    return 1
  fi
  [ -n "${2:-}" ] && import -display "$display" -window root "$shots/$2" >/dev/null 2>&1
  [ -n "${3:-}" ] && "$3"
  xdotool windowfocus --sync "$id" >/dev/null 2>&1
  xdotool key "$1"
  local i
  for i in $(seq 100); do
    xwininfo -id "$id" 2>/dev/null | grep -q 'IsViewable' || return 0
    sleep 0.1
  done
  fail "the box stayed after pressing $1"
  return 1
}

# 5: Yes without the disc asks again; the disc goes in while the second box
# is up, and Yes starts setup.
insert_disc() { : >"$disc/cd1"; }
place "$games"
run_launcher "$games" &
pid=$!
answer y insert-disc-box.png && answer y '' insert_disc
wait "$pid" || status=1
check_started "$games" 'C:\Games\Setup\setup.exe E:'

# 6: No ends the launcher; nothing is started.
rm -f "$disc/cd1"
place "$games"
run_launcher "$games" &
pid=$!
answer n
wait "$pid" || status=1
check_not_started "$games"

# 7: the starting folder has no setup.exe; the launcher's own folder has.
: >"$disc/cd1"
elsewhere=$WINEPREFIX/drive_c/Elsewhere
mkdir -p "$elsewhere"
place "$games"
(cd "$elsewhere" && timeout 30 "$repo/scripts/wine-run.sh" "$games/launcher.exe") || fail "launcher from C:\Elsewhere failed"
check_started "$games" 'C:\Games\Setup\setup.exe E:'

# 8: no setup.exe anywhere: the box says which command failed and why.
lonely=$WINEPREFIX/drive_c/Lonely
mkdir -p "$lonely"
cp "$launcher" "$lonely/launcher.exe"
run_launcher "$lonely" &
pid=$!
# The box's texts (window_list.exe: every visible window with its texts).
read_box() { timeout 30 wine "$window_list" 2>/dev/null | tr -d '\r' >"$shots/cannot-start.txt"; }
answer Return cannot-start-box.png read_box
wait "$pid" || status=1
grep -qF '(Setup could not be started):' "$shots/cannot-start.txt" &&
  grep -qF 'C:\Lonely\setup.exe E:' "$shots/cannot-start.txt" &&
  grep -qF '(file not found)' "$shots/cannot-start.txt" ||
  fail "the box does not name the command and the reason: $(cat "$shots/cannot-start.txt")"

if [ $status -eq 0 ]; then echo "launcher end-to-end: ok"; else echo "launcher end-to-end: FAILED"; fi
exit $status
