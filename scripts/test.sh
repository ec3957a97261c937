#!/usr/bin/env bash
# Runs every test: the native unit tests (also built with ASan+UBSan), the
# same tests cross-compiled and run under Wine, the i686 release build, the
# fuzz corpus replay under ASan+UBSan, and the end-to-end scripts. Installs
# what is missing first.
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
# Every test program also leaves a GoogleTest XML report, for the counts below.
rm -rf "$root/build/gtest-native" "$root/build/gtest-win64"
step "native unit tests" env GTEST_OUTPUT="xml:$root/build/gtest-native/" ctest --preset native

# The same unit tests built with ASan+UBSan: a read or write outside a
# block, or undefined arithmetic, fails them. Leaks are the tracked-memory
# counters' job (the tests check them, and some child processes leak or ask
# for impossible sizes on purpose), so the preset turns the leak checker off
# and lets a failed allocation return null to the program's own handling.
sanitized() { build asan && ctest --preset asan; }
step "native unit tests under ASan+UBSan" sanitized

step "win64 build" build win64
# A fresh Wine prefix for this run, made once.
export WINEPREFIX="$root/build/wineprefix"
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX/home"
# Wine links the prefix's desktop to $HOME: the tests' shortcuts stay inside.
step "wine prefix" env HOME="$WINEPREFIX/home" WINEDEBUG=-all WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d" \
  LANG=zh_TW.UTF-8 wineboot -i
# Under Wine the report folder is named through drive Z:, which is "/".
step "unit tests under Wine" env GTEST_OUTPUT="xml:Z:${root//\//\\}\\build\\gtest-win64\\" \
  ctest --preset win64

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
# The sample game authored, checked and extracted by the toolkit, natively and
# with the Windows build under Wine.
step "e2e sample disc set (native)" bash "$root/scripts/run_sample.sh" "$root/build/native"
step "e2e sample disc set (Wine)" bash "$root/scripts/run_sample.sh" "$root/build/win64"
step "e2e registration under Wine" bash "$root/tests/e2e/check_registration.sh" "$root/build/win64"
step "e2e launcher under Wine" bash "$root/tests/e2e/launcher_e2e.sh" "$root/build/win64"
step "e2e setup under Wine + Xvfb" bash "$root/tests/e2e/setup_e2e.sh" "$root/build/win64"
step "e2e uninstall under Wine + Xvfb" bash "$root/tests/e2e/uninstall_e2e.sh" "$root/build/win64"

count_cases() {  # count_cases FOLDER LABEL: sums the GoogleTest reports
  python3 - "$1" "$2" <<'PY'
import glob, sys, xml.etree.ElementTree as ET
passed = failures = skipped = 0
for f in glob.glob(sys.argv[1] + "/*.xml"):
    for case in ET.parse(f).getroot().iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failures += 1
        elif case.get("result") == "skipped" or case.find("skipped") is not None:
            skipped += 1
        else:
            passed += 1
print(f"{sys.argv[2]}: {passed} test cases passed, {failures} failed, {skipped} skipped")
PY
}
echo
count_cases "$root/build/gtest-native" "native"
count_cases "$root/build/gtest-win64" "under Wine"
if [ "$failed" -gt 0 ]; then
  printf 'failed stage: %s\n' "${failures[@]}"
fi
echo "stages: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
