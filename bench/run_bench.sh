#!/usr/bin/env bash
# Benchmark of the disc-set toolkit. Prints figures; it is not a test.
#
#     bench/run_bench.sh [BUILD_DIR [WORK_DIR]]
#
# BUILD_DIR (default build/native) holds the built discset; WORK_DIR
# (default: a folder in /dev/shm when it has room, so that the figures show
# the programs rather than the disk, else BUILD_DIR/bench-run) receives the
# corpus, the disc sets and the archives (about 1.5 GB; kept between runs,
# the corpus is made again only when missing).
#
# In one run: a reproducible ~300 MB game-like corpus (bench/make_corpus.py),
# `discset pack` on 1 thread, on all cores, and with zlib level 6 on 2
# threads; zlib's uncompress and libdeflate of all the set's records in
# memory (the limits of extraction with either decompressor,
# bench/inflate_limit.cpp); `discset extract`, `tar xzf` and
# `unzip` of the same files; peak memory of extract on a small and on the
# large set. Times are the best of BENCH_RUNS runs (default 3); "cpu" is user
# + system time of the process and its children, which a busy machine
# disturbs less than the wall clock.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-build/native}
case $build in /*) ;; *) build="$root/$build" ;; esac
if [ -n "${2:-}" ]; then
  work=$2
elif [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR==2 {print $4}')" -gt 3000000 ]; then
  work=/dev/shm/discset-bench-$(id -u)
else
  work=$build/bench-run
fi
mkdir -p "$work"
cores=$(nproc)
runs=${BENCH_RUNS:-3}

if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is missing (Debian package 'time')" >&2
  exit 1
fi
for tool in tar gzip zip unzip python3 g++ awk; do
  command -v $tool >/dev/null || { echo "bench: $tool is missing" >&2; exit 1; }
done
if [ ! -f /usr/include/libdeflate.h ]; then
  echo "bench: libdeflate.h is missing (Debian package 'libdeflate-dev')" >&2
  exit 1
fi

echo "== building in $build"
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$build" --target discset inflate_limit -j2 >/dev/null
discset=$build/tools/discset
limit=$build/bench/inflate_limit

load_start=$(cut -d' ' -f1-3 /proc/loadavg)
corpus=$work/corpus
if [ ! -f "$work/corpus.done" ]; then
  echo "== making the corpus in $corpus"
  rm -rf "$corpus"
  python3 "$root/bench/make_corpus.py" "$corpus" 300
  touch "$work/corpus.done"
fi
small=$work/small
if [ ! -f "$work/small.done" ]; then
  rm -rf "$small"
  python3 "$root/bench/make_corpus.py" "$small" 30 >/dev/null
  touch "$work/small.done"
fi
bytes=$(find "$corpus" -type f -printf '%s\n' | awk '{ n += $1 } END { print n }')
files=$(find "$corpus" -type f | wc -l)
# Warm the page cache so every program reads the same way.
tar cf - -C "$corpus" . >/dev/null

# measure NAME RUNS SETUP COMMAND...: best wall time of RUNS runs, with the
# cpu time and peak memory of that run. SETUP runs before each (untimed).
declare -A wall cpu rss
measure() {
  local name=$1 n=$2 setup=$3
  shift 3
  local best="" bcpu="" brss=""
  for ((i = 0; i < n; ++i)); do
    eval "$setup"
    /usr/bin/time -f "%e %U %S %M" -o "$work/time.out" "$@" >/dev/null
    read -r e u s m <"$work/time.out"
    local c
    c=$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')
    if [ -z "$best" ] || awk -v e="$e" -v b="$best" 'BEGIN { exit !(e < b) }'; then
      best=$e; bcpu=$c; brss=$m
    fi
  done
  wall[$name]=$best; cpu[$name]=$bcpu; rss[$name]=$brss
  printf '  %-28s wall %6.2f s   cpu %6.2f s   peak %7d KB\n' "$name" "$best" "$bcpu" "$brss"
}
# The best run is the fastest by the wall clock: on a shared machine the
# slower runs are the ones that waited for a core.

args=(--company Bench --product Corpus --regkey BenchCorpus --exe game.exe --force --no-uninstaller)
echo "== pack ($bytes bytes in $files files, $cores cores)"
measure "pack, 1 thread" "$runs" "" "$discset" pack "$corpus" -o "$work/set1" --threads 1 "${args[@]}"
measure "pack, $cores threads" "$runs" "" "$discset" pack "$corpus" -o "$work/setn" --threads "$cores" "${args[@]}"
measure "pack, zlib -6, 2 threads" "$runs" "" "$discset" pack "$corpus" -o "$work/setz" --threads 2 --compressor zlib --level 6 "${args[@]}"
same=no
cmp -s "$work/set1/disc1/cd1" "$work/setn/disc1/cd1" && same=yes
set_bytes=$(stat -c %s "$work/setn/disc1/cd1")
zset_bytes=$(stat -c %s "$work/setz/disc1/cd1")

echo "== archives of the same files (made once, not timed)"
[ -f "$work/corpus.tar.gz" ] || tar czf "$work/corpus.tar.gz" -C "$corpus" .
[ -f "$work/corpus.zip" ] || (cd "$corpus" && zip -q -r "$work/corpus.zip" .)

echo "== extraction"
{
  read -r _ total records limit_s limit_mbs
  read -r _ _ _ dlimit_s dlimit_mbs
  read -r _ backend
} < <("$limit" "$work/setn/disc1/cd1")
printf '  %-28s cpu %6.2f s   (%d records, %.1f MB/s)\n' "zlib uncompress in memory" "$limit_s" "$records" "$limit_mbs"
printf '  %-28s cpu %6.2f s   (%.1f MB/s)\n' "libdeflate in memory" "$dlimit_s" "$dlimit_mbs"
echo "  (discset extract decompresses with: $backend)"
measure "discset extract" "$runs" 'rm -rf "$work/x"' "$discset" extract --no-prompt "$work/setn/disc1" -o "$work/x"
diff -r -q "$corpus" "$work/x" >/dev/null && echo "  (extracted tree identical to the corpus)"
measure "tar xzf" "$runs" 'rm -rf "$work/t"; mkdir "$work/t"' tar xzf "$work/corpus.tar.gz" -C "$work/t"
measure "unzip" "$runs" 'rm -rf "$work/u"' unzip -q "$work/corpus.zip" -d "$work/u"
rm -rf "$work/x" "$work/t" "$work/u"

echo "== peak memory of extract, small and large set"
"$discset" pack "$small" -o "$work/small-set" --threads "$cores" "${args[@]}" >/dev/null
measure "extract, 30 MB set" 1 'rm -rf "$work/xs"' "$discset" extract --no-prompt "$work/small-set/disc1" -o "$work/xs"
rm -rf "$work/xs"

mb() { awk -v b="$bytes" -v t="$1" 'BEGIN { printf "%.1f", b / t / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
echo "| Measure | Wall s | CPU s | MB/s (cpu) | Peak KB |"
echo "|---|---:|---:|---:|---:|"
for k in "pack, 1 thread" "pack, $cores threads" "pack, zlib -6, 2 threads" "discset extract" "tar xzf" "unzip"; do
  printf '| %s | %s | %s | %s | %s |\n' "$k" "${wall[$k]}" "${cpu[$k]}" "$(mb "${cpu[$k]}")" "${rss[$k]}"
done
k="extract, 30 MB set"
printf '| %s | %s | %s | - | %s |\n' "$k" "${wall[$k]}" "${cpu[$k]}" "${rss[$k]}"
printf '| zlib uncompress in memory (limit) | - | %s | %s | - |\n' "$limit_s" "$(mb "$limit_s")"
printf '| libdeflate in memory (limit) | - | %s | %s | - |\n' "$dlimit_s" "$(mb "$dlimit_s")"
echo
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) (at the start: $load_start)"
echo "corpus: $bytes bytes, $files files; disc set: $set_bytes bytes (libdeflate), $zset_bytes bytes (zlib -6)"
echo "pack output identical for 1 and $cores threads: $same"
echo "pack speed-up, $cores threads over 1 (wall):        $(ratio "${wall[pack, 1 thread]}" "${wall[pack, $cores threads]}")"
echo "pack, $cores threads, over zlib -6 on 2 threads (wall): $(ratio "${wall[pack, zlib -6, 2 threads]}" "${wall[pack, $cores threads]}")"
echo "pack, $cores threads, over zlib -6 on 2 threads (cpu):  $(ratio "${cpu[pack, zlib -6, 2 threads]}" "${cpu[pack, $cores threads]}")"
echo "extract ($backend) against the zlib limit (cpu):   $(ratio "$limit_s" "${cpu[discset extract]}")"
echo "extract ($backend) against the libdeflate limit (cpu): $(ratio "$dlimit_s" "${cpu[discset extract]}")"
echo "extract against tar xzf (wall / cpu):                 $(ratio "${wall[tar xzf]}" "${wall[discset extract]}") / $(ratio "${cpu[tar xzf]}" "${cpu[discset extract]}")"
echo "extract against unzip (wall / cpu):                   $(ratio "${wall[unzip]}" "${wall[discset extract]}") / $(ratio "${cpu[unzip]}" "${cpu[discset extract]}")"
echo "extract peak memory, 30 MB / 300 MB set:              ${rss[extract, 30 MB set]} KB / ${rss[discset extract]} KB"
