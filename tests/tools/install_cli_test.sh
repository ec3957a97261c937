#!/usr/bin/env bash
# The toolkit installed like any Linux tool: `cmake --install` into a
# scratch prefix, then the installed programs run from another folder:
# --help, pack --layout finding the Windows programs in the prefix with no
# option given, extract; the installed man pages render and man finds them;
# the completion scripts load in bash and complete. With the win32 build
# there, its zip too (cpack -G ZIP).
#     install_cli_test.sh BUILD_DIR [WIN32_BUILD_DIR]
set -uo pipefail
build=$1 win32=${2:-}
. "$(dirname "$0")/cli_check.sh"
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1
check "cmake --install into a scratch prefix exits 0" test $? -eq 0
for f in bin/discset bin/apkg share/man/man1/discset.1.gz share/man/man1/apkg.1.gz \
         share/bash-completion/completions/discset share/bash-completion/completions/apkg \
         share/doc/discset/copyright share/doc/discset/changelog.gz; do
  check "the install holds $f" test -s "$prefix/$f"
done

mkdir -p "$work/elsewhere"
cd "$work/elsewhere" || exit 1
export PATH="$prefix/bin:$PATH"
discset --help >help.out 2>&1
check "the installed discset --help exits 0 from another folder" test $? -eq 0
check "its --help names the commands" grep -q 'extract' help.out
apkg --help >/dev/null 2>&1
check "the installed apkg --help exits 0" test $? -eq 0

# pack --layout with no program named: the installed discset takes the
# Windows programs from PREFIX/share/discset/windows, by its own location.
windows=$prefix/share/discset/windows
if [ -f "$windows/setup.exe" ] && [ -f "$windows/launcher.exe" ] && [ -f "$windows/uninstall.exe" ]; then
  echo "the install carries the win32 build's setup.exe, launcher.exe and uninstall.exe"
  check "the installed setup.exe is a Windows program" test "$(head -c 2 "$windows/setup.exe")" = MZ
else
  echo "SKIPPED: no win32 build (build/win32) to install the Windows programs from;" \
       "stand-ins put where the install puts them test the lookup alone"
  # CMake wraps the warning's lines: read it as one line.
  check "the install says the Windows programs are missing" \
    grep -q 'setup.exe is missing' <<<"$(tr -s ' \n' '  ' <"$work/install.log")"
  mkdir -p "$windows"
  for p in setup launcher uninstall; do printf 'MZ %s stand-in' $p >"$windows/$p.exe"; done
fi
mkdir -p game/存檔
printf 'MZ game' >game/game.exe
printf 'slot 1' >game/存檔/slot1.dat
discset pack game -o set --company 公司 --product 遊戲 --regkey Game --exe game.exe --layout >pack.out 2>&1
check "the installed pack --layout with no program named exits 0" test $? -eq 0
check "pack took setup.exe and launcher.exe from the install" \
  grep -qF "setup.exe $windows/setup.exe, launcher.exe $windows/launcher.exe" pack.out
check "pack took uninstall.exe from the install" grep -qF "uninstaller $windows/uninstall.exe" pack.out
check "disc 1 holds the installed setup.exe" cmp -s set/disc1/setup.exe "$windows/setup.exe"
check "disc 1 holds the installed launcher.exe" cmp -s set/disc1/launcher.exe "$windows/launcher.exe"
discset extract set/disc1 -o out --no-prompt >extract.out 2>&1
check "the installed extract exits 0" test $? -eq 0
check "extract gives the game back" cmp -s out/存檔/slot1.dat game/存檔/slot1.dat
check "extract installs the uninstaller pack put in" cmp -s out/uninstall.exe "$windows/uninstall.exe"

for page in discset apkg; do
  check "man finds $page(1) in the prefix" \
    test "$(man --manpath="$prefix/share/man" -w $page 2>/dev/null)" = "$prefix/share/man/man1/$page.1.gz"
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$prefix/share/man/man1/$page.1.gz" >"$page.txt" 2>"$page.err"
  check "the installed $page(1) renders without a warning" test -s "$page.txt" -a ! -s "$page.err"
  cat "$page.err"
done

# Completion: what bash offers, asked as bash asks (COMP_WORDS, COMP_CWORD).
mkdir -p discs/disc1
: >discs/a.iso
: >discs/b.CUE
: >discs/notes.txt
complete_words() {  # complete_words PROGRAM WORD...: the candidates for the last word of that line
  local program=$1
  bash --norc --noprofile -c '
    . "$1"
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    "$(complete -p "$1" | sed "s/.*-F \([^ ]*\) .*/\1/")"
    printf "%s\n" "${COMPREPLY[@]}" | sort' \
    complete "$prefix/share/bash-completion/completions/$program" "$@"
}
check "discset completes a command" test "$(complete_words discset ext)" = extract
check "discset completes a command's option" test "$(complete_words discset extract --keep)" = --keep-going
check "discset list offers disc folders and images, not other files" \
  test "$(complete_words discset list discs/)" = "$(printf '%s\n' discs/a.iso discs/b.CUE discs/disc1)"
check "--disc-size offers the disc sizes" test "$(complete_words discset check --disc-size '')" = "$(printf '650M\n700M')"
check "apkg completes a command" test "$(complete_words apkg cr)" = create

# The Windows zip: the two tools, the three programs and the README as
# text (a UTF-8 byte order mark and CRLF line ends, for Notepad).
if [ -n "$win32" ] && [ -f "$win32/CPackConfig.cmake" ]; then
  cpack -G ZIP --config "$win32/CPackConfig.cmake" -B "$work/zip" >"$work/zip.log" 2>&1
  check "cpack -G ZIP in the win32 build exits 0" test $? -eq 0
  zip=$(ls "$work"/zip/discset-*-win32.zip 2>/dev/null | head -n 1)
  unzip -Z1 "$zip" 2>/dev/null | sed 's,^[^/]*/,,' | sort >zip.list
  check "the zip holds the tools, the three programs and README.txt" test "$(cat zip.list)" = \
    "$(printf '%s\n' README.txt apkg.exe discset.exe launcher.exe setup.exe uninstall.exe)"
  unzip -p "$zip" '*/README.txt' >readme.txt 2>/dev/null
  check "its README.txt is the README as Windows text" \
    test "$(head -c 3 readme.txt | xxd -p)" = efbbbf -a "$(grep -c $'\r$' readme.txt)" = "$(wc -l <readme.txt)"
else
  echo "SKIPPED: no configured win32 build (build/win32): no Windows zip made"
fi
cli_check_end
