#!/usr/bin/env bash
# End-to-end check of registration under Wine, read back with tools that do
# not share Wine's link code: registration_child.exe (from the win64 build)
# registers an installation with Big5 names in a Wine prefix of its own
# (tests/e2e/lib.sh: a copy of the run's prepared prefix); then the
# uninstall values are read with `wine reg query` and every link file with
# check_links.sh (lnkinfo and the link header). A second registration over
# the same key must overwrite the values and replace the links; one with the
# desktop flag 0 must make no desktop link.
#
#   check_registration.sh [BUILD_DIR]     (default: build/win64)
set -uo pipefail

. "$(dirname "$0")/lib.sh" "$@"
child=$build/tests/engine/registration_child.exe
e2e_need_files "$child"

e2e_wine_prefix "$build/e2e-registration/prefix" || exit 2
trap 'e2e_stop_wine; rm -rf "$build/e2e-registration"' EXIT
run() { "$repo/scripts/wine-run.sh" "$@"; }

company=星河軟體 product=許功蓋傳奇 exe=game.exe regkey=XuGameE2E uninstall=解除安裝
register() {  # install path, desktop flag
  run "$child" "$1" "$company" "$product" "$exe" "$regkey" "$uninstall" "$2" || fail "registration_child exited with $?"
}

users=$WINEPREFIX/drive_c/users
check_all() {  # install path, whether the desktop link must exist
  local install=$1 want_desktop=$2
  local user
  user=$(ls "$users" 2>/dev/null | grep -v -x Public | head -n 1)
  local programs="$users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs"
  local group="$programs/$company/$product" desktop="$users/$user/Desktop"

  # Values: Big5 on the console, as the registry holds them.
  local key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\'$regkey
  local out
  out=$(run reg query "$key" 2>/dev/null | iconv -f CP950 -t UTF-8 | tr -d '\r') || fail "cannot query $key"
  value() { printf '%s\n' "$out" | sed -n "s/^    $1    REG_SZ    //p"; }
  [ "$(value DisplayName)" = "$product" ] || fail "DisplayName is '$(value DisplayName)'"
  [ "$(value company)" = "$company" ] || fail "company is '$(value company)'"
  [ "$(value path)" = "$install" ] || fail "path is '$(value path)'"
  [ "$(value UninstallString)" = "\"$install\\uninstall.exe\"" ] || fail "UninstallString is '$(value UninstallString)'"

  "$here/check_links.sh" "$group/$uninstall.lnk" "$install\\uninstall.exe" "$install" "$uninstall" 2 || status=1
  "$here/check_links.sh" "$group/$product.lnk" "$install\\$exe" "$install" "$product" 2 || status=1
  if [ "$want_desktop" = 1 ]; then
    "$here/check_links.sh" "$desktop/$product.lnk" "$install\\$exe" "$install" "$product" 2 || status=1
  elif [ -e "$desktop/$product.lnk" ]; then
    fail "a desktop link was made with the desktop flag 0"
  fi
}

register 'C:\Program Files\星河軟體\許功蓋傳奇' 1
check_all 'C:\Program Files\星河軟體\許功蓋傳奇' 1

# Again over the same key, from another folder: values and links follow.
register 'D:\Games\許功蓋' 1
check_all 'D:\Games\許功蓋' 1

# The desktop flag 0, after removing the desktop link.
user=$(ls "$users" | grep -v -x Public | head -n 1)
rm -f "$users/$user/Desktop/$product.lnk"
register 'C:\Game' 0
check_all 'C:\Game' 0

if [ $status -eq 0 ]; then echo "registration end-to-end: ok"; else echo "registration end-to-end: FAILED"; fi
exit $status
