#!/usr/bin/env bash
# Setup's own cost under Wine: a full install of a disc set by setup.exe
# (on a private X server, answered the way tests/e2e/setup_e2e.sh answers
# it: the proposed folder accepted, the success box) against
# `discset.exe extract --threads 1` (the same engine, decoding inline as
# setup does) on the same set into a fresh folder of the same Wine prefix.
# Both are the win64 build, so both decompress with zlib.
#
#     bench/wine_setup_cost.sh WIN64_BUILD DISCSET CORPUS WORK [RUNS]
#
# WIN64_BUILD holds frontend/setup.exe and tools/discset.exe; DISCSET is a
# Linux discset that packs CORPUS with --compressor zlib into WORK/wine-set
# (once); WORK also gets the Wine prefix of these runs (keep it out of
# ~/.wine). RUNS (default 3) runs of each, taken in turns.
#
# What is timed: both programs are started with DI_PUMP_STATS naming a file
# (platform/win32/system.cpp): the message pump, which the engine calls
# after every record, counts and times its calls there and writes the totals
# when the program ends. The time from its first call to its last is the
# extraction from the first record to the last, inside the program, without
# Wine's start, the path dialog or the closing box; its own total is the
# cost of pumping. The last lines are the figures run_bench.sh prints.
# Exit status 2 (with a line saying why) when something it needs is
# missing.
set -uo pipefail
win64=${1:?usage: wine_setup_cost.sh WIN64_BUILD DISCSET CORPUS WORK [RUNS]}
discset=${2:?}
corpus=${3:?}
work=${4:?}
runs=${5:-3}
root=$(cd "$(dirname "$0")/.." && pwd)
win64=$(cd "$win64" && pwd)

setup_exe=$win64/frontend/setup.exe
discset_exe=$win64/tools/discset.exe
for f in "$setup_exe" "$discset_exe"; do
  [ -f "$f" ] || { echo "skipped: no $f (build the win64 preset)"; exit 2; }
done
for tool in wine wineserver Xvfb xdotool; do
  command -v $tool >/dev/null || { echo "skipped: $tool is missing (scripts/deps.sh installs it)"; exit 2; }
done

# The e2e helpers: the prefix, the X server, finding and answering windows.
. "$root/tests/e2e/lib.sh" "$win64"
mkdir -p "$work"
work=$(cd "$work" && pwd)
# wine_path FILE: the Windows path of a host path (Wine's Z: is /).
wine_path() { printf 'Z:%s' "$1" | tr / '\\'; }

set_dir=$work/wine-set
if [ ! -f "$set_dir.done" ]; then
  echo "== packing $corpus with zlib into $set_dir"
  rm -rf "$set_dir"
  "$discset" pack "$corpus" -o "$set_dir" --compressor zlib --company Bench --product Corpus \
    --regkey BenchCorpus --exe game.exe --no-uninstaller >/dev/null || { echo "pack failed" >&2; exit 1; }
  touch "$set_dir.done"
fi
disc1=$set_dir/disc1
bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')

setup_pid=
trap 'e2e_cleanup "$setup_pid"' EXIT
e2e_start_xvfb || { echo "skipped: Xvfb did not start"; exit 2; }
echo "== Wine prefix in $work/prefix"
if [ -f "$work/prefix/system.reg" ] && [ -f "$work/prefix.done" ]; then
  # Made by an earlier run: the same settings as e2e_wine_prefix gives.
  export WINEPREFIX=$work/prefix HOME=$work/prefix/home LANG=zh_TW.UTF-8 LC_ALL=zh_TW.UTF-8 WINEDEBUG=-all \
    WINEARCH=win64 WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=d;mshtml=d"
else
  rm -f "$work/prefix.done"
  unset WINEPREFIX
  e2e_wine_prefix "$work/prefix" || { echo "skipped: no Wine prefix"; exit 2; }
  e2e_cdrom_desktop
  touch "$work/prefix.done"
fi
ln -sfn "$disc1" "$WINEPREFIX/dosdevices/d:"
install="$WINEPREFIX/drive_c/Program Files/Bench/Corpus"
extracted=$WINEPREFIX/drive_c/bench-extract
# A start of the Wine server and of the programs before the timed runs.
timeout 120 wine "$discset_exe" --help >/dev/null 2>&1

# value FILE NAME: one figure of a pump statistics file.
value() { awk -v k="$2" '$1 == k { print $2 }' "$1" | tr -d '\r'; }

# run_setup N: one install, answered; its statistics in $work/setup-N.stats.
run_setup() {
  local stats=$work/setup-$1.stats dialog box
  rm -rf "$install" "$stats"
  sync
  (cd "$disc1" && DI_PUMP_STATS=$(wine_path "$stats") exec /usr/bin/time -f '%U %S' -o "$work/setup-$1.cpu" \
     timeout 600 wine "$setup_exe" D: >"$work/setup-$1.log" 2>&1) &
  setup_pid=$!
  dialog=$(wait_window '請選擇安裝路徑' 120)
  [ -n "$dialog" ] || { echo "setup run $1: no path dialog" >&2; return 1; }
  e2e_answer "$dialog" Return || { echo "setup run $1: the path dialog did not take Enter" >&2; return 1; }
  box=$(wait_window '安裝成功' 600)
  [ -n "$box" ] || { echo "setup run $1: no success box" >&2; return 1; }
  e2e_answer "$box" Return || { echo "setup run $1: the success box did not take Enter" >&2; return 1; }
  wait "$setup_pid"
  setup_pid=
  [ -f "$stats" ] || { echo "setup run $1: no pump statistics" >&2; return 1; }
}

