#!/usr/bin/env bash
# The man pages and the bash completion against the programs' own --help:
# every option --help lists for a command is in that command's section of
# the page (## COMMAND; the program's own options, such as --help, which
# every command has too, once in # OPTIONS) and on that command's line of
# the completion script, so neither drifts from the programs. The built
# pages render without a warning.
#     man_page_test.sh DISCSET APKG PACKAGING_SOURCE MAN_BUILT
set -uo pipefail
discset=$1 apkg=$2 sources=$3 built=$4
. "$(dirname "$0")/cli_check.sh"
completion=$sources/bash-completion/discset

# help_list PROGRAM [COMMAND] HEADING: the names under HEADING ("options"
# or "subcommands") in the help: the first word of each entry (a line
# indented by two; a description that does not fit goes on a line indented
# further), options split at ','.
help_list() {
  local heading=${*: -1}
  "${@:1:$#-1}" --help | awk -v h="$heading:" '
    tolower($0) == h { on = 1; next }
    /^[^ ]/ { on = 0 }
    on && /^  [^ ]/ { print $1 }' | tr ',' '\n'
}
# page_section PAGE HEADING: the lines of the section HEADING ("## pack",
# "# OPTIONS") up to the next heading.
page_section() {
  awk -v h="$2" '$0 == h { on = 1; next } /^#/ { on = 0 } on' "$1"
}
# completion_line FUNCTION COMMAND: the options the completion offers after
# COMMAND ("" for the program's own), from the body of FUNCTION.
completion_line() {
  awk -v f="$1()" -v c="$2" '
    $0 == f { on = 1; next }
    on && /^}/ { on = 0 }
    on && c == "" && /compgen -W .* -- "\$cur"/ && !/\$opts/ { print; exit }
    on && c != "" && $1 == c ")" && /opts=/ { print; exit }' "$completion"
}
has_word() {  # has_word TEXT WORD
  grep -qE -- "(^|[^-[:alnum:]])$2([^-[:alnum:]]|\$)" <<<"$1"
}

for program in discset apkg; do
  binary=${!program}
  page=$sources/man/$program.1.scd
  commands=$(help_list "$binary" subcommands)
  check "$program --help lists its commands" test -n "$commands"
  for command in $commands; do
    check "$program.1.scd has a section ## $command" grep -qx "## $command" "$page"
    check "the completion of $program offers the command $command" \
      has_word "$(completion_line "_$program" "")" "$command"
  done
  for command in "" $commands; do
    options=$(help_list "$binary" $command options)
    check "$program ${command:-(itself)} --help lists options" test -n "$options"
    if [ -z "$command" ]; then
      own_options=$options
    fi
    offered=$(completion_line "_$program" "$command")
    for option in $options; do
      if [ -z "$command" ] || grep -qx -- "$option" <<<"$own_options"; then
        where="# OPTIONS"
      else
        where="## $command"
      fi
      check "$program.1.scd ($where) has $program ${command:+$command }$option" \
        has_word "$(page_section "$page" "$where")" "$option"
      check "the completion of $program ${command:-(itself)} offers $option" has_word "$offered" "$option"
    done
  done
  # The roff that scdoc made renders without a warning (groff's complaints
  # about the page itself, not the terminal's).
  LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$built/$program.1" >/dev/null 2>"$work/warnings"
  check "$program(1) renders without a warning" test ! -s "$work/warnings"
  cat "$work/warnings"
done
cli_check_end
