#!/usr/bin/env bash
# The main job: builds the programs and the toolkit (the workflow presets
# native-build and win32), then authors the bundled sample game into a
# two-disc set and extracts it again, printing the result.
set -euo pipefail
cd "$(dirname "$0")/.."
export CMAKE_BUILD_PARALLEL_LEVEL=${CMAKE_BUILD_PARALLEL_LEVEL:-$(nproc 2>/dev/null || echo 2)}

bash scripts/deps.sh
mkdir -p build
for preset in native-build win32; do
  echo "== building $preset"
  cmake --workflow --preset "$preset" >"build/workflow-$preset.log" 2>&1 ||
    { tail -60 "build/workflow-$preset.log"; exit 1; }
done

echo "== built"
for f in build/native/tools/apkg build/native/tools/discset build/win32/frontend/setup.exe \
         build/win32/launcher/launcher.exe build/win32/tools/discset.exe build/win32/tools/apkg.exe; do
  [ -e "$f" ] && printf '  %-40s %10d bytes\n' "$f" "$(stat -c %s "$f")"
done

if [ -x scripts/run_sample.sh ]; then
  bash scripts/run_sample.sh build/native
fi
