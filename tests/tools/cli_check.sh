# Sourced by the command-line test scripts: a scratch folder that goes at
# the end, and check WHAT CONDITION..., which prints ok/FAILED per check and
# counts the failures for cli_check_end.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
check() {  # check WHAT CONDITION...
  local what=$1; shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# The summary line, and the script's status: non-zero when any check failed.
cli_check_end() {
  echo "$failures failure(s)"
  [ "$failures" -eq 0 ]
}
# layout_inputs: what the layout and image tests pack, in $work: a small
# game in $game (a Big5 folder, an incompressible file of 700000 bytes),
# stand-ins for setup.exe and launcher.exe, the web shortcut site.url and a
# data folder with 設定.ini. Each test adds its pictures.
layout_inputs() {
  game=$work/game
  mkdir -p "$game/許功蓋" "$work/data/存檔" "$work/pics"
  printf 'MZ' >"$game/game.exe"
  python3 -c 'import random, sys; sys.stdout.buffer.write(random.Random(7).randbytes(700000))' >"$game/許功蓋/big.bin"
  printf 'MZ setup' >"$work/setup.exe"
  printf 'MZ launcher' >"$work/launcher.exe"
  printf '[InternetShortcut]\r\nURL=http://example.com/\r\n' >"$work/site.url"
  printf '[設定]\r\n' >"$work/data/設定.ini"
}
