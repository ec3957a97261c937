#!/usr/bin/env bash
# Makes a fresh Wine prefix in PREFIX for a test run (the test fixture
# wine_prefix): code page 950, no debug output, no desktop entries for
# shortcuts, and a home folder inside the prefix, since Wine links the
# prefix's Desktop to $HOME: the tests' shortcuts stay inside it.
#
#   wine-prefix.sh PREFIX
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
export WINEPREFIX=$prefix
if [ -d "$prefix" ]; then
  timeout 30 wineserver -k >/dev/null 2>&1 || true
  rm -rf "$prefix"
fi
mkdir -p "$prefix/home"
export HOME=$prefix/home LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8 WINEDEBUG=-all WINEARCH=win64
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
timeout 240 wineboot -i >/dev/null 2>&1
timeout 60 wineserver -w
[ -f "$prefix/system.reg" ] || { echo "wineboot made no prefix in $prefix" >&2; exit 1; }
echo "Wine prefix ready in $prefix"
