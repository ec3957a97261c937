#!/usr/bin/env bash
# Runs every test: the native unit tests, the same tests cross-compiled and
# run under Wine, the i686 release build, the fuzz corpus replay under
# ASan+UBSan, and the end-to-end scripts. Installs what is missing first.
set -uo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/deps.sh || exit 1

passed=0
failed=0
failures=()
step() {  # step NAME COMMAND...: runs one stage and counts it
  local name=$1; shift
  echo "== $name"
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    failures+=("$name")
  fi
}

build() {  # build PRESET
  local log="$root/build/build-$1.log"
  cmake --preset "$1" >"$log" 2>&1 || { cat "$log"; return 1; }
  cmake --build --preset "$1" -j"$jobs" >>"$log" 2>&1 || { tail -60 "$log"; return 1; }
}
mkdir -p build

step "native build" build native
step "native unit tests" ctest --preset native

step "win64 build" build win64
# A fresh Wine prefix for this run, made once.
export WINEPREFIX="$root/build/wineprefix"
rm -rf "$WINEPREFIX"
step "wine prefix" env WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" \
  LANG=zh_TW.UTF-8 wineboot -i
step "unit tests under Wine" ctest --preset win64

step "win32 release build" build win32

step "fuzz build" build fuzz
replay() {
  local ok=0
  for corpus in "$root"/fuzz/corpus/*/; do
    local name
    name=$(basename "$corpus")
    local bin="$root/build/fuzz/fuzz/$name"
    if [ ! -x "$bin" ]; then
      echo "missing fuzz target $name"; ok=1; continue
    fi
    local n
    n=$(find "$corpus" -type f | wc -l)
    if "$bin" -runs=0 "$corpus" >"$root/build/fuzz-$name.log" 2>&1; then
      echo "$name: $n inputs replayed"
    else
      tail -30 "$root/build/fuzz-$name.log"; ok=1
    fi
  done
  return $ok
}
step "fuzz corpus replay" replay

# End-to-end checks under Wine, read back with tools that do not share
# Wine's code (reg query, lnkinfo).
step "e2e registration under Wine" bash "$root/tests/e2e/check_registration.sh" "$root/build/win64"

echo
if [ "$failed" -gt 0 ]; then
  printf 'failed stage: %s\n' "${failures[@]}"
fi
echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
