#!/usr/bin/env bash
# Checks one shell link file independently of the shell that wrote it:
# lnkinfo parses the target, working directory and description (code page
# 950 strings), and the show command is read from the file itself, a 32-bit
# little-endian value at byte 60 of the link header (lnkinfo's own "Show
# Window value" line is not to be trusted there).
#
#   check_links.sh LINK_FILE TARGET WORKDIR DESCRIPTION SHOW_COMMAND
#
# Texts are given in UTF-8 as Windows paths (C:\...). Exit status 0 when
# everything matches; otherwise every mismatch is printed and the status is 1.
set -uo pipefail

if [ $# -ne 5 ]; then
  echo "usage: $0 LINK_FILE TARGET WORKDIR DESCRIPTION SHOW_COMMAND" >&2
  exit 2
fi
link=$1 want_target=$2 want_workdir=$3 want_description=$4 want_show=$5

if [ ! -f "$link" ]; then
  echo "FAIL: no link file $link"
  exit 1
fi

# The header starts with its size, 0x4C, and the link class id.
magic=$(od -A n -t x1 -N 20 "$link" | tr -d ' \n')
if [ "$magic" != "4c0000000114020000000000c000000000000046" ]; then
  echo "FAIL: $link is not a shell link (header $magic)"
  exit 1
fi

info=$(lnkinfo -c windows-950 "$link" 2>&1) || { echo "FAIL: lnkinfo cannot read $link"; echo "$info"; exit 1; }
field() {
  printf '%s\n' "$info" | sed -n "s/^\t$1[[:space:]]*: //p" | head -n 1
}

status=0
expect() {
  if [ "$2" != "$3" ]; then
    echo "FAIL: $link: $1 is '$2', expected '$3'"
    status=1
  fi
}
expect "target" "$(field 'Local path')" "$want_target"
expect "working directory" "$(field 'Working directory')" "$want_workdir"
expect "description" "$(field 'Description')" "$want_description"
show=$(od -A n -t u4 -j 60 -N 4 --endian=little "$link" | tr -d ' ')
expect "show command" "$show" "$want_show"
[ $status -eq 0 ] && echo "ok: $link"
exit $status
