#!/usr/bin/env bash
# The code-page warning under Wine on a private X server: LANG=en_US.UTF-8
# gives code page 1252, zh_TW.UTF-8 gives 950. Under 1252 each program's
# first window is the box "語言設定 Language setting", its text (read in
# UTF-16 by window_list.exe) naming the Windows setting in Chinese and
# English: the launcher's and the uninstaller's with OK, setup's with Yes
# and No, and No ends setup at once (exit 0, no window left). Under 950 the
# launcher's first box is its disc question ("Warning").
#   codepage_e2e.sh [BUILD_DIR]      (default: build/win64)
set -uo pipefail
. "$(dirname "$0")/lib.sh" "$@"
window_list=$build/tests/frontend/window_list.exe
e2e_need_files "$build/launcher/launcher.exe" "$build/frontend/setup.exe" "$build/uninstall/uninstall.exe" "$window_list"
e2e_need_tools "code page e2e" Xvfb xdotool import wine wineserver
work=$build/e2e-codepage artifacts=$build/e2e-artifacts
rm -rf "$work" "$artifacts"/codepage-*
mkdir -p "$artifacts" "$work/empty"
prog_pid=
trap 'e2e_cleanup "$prog_pid"' EXIT
e2e_start_xvfb || exit 2
e2e_wine_prefix "$work/prefix" || exit 2
e2e_cdrom_desktop
ln -sfn "$work/empty" "$WINEPREFIX/dosdevices/d:"  # no disc in D:
cp "$build/uninstall/uninstall.exe" "$work/empty/"
caption='語言設定 Language setting'

# run LANG FIRST_WINDOW LABEL PROGRAM ARGS...: the program's first window
# must be FIRST_WINDOW; its texts are kept in codepage-LABEL.txt.
run() {
  local lang=$1 want=$2 label=$3 id title
  shift 3
  (cd "$work/empty" && LANG=$lang LC_ALL=$lang exec timeout 60 wine "$@" >/dev/null 2>&1) &
  prog_pid=$!
  id=$(wait_window '.' 30)
  title=$([ -n "$id" ] && xdotool getwindowname "$id")
  [ "$title" = "$want" ] || { fail "$label: the first window is '$title', not '$want'"; return 1; }
  shot "codepage-$label.png"
  timeout 30 wine "$window_list" 2>/dev/null | tr -d '\r' >"$artifacts/codepage-$label.txt"
  box=$id
}
# warned LABEL BUTTON: the warning says what it must, with that button.
warned() {
  local part
  for part in "「非 Unicode 程式的語言」設為「中文 (繁體,台灣)」" 亂碼 garbled "$2" \
    '"Language for non-Unicode programs" to Chinese (Traditional, Taiwan)'; do
    grep -qF "$part" "$artifacts/codepage-$1.txt" || fail "$1: the warning lacks '$part'"
  done
}
stop() { wineserver -k >/dev/null 2>&1; wait "$prog_pid" 2>/dev/null; prog_pid=; }

step "code page 1252"
run en_US.UTF-8 "$caption" launcher "$build/launcher/launcher.exe" && warned launcher OK
stop
run en_US.UTF-8 "$caption" uninstall "$work/empty/uninstall.exe" && warned uninstall OK
stop
if run en_US.UTF-8 "$caption" setup "$build/frontend/setup.exe" D:; then
  warned setup 'Continue the installation anyway?'
  e2e_answer "$box" n || fail "setup: the warning did not take n"
  for _ in $(seq 50); do kill -0 "$prog_pid" 2>/dev/null || break; sleep 0.2; done
  wait "$prog_pid"
  rc=$? prog_pid=
  [ "$rc" = 0 ] || fail "setup ended with $rc after No"
  [ -z "$(visible_windows '.')" ] || fail "setup left a window after No"
fi
stop
step "code page 950"
run zh_TW.UTF-8 Warning launcher-950 "$build/launcher/launcher.exe"
stop

if [ $status -eq 0 ]; then echo "code page end-to-end: ok"; else echo "code page end-to-end: FAILED ($failures)"; fi
exit $status
