#!/usr/bin/env bash
# --version and a mistyped command, for discset or apkg.
#     version_cli_test.sh [RUNNER...] PROGRAM NAME VERSION COMMIT
# NAME is the program's name (discset, apkg), VERSION the project's, COMMIT
# the commit the build was configured from ("none" outside a git checkout).
set -uo pipefail
runner=("${@:1:$#-3}")
name=${*:$#-2:1} version=${*:$#-1:1} commit=${*:$#:1}
[ "$commit" = none ] && commit=
. "$(dirname "$0")/cli_check.sh"

want="$name $version"
[ -n "$commit" ] && want="$want (commit $commit)"
"${runner[@]}" --version >"$work/version.out" 2>&1
check "--version exits 0" test $? -eq 0
check "--version prints '$want'" test "$(tr -d '\r' <"$work/version.out")" = "$want"

# The commands that exist, as the help lists them.
"${runner[@]}" --help 2>&1 | tr -d '\r' >"$work/help.out"
mapfile -t commands < <(sed -n '/^Subcommands:/,/^$/p' "$work/help.out" | awk 'NR > 1 && NF { print $1 }')
check "the help lists commands" test "${#commands[@]}" -ge 3

"${runner[@]}" lsit x >"$work/typo.out" 2>&1
check "a mistyped command exits 1" test $? -eq 1
tr -d '\r' <"$work/typo.out" >"$work/typo.txt"
check "it names the word" grep -qF "$name: 'lsit' is not a command" "$work/typo.txt"
for c in "${commands[@]}"; do
  check "it names the command $c" grep -qE "the commands are: (.*, )?$c(,|\$)" "$work/typo.txt"
done
cli_check_end
