#!/usr/bin/env bash
# The code-page warning of setup.exe, launcher.exe and uninstall.exe under
# Wine on a private X server. LANG=en_US.UTF-8 gives code page 1252, and
# zh_TW.UTF-8 gives 950.
#
#   1. 1252, launcher (no disc): the first box is "語言設定 Language setting",
#      its text (read with window_list.exe, which reads it in UTF-16) names
#      the Windows setting in Chinese and in English; OK goes on to the
#      launcher's own "Warning" box (No ends it).
#   2. 1252, setup.exe D: (no disc in D:): the same box with Yes and No;
#      No ends setup at once with exit code 0, no other window shown.
#   3. 1252, uninstall.exe: the same box with OK (the uninstaller then says
#      that its install folder holds no uninstall.dat; the run is ended).
#   4. 950, launcher (no disc): the first box is "Warning": no warning.
#
#   codepage_e2e.sh [BUILD_DIR]      (default: build/win64)
set -uo pipefail

. "$(dirname "$0")/lib.sh" "$@"
launcher=$build/launcher/launcher.exe
setup_exe=$build/frontend/setup.exe
uninstall_exe=$build/uninstall/uninstall.exe
window_list=$build/tests/frontend/window_list.exe
e2e_need_files "$launcher" "$setup_exe" "$uninstall_exe" "$window_list"
e2e_need_tools "code page e2e" Xvfb xdotool import wine wineserver

work=$build/e2e-codepage
artifacts=$build/e2e-artifacts
rm -rf "$work"
mkdir -p "$artifacts" "$work"
rm -f "$artifacts"/codepage-*
prog_pid=
trap 'e2e_cleanup "$prog_pid"' EXIT

e2e_start_xvfb || exit 2
step "Wine prefix"
e2e_wine_prefix "$work/prefix" || exit 2
e2e_cdrom_desktop
mkdir -p "$work/empty"
ln -sfn "$work/empty" "$WINEPREFIX/dosdevices/d:"

caption='語言設定 Language setting'
# start LANG PROGRAM ARGS...: the program in the background, in $work/empty.
start() {
  local lang=$1
  shift
  (cd "$work/empty" && LANG=$lang LC_ALL=$lang exec timeout 60 wine "$@" >/dev/null 2>&1) &
  prog_pid=$!
}
# first_box: the title of the first visible window (30 s at most).
first_box() {
  local id
  id=$(wait_window '.' 30) && [ -n "$id" ] && xdotool getwindowname "$id"
}
# check_warning LABEL BUTTONS: the box's texts, a screenshot, and its text
# says what it must (in both languages) with those buttons.
check_warning() {
  local list=$artifacts/codepage-$1.txt
  shot "codepage-$1.png"
  timeout 30 wine "$window_list" 2>/dev/null | tr -d '\r' >"$list"
  local part
  for part in "「非 Unicode 程式的語言」設為「中文 (繁體,台灣)」" 亂碼 \
    '"Language for non-Unicode programs" to Chinese (Traditional, Taiwan)' garbled "$2"; do
    grep -qF "$part" "$list" || fail "$1: the warning lacks '$part'"
  done
}
# ends PID SECONDS: the program ended in time; its exit status in rc.
ends() {
  local i
  for i in $(seq "$((${2} * 5))"); do
    kill -0 "$1" 2>/dev/null || { wait "$1"; rc=$?; return 0; }
    sleep 0.2
  done
  rc=124
  return 1
}

step "1. code page 1252: launcher"
start en_US.UTF-8 "$launcher"
title=$(first_box)
if [ "$title" = "$caption" ]; then
  check_warning launcher 'OK'
  e2e_answer "$(wait_window "^$caption\$")" Return || fail "launcher: the warning did not take Enter"
  box=$(wait_window '^Warning$' 30)
  [ -n "$box" ] || fail "launcher: no disc question after the warning"
  [ -n "$box" ] && { e2e_answer "$box" n || fail "launcher: the disc question did not take n"; }
else
  fail "launcher: the first box is '$title', not the warning"
fi
ends "$prog_pid" 30 || fail "launcher did not end"
prog_pid=

step "2. code page 1252: setup, answered No"
start en_US.UTF-8 "$setup_exe" D:
title=$(first_box)
if [ "$title" = "$caption" ]; then
  check_warning setup 'Continue the installation anyway?'
  e2e_answer "$(wait_window "^$caption\$")" n || fail "setup: the warning did not take n"
  ends "$prog_pid" 20 || fail "setup did not end after No"
  [ "$rc" = 0 ] || fail "setup ended with $rc after No"
  others=$(xdotool search --onlyvisible --name '.' 2>/dev/null | wc -l)
  [ "$others" -eq 0 ] || fail "setup left $others window(s) after No"
else
  fail "setup: the first box is '$title', not the warning"
fi
wineserver -k >/dev/null 2>&1
prog_pid=

step "3. code page 1252: uninstaller"
mkdir -p "$WINEPREFIX/drive_c/Game"
cp "$uninstall_exe" "$WINEPREFIX/drive_c/Game/uninstall.exe"
start en_US.UTF-8 "$WINEPREFIX/drive_c/Game/uninstall.exe"
title=$(first_box)
if [ "$title" = "$caption" ]; then
  check_warning uninstall 'OK'
else
  fail "uninstall: the first box is '$title', not the warning"
fi
wineserver -k >/dev/null 2>&1
prog_pid=

step "4. code page 950: launcher"
start zh_TW.UTF-8 "$launcher"
title=$(first_box)
[ "$title" = Warning ] || fail "under code page 950 the first box is '$title', not the disc question"
shot codepage-950-launcher.png
wineserver -k >/dev/null 2>&1
prog_pid=

if [ $status -eq 0 ]; then echo "code page end-to-end: ok"; else echo "code page end-to-end: FAILED ($failures)"; fi
exit $status
