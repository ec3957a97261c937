#!/usr/bin/env bash
# The main job: builds the programs and the toolkit, then authors the bundled
# sample game into a two-disc set and extracts it again, printing the result.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc 2>/dev/null || echo 2)

bash scripts/deps.sh
mkdir -p build
for preset in native win32; do
  echo "== building $preset"
  cmake --preset "$preset" >"build/build-$preset.log" 2>&1 || { cat "build/build-$preset.log"; exit 1; }
  cmake --build --preset "$preset" -j"$jobs" >>"build/build-$preset.log" 2>&1 ||
    { tail -60 "build/build-$preset.log"; exit 1; }
done

echo "== built"
for f in build/native/tools/apkg build/native/tools/discset build/win32/frontend/setup.exe \
         build/win32/launcher/launcher.exe build/win32/tools/discset.exe build/win32/tools/apkg.exe; do
  [ -e "$f" ] && printf '  %-40s %10d bytes\n' "$f" "$(stat -c %s "$f")"
done

if [ -x scripts/run_sample.sh ]; then
  bash scripts/run_sample.sh build/native
fi