# run_discset N: one extract into a fresh folder; wall, user and system
# time of the whole run into $work/discset-N.wall, statistics into
# $work/discset-N.stats. (setup's user and system time: $work/setup-N.cpu.)
run_discset() {
  local stats=$work/discset-$1.stats
  rm -rf "$extracted" "$stats"
  sync
  DI_PUMP_STATS=$(wine_path "$stats") /usr/bin/time -f '%e %U %S' -o "$work/discset-$1.wall" \
    timeout 600 wine "$discset_exe" extract --no-prompt --threads 1 "$(wine_path "$disc1")" -o 'C:\bench-extract' \
    >"$work/discset-$1.log" 2>&1 || { echo "discset.exe run $1 failed: $(cat "$work/discset-$1.log")" >&2; return 1; }
  [ -f "$stats" ] || { echo "discset.exe run $1: no pump statistics" >&2; return 1; }
}

setup_spans=() discset_spans=() setup_pumps=() discset_pumps=() setup_calls=() discset_calls=()
setup_longest=() discset_walls=() setup_cpus=() discset_cpus=() setup_span_cpus=() discset_span_cpus=()
# cpu FILE: user + system seconds of a time file whose last two fields they are.
cpu() { awk '{ printf "%.2f", $(NF - 1) + $NF }' "$1"; }
for ((i = 1; i <= runs; ++i)); do
  run_setup "$i" || exit 1
  run_discset "$i" || exit 1
  s=$work/setup-$i.stats d=$work/discset-$i.stats
  setup_spans+=("$(value "$s" first_to_last_seconds)") discset_spans+=("$(value "$d" first_to_last_seconds)")
  setup_pumps+=("$(value "$s" pump_seconds)") discset_pumps+=("$(value "$d" pump_seconds)")
  setup_calls+=("$(value "$s" calls)") discset_calls+=("$(value "$d" calls)")
  setup_longest+=("$(value "$s" longest_call_seconds)")
  discset_walls+=("$(cut -d' ' -f1 "$work/discset-$i.wall")")
  setup_cpus+=("$(cpu "$work/setup-$i.cpu")") discset_cpus+=("$(cpu "$work/discset-$i.wall")")
  setup_span_cpus+=("$(value "$s" cpu_first_to_last_look_seconds)")
  discset_span_cpus+=("$(value "$d" cpu_first_to_last_look_seconds)")
  printf '  run %d: setup.exe %.2f s, cpu %.2f s in it, %.2f s in all (pump %.3f s; %d calls, %d asked, %d found messages)   discset.exe %.2f s, cpu %.2f s in it, %.2f s in all (pump %.3f s; whole run %.2f s)\n' \
    "$i" "${setup_spans[-1]}" "${setup_span_cpus[-1]}" "${setup_cpus[-1]}" "${setup_pumps[-1]}" "${setup_calls[-1]}" \
    "$(value "$s" looks)" "$(value "$s" busy_looks)" "${discset_spans[-1]}" "${discset_span_cpus[-1]}" "${discset_cpus[-1]}" \
    "${discset_pumps[-1]}" "${discset_walls[-1]}"
done
same=no
diff -r -q "$corpus" "$extracted" >/dev/null && diff -r -q -x uninstall.dat "$corpus" "$install" >/dev/null && same=yes
rm -rf "$extracted"

# median MIN MAX of the values given
stats() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.3f %.3f %.3f\n", m, v[1], v[NR] }'; }
read -r s_med s_min s_max < <(stats "${setup_spans[@]}")
read -r d_med d_min d_max < <(stats "${discset_spans[@]}")
read -r p_med _ _ < <(stats "${setup_pumps[@]}")
read -r q_med _ _ < <(stats "${discset_pumps[@]}")
read -r l_med _ l_max < <(stats "${setup_longest[@]}")
read -r sc_med _ _ < <(stats "${setup_cpus[@]}")
read -r dc_med _ _ < <(stats "${discset_cpus[@]}")
read -r ss_med _ _ < <(stats "${setup_span_cpus[@]}")
read -r ds_med _ _ < <(stats "${discset_span_cpus[@]}")
calls=${setup_calls[0]}
echo "set: $bytes bytes of $corpus, zlib; $calls records; trees of setup and discset.exe identical to the corpus: $same"
printf 'setup.exe extraction (first to last record), median of %d: %.2f s (%.2f-%.2f)\n' "$runs" "$s_med" "$s_min" "$s_max"
printf 'discset.exe extract --threads 1, the same span, median of %d: %.2f s (%.2f-%.2f)\n' "$runs" "$d_med" "$d_min" "$d_max"
awk -v a="$s_med" -v b="$d_med" -v lo="$s_min" -v hi="$s_max" -v dlo="$d_min" -v dhi="$d_max" -v sc="$sc_med" -v dc="$dc_med" \
    -v ss="$ss_med" -v ds="$ds_med" 'BEGIN {
  printf "setup.exe under Wine against discset.exe extract under Wine: %.2f (spread %.2f-%.2f; process cpu in the extraction, medians %.2f s / %.2f s: %.2f; in the whole runs %.2f s / %.2f s: %.2f)\n",
    a / b, lo / dhi, hi / dlo, ss, ds, ss / ds, sc, dc, sc / dc }'
looks=$(value "$work/setup-1.stats" looks)
awk -v p="$p_med" -v q="$q_med" -v n="$calls" -v k="$looks" -v s="$s_med" -v l="$l_med" -v lm="$l_max" 'BEGIN {
  printf "message pump after every record in setup.exe: %.3f s for %d calls, %d of them asking for messages (%.1f us a call, %.1f%% of its extraction; longest call %.1f ms, at most %.1f ms); in discset.exe %.3f s\n",
    p, n, k, p / n * 1e6, 100 * p / s, l * 1e3, lm * 1e3, q }'
