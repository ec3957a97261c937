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
