#!/usr/bin/env bash
# Runs every test: installs what is missing, then one CMake workflow preset
# per build (CMakePresets.json): the i686 release build, the native unit
# tests and the sample's end-to-end run, the same unit tests under
# ASan+UBSan, the portable code's unit tests built 32-bit (gcc -m32) and run
# under qemu-i386, the Windows build under Wine with its end-to-end tests, and
# the fuzz corpus replay under ASan+UBSan. ctest runs the tests of each and writes a
# JUnit report; the counts below are read from those reports. The native,
# ASan and i386 tests run two at a time (their test presets); the tests under Wine run
# one at a time, since the window tests restart the prefix's Wine server.
set -uo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}

bash scripts/deps.sh || exit 1
mkdir -p build

# junit_count FILE ATTRIBUTE: one number from the report's <testsuite> element.
junit_count() {
  sed -n '/<testsuite/,/>/p' "$1" | sed -n 's/^[[:space:]]*'"$2"'="\([0-9]*\)".*/\1/p' | head -n 1
}

# failed_output LOG: what each failed test printed (ctest writes it after the
# test's "***Failed" line), its last 40 lines, so that a CI log says which
# check failed and not only which test.
failed_output() {
  awk '
    / Test +#[0-9]+: .*\*\*\*/ { flush(); name = $0; n = 0; next }
    name != "" && (/^ +Start +[0-9]+: / || /tests passed, /) { flush(); next }
    name != "" { lines[n++] = $0 }
    END { flush() }
    function flush(  k) {
      if (name == "") return
      print "-- " name
      for (k = (n > 40 ? n - 40 : 0); k < n; k++) print lines[k]
      name = ""
    }
  ' "$1"
}

passed=0
failed=0
summary=()
# The i686 release build comes first: its uninstall.exe is the one that
# discset pack puts into the native sample's disc set.
for preset in win32 native asan i386 win64 fuzz; do
  echo "== $preset"
  log=build/workflow-$preset.log
  report=build/$preset/junit.xml
  rm -f "$report"
  started=$SECONDS
  if cmake --workflow --preset "$preset" >"$log" 2>&1; then ok=1; else ok=0; fi
  took="$((SECONDS - started)) s"
  # What ctest said at the end: the failed tests, if any, and the total.
  sed -n '/tests passed, /,$p' "$log"
  failed_output "$log"
  if [ -f "$report" ]; then
    total=$(junit_count "$report" tests) bad=$(junit_count "$report" failures)
    skipped=$(junit_count "$report" skipped) disabled=$(junit_count "$report" disabled)
    good=$((total - bad - ${skipped:-0} - ${disabled:-0}))
    passed=$((passed + good))
    failed=$((failed + bad))
    summary+=("$preset: $good passed, $bad failed, $((${skipped:-0} + ${disabled:-0})) skipped ($took)")
    # A failure after the tests wrote their report (none is expected).
    if [ $ok -eq 0 ] && [ "$bad" -eq 0 ]; then
      tail -40 "$log"
      failed=$((failed + 1))
      summary+=("$preset: the workflow failed after its tests (counted as one failure)")
    fi
  elif [ $ok -eq 1 ]; then
    summary+=("$preset: built (no tests; $took)")
  else
    tail -60 "$log"
    failed=$((failed + 1))
    summary+=("$preset: configure or build failed, tests not run (counted as one failure)")
  fi
done

echo
printf '%s\n' "${summary[@]}"
echo "tests: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
