#!/usr/bin/env bash
# Runs a Windows program under Wine with the settings every test run uses:
# code page 950, no debug chatter, no desktop entries for shortcuts.
# WINEPREFIX may be set by the caller (a fresh one per test run); otherwise a
# prefix beside the build is made once.
set -euo pipefail
export LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win64
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="${TMPDIR:-/tmp}/discinstall-wine-$(id -u)"
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$WINEPREFIX/home"
  # Wine links the prefix's desktop to $HOME when it makes the prefix: keep
  # it inside the prefix, so shortcuts never land in the real home folder.
  HOME="$WINEPREFIX/home" wineboot -i >/dev/null 2>&1 || true
fi
exec wine "$@"
