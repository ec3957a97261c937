#!/usr/bin/env bash
# Runs a Windows program under Wine with the settings every test run uses:
# code page 950, no debug chatter, no desktop entries for shortcuts.
# WINEPREFIX is set by the caller (ctest gives every test the run's prefix,
# the fixture wine_prefix); otherwise a prefix in the repository's build
# folder is made once.
set -euo pipefail
export LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
export WINEARCH=win64
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX="$(cd "$(dirname "$0")/.." && pwd)/build/wineprefix"
  export WINEPREFIX
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  bash "$(dirname "$0")/wine-prefix.sh" "$WINEPREFIX" >/dev/null
fi
exec wine "$@"
