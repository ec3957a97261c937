#!/usr/bin/env bash
# Authors the bundled sample game into a two-disc set and extracts it again
# with the toolkit, then compares the extracted tree with the source byte for
# byte.
#
#     scripts/run_sample.sh [BUILD_DIR]     (default build/native)
#
# With a Windows build folder (build/win64) the same steps run discset.exe
# under Wine (scripts/wine-run.sh).
#
# Builds `discset` in BUILD_DIR when it is not there, generates the sample
# (sample/make_sample.py), packs it with a small disc size so that it takes
# two discs and a file runs from the first onto the second, puts what lies
# beside cd1 (data/, pictures, web shortcut) into disc1/, lists and tests the
# set, extracts it and compares. pack puts the uninstaller of the Windows
# build in (its default: see discset pack --help) with the manifest. Everything goes to BUILD_DIR/sample-run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/native}
case $build in /*) ;; *) build="$root/$build" ;; esac

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target discset -j2 >/dev/null
if [ -x "$build/tools/discset" ]; then
  discset="$build/tools/discset"
elif [ -f "$build/tools/discset.exe" ]; then
  # A Windows build (win64): the same run under Wine.
  discset_exe="$build/tools/discset.exe"
  discset() { bash "$root/scripts/wine-run.sh" "$discset_exe" "$@"; }
  discset="discset"
else
  echo "sample: no discset in $build/tools" >&2
  exit 1
fi

work="$build/sample-run"
rm -rf "$work"
mkdir -p "$work"
echo "== generating the sample game in $work/source"
python3 "$root/sample/make_sample.py" "$work/source"

# What lies beside cd1 is kept free on disc 1; a disc of that plus 1000000
# bytes makes the game take two discs.
reserve=$(find "$work/source/disc1_extra" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')
size=$((reserve + 1000000))
echo "== packing it into two discs (disc size $size bytes, $reserve bytes kept on disc 1 for data and pictures)"
"$discset" pack "$work/source/game" -o "$work/discs" \
  --company "範例軟體公司" --product "許功蓋大冒險" --regkey "XuGongGaiAdventure" --exe game.exe \
  --disc-size "$size" --first-disc-reserve "$reserve" --data "$work/source/disc1_extra/data"
cp -r "$work/source/disc1_extra/." "$work/discs/disc1/"

ndiscs=$(ls -d "$work"/discs/disc* | wc -l)
if [ "$ndiscs" -ne 2 ]; then
  echo "sample: FAILED - the set takes $ndiscs discs instead of 2"
  exit 1
fi
for d in 1 2; do
  used=$(find "$work/discs/disc$d" -type f -printf '%s\n' | awk '{ n += $1 } END { print n + 0 }')
  echo "  disc$d: $used bytes of files (disc size $size)"
done
discs=("$work/discs/disc1" "$work/discs/disc2")
echo "== list"
"$discset" list "${discs[@]}" | tee "$work/list.txt"
if ! grep -q ' 1-2  ' "$work/list.txt"; then
  echo "sample: FAILED - no file runs from disc 1 onto disc 2"
  exit 1
fi
echo "== test"
"$discset" test "${discs[@]}"
echo "== extract"
"$discset" extract --no-prompt "${discs[@]}" -o "$work/installed"

echo "== compare"
# pack adds the uninstaller (uninstall.exe) and its manifest (uninstall.lst).
if [ "$(head -c 2 "$work/installed/uninstall.exe" 2>/dev/null)" != MZ ] ||
   [ "$(head -n 1 "$work/installed/uninstall.lst" 2>/dev/null | tr -d '\r')" != "UNINSTALL-MANIFEST 1" ]; then
  echo "sample: FAILED - no uninstall.exe and uninstall.lst in the extracted tree"
  exit 1
fi
echo "  uninstall.exe ($(stat -c %s "$work/installed/uninstall.exe") bytes) and uninstall.lst ($(($(wc -l <"$work/installed/uninstall.lst") - 2)) entries) added by pack"
mv "$work/installed/uninstall.exe" "$work/installed/uninstall.lst" "$work/"
count=$(find "$work/source/game" -mindepth 1 | wc -l)
if ! diff -r "$work/source/game" "$work/installed"; then
  echo "sample: FAILED - the extracted tree differs from the source"
  exit 1
fi
# diff -r says nothing about empty folders on one side only; compare the
# list of entries too.
if ! diff <(cd "$work/source/game" && find . | LC_ALL=C sort) <(cd "$work/installed" && find . | LC_ALL=C sort); then
  echo "sample: FAILED - the extracted tree has other entries than the source"
  exit 1
fi
mv "$work/uninstall.exe" "$work/uninstall.lst" "$work/installed/"
echo "sample: OK - $ndiscs discs, $count files and folders extracted byte for byte identical to the source"
echo "        (disc set in $work/discs, extracted tree in $work/installed)"
