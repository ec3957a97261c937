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
# bench/inflate_limit.cpp); `discset extract` (decoding ahead on all cores,
# and with --threads 1, inline as setup does), `tar xzf` and `unzip` of the
# same files; peak memory of extract on a small and on the large set. Times
# are the best of BENCH_RUNS runs (default 3); "cpu" is user + system time of
# the process and its children, which a busy machine disturbs less than the
# wall clock.
#
# Then on a disk-backed folder (BENCH_DISK_DIR, default BUILD_DIR/bench-disk):
# BENCH_DISK_RUNS (default 5) runs each of `discset extract` and `tar xzf`,
# taking turns, each into a tree of its own, with their median and spread
# (wall and CPU). Then setup.exe against
# discset.exe extract under Wine (bench/wine_setup_cost.sh; BENCH_WINE=0
# leaves it out, and it is skipped with a note when Wine, Xvfb or the win64
# build is missing). Then pack at every level
# (zlib -9, libdeflate 1 to 12; BENCH_LEVELS=0 leaves it out): size, speed
# and the 650 MB discs a 2 GB game needs. Last a bar chart of the speeds
# (gnuplot, Debian package gnuplot-nox) into BENCH_CHART (default
# bench/throughput.svg).
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
disk=${BENCH_DISK_DIR:-$build/bench-disk}
disk_runs=${BENCH_DISK_RUNS:-5}
chart=${BENCH_CHART:-$root/bench/throughput.svg}

if [ ! -x /usr/bin/time ]; then
  echo "bench: /usr/bin/time is missing (Debian package 'time')" >&2
  exit 1
fi
for tool in tar gzip zip unzip python3 g++ awk gnuplot; do
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
same_tree=no
diff -r -q "$corpus" "$work/x" >/dev/null && same_tree=yes
echo "  (extracted tree identical to the corpus: $same_tree)"
measure "discset extract --threads 1" "$runs" 'rm -rf "$work/x1"' "$discset" extract --no-prompt --threads 1 "$work/setn/disc1" -o "$work/x1"
same_threads=no
diff -r -q "$work/x" "$work/x1" >/dev/null && same_threads=yes
echo "  (trees of --threads 1 and $cores identical: $same_threads)"
rm -rf "$work/x1"
measure "tar xzf" "$runs" 'rm -rf "$work/t"; mkdir "$work/t"' tar xzf "$work/corpus.tar.gz" -C "$work/t"
measure "unzip" "$runs" 'rm -rf "$work/u"' unzip -q "$work/corpus.zip" -d "$work/u"
rm -rf "$work/x" "$work/t" "$work/u"

echo "== peak memory of extract, small and large set"
"$discset" pack "$small" -o "$work/small-set" --threads "$cores" "${args[@]}" >/dev/null
measure "extract, 30 MB set" 1 'rm -rf "$work/xs"' "$discset" extract --no-prompt "$work/small-set/disc1" -o "$work/xs"
rm -rf "$work/xs"

echo "== on a disk-backed folder: $disk, $disk_runs runs each, taking turns"
mkdir -p "$disk"
if [ "$(stat -f -c %T "$disk")" = tmpfs ]; then
  echo "  (warning: $disk is on tmpfs, not on a disk)"
fi
disk_fs=$(df -PT "$disk" | awk 'NR==2 {print $2}')
ext_walls=() tar_walls=() ext_cpus=() tar_cpus=()
# Every run writes a tree of its own, and all of them are removed only after
# the last run. ext4 does not hand out an inode freed in the last minutes
# again: creating files soon after a large delete scans past every such
# inode (perf: `recently_deleted` and `find_get_block_common`, 59% of the
# samples, 6.6-12.7 s of system time for one extract right after the
# previous tree of 14,549 files was removed, against 0.9 s without). Removing
# the tree between the runs measured ext4's bookkeeping of the delete, and
# the spread of the ratio (0.4x to 24x) came from it. An inode counts as
# freed lately for 60 s after its delete, 360 s while its inode table block
# is not written out, so the runs wait until the last delete of the
# benchmark's trees there is 360 s old (a second run soon after the first
# waits a few minutes here).
deleted_at=$disk/deleted-at
if compgen -G "$disk/run-*" >/dev/null; then
  rm -rf "$disk"/run-*
  sync
  date +%s >"$deleted_at"
fi
if [ -f "$deleted_at" ]; then
  wait_s=$(( $(cat "$deleted_at") + 360 - $(date +%s) ))
  if [ "$wait_s" -gt 0 ]; then
    echo "  (waiting $wait_s s: ext4 still holds back the inodes of the trees removed at $(date -d "@$(cat "$deleted_at")" +%T))"
    sleep "$wait_s"
  fi
fi
runs_dir=$disk/run-$$
mkdir -p "$runs_dir"
avail_kb=$(df -Pk "$disk" | awk 'NR==2 {print $4}')
need_kb=$(( (2 * disk_runs + 1) * bytes / 1024 ))
if [ "$avail_kb" -lt "$need_kb" ]; then
  echo "  (warning: $disk has $avail_kb KB free, the runs need about $need_kb KB)"
fi
# disk_run TIMES_VAR CPUS_VAR COMMAND...: one timed run, wall and user + system.
disk_run() {
  local -n walls=$1 cpus=$2
  shift 2
  sync
  /usr/bin/time -f "%e %U %S" -o "$work/time.out" "$@" >/dev/null
  walls+=("$(cut -d' ' -f1 "$work/time.out")")
  cpus+=("$(awk '{ printf "%.2f", $2 + $3 }' "$work/time.out")")
}
for ((i = 0; i < disk_runs; ++i)); do
  disk_run ext_walls ext_cpus "$discset" extract --no-prompt "$work/setn/disc1" -o "$runs_dir/x$i"
  mkdir "$runs_dir/t$i"
  disk_run tar_walls tar_cpus tar xzf "$work/corpus.tar.gz" -C "$runs_dir/t$i"
done
rm -rf "$runs_dir"
sync
date +%s >"$deleted_at"
# median MIN MAX of the values given
stats() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2; printf "%.2f %.2f %.2f\n", m, v[1], v[NR] }'; }
read -r ext_med ext_min ext_max < <(stats "${ext_walls[@]}")
read -r tar_med tar_min tar_max < <(stats "${tar_walls[@]}")
read -r ext_cpu_med _ _ < <(stats "${ext_cpus[@]}")
read -r tar_cpu_med _ _ < <(stats "${tar_cpus[@]}")
printf '  %-28s median %6.2f s   spread %.2f-%.2f s   (%s)   cpu median %.2f s (%s)\n' "discset extract" "$ext_med" "$ext_min" "$ext_max" "${ext_walls[*]}" "$ext_cpu_med" "${ext_cpus[*]}"
printf '  %-28s median %6.2f s   spread %.2f-%.2f s   (%s)   cpu median %.2f s (%s)\n' "tar xzf" "$tar_med" "$tar_min" "$tar_max" "${tar_walls[*]}" "$tar_cpu_med" "${tar_cpus[*]}"

# Setup's own cost under Wine (bench/wine_setup_cost.sh): setup.exe against
# discset.exe extract --threads 1, both the win64 build, on a zlib set of the
# corpus, BENCH_WINE_RUNS (default 5) runs each in turns, the programs from
# BENCH_WIN64_DIR (default build/win64). The Wine prefix, which receives both
# trees, lies in the work folder like every other tree here (tmpfs by
# default), so that the disk's writeback does not fall on whichever program
# runs after the other. BENCH_WINE=0 leaves it out.
win64=${BENCH_WIN64_DIR:-$root/build/win64}
wine_lines=()
if [ "${BENCH_WINE:-1}" = 0 ]; then
  wine_lines=("setup.exe under Wine: skipped (BENCH_WINE=0)")
else
  echo "== setup.exe and discset.exe extract under Wine ($win64), ${BENCH_WINE_RUNS:-5} runs each, taking turns"
  wine_out=$(bash "$root/bench/wine_setup_cost.sh" "$win64" "$discset" "$corpus" "$work/wine" \
    "${BENCH_WINE_RUNS:-5}" 2>&1)
  wine_status=$?
  printf '%s\n' "$wine_out" | sed 's/^/  /'
  if [ $wine_status -eq 0 ]; then
    mapfile -t wine_lines < <(printf '%s\n' "$wine_out" | tail -n 5)
  else
    wine_lines=("setup.exe under Wine: $(printf '%s\n' "$wine_out" | grep -m1 -E '^skipped|failed|no ' || echo "failed (status $wine_status)")")
  fi
fi

declare -A level_bytes level_wall
level_list=()
if [ "${BENCH_LEVELS:-1}" != 0 ]; then
  echo "== pack at every level, $cores threads, one run each"
  for choice in zlib:9 libdeflate:1 libdeflate:2 libdeflate:3 libdeflate:4 libdeflate:5 libdeflate:6 \
              libdeflate:7 libdeflate:8 libdeflate:9 libdeflate:10 libdeflate:11 libdeflate:12; do
    comp=${choice%%:*} lvl=${choice##*:}
    rm -rf "$work/setl"
    /usr/bin/time -f "%e" -o "$work/time.out" "$discset" pack "$corpus" -o "$work/setl" --threads "$cores" \
      --compressor "$comp" --level "$lvl" "${args[@]}" >/dev/null
    level_wall[$choice]=$(cat "$work/time.out")
    level_bytes[$choice]=$(find "$work/setl" -name 'cd*' -printf '%s\n' | awk '{ n += $1 } END { print n }')
    level_list+=("$choice")
    printf '  %-16s %6.2f s   %d bytes\n' "$choice" "${level_wall[$choice]}" "${level_bytes[$choice]}"
  done
  rm -rf "$work/setl"
fi

mb() { awk -v b="$bytes" -v t="$1" 'BEGIN { printf "%.1f", b / t / 1e6 }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
echo
mbw() { mb "$1"; }
echo "| Measure | Wall s | CPU s | MB/s (wall) | Peak KB |"
echo "|---|---:|---:|---:|---:|"
for k in "pack, 1 thread" "pack, $cores threads" "pack, zlib -6, 2 threads" "discset extract" "discset extract --threads 1" "tar xzf" "unzip"; do
  printf '| %s | %s | %s | %s | %s |\n' "$k" "${wall[$k]}" "${cpu[$k]}" "$(mbw "${wall[$k]}")" "${rss[$k]}"
done
k="extract, 30 MB set"
printf '| %s | %s | %s | - | %s |\n' "$k" "${wall[$k]}" "${cpu[$k]}" "${rss[$k]}"
printf '| zlib uncompress in memory, 1 thread (limit; MB/s of cpu) | - | %s | %s | - |\n' "$limit_s" "$(mb "$limit_s")"
printf '| libdeflate in memory, 1 thread (limit; MB/s of cpu) | - | %s | %s | - |\n' "$dlimit_s" "$(mb "$dlimit_s")"
printf '| discset extract on %s (median of %d) | %s | %s | %s | - |\n' "$disk_fs" "$disk_runs" "$ext_med" "$ext_cpu_med" "$(mbw "$ext_med")"
printf '| tar xzf on %s (median of %d) | %s | %s | %s | - |\n' "$disk_fs" "$disk_runs" "$tar_med" "$tar_cpu_med" "$(mbw "$tar_med")"
if [ "${#level_list[@]}" -gt 0 ]; then
  echo
  echo "| Pack ($cores threads) | Disc set bytes | Of the corpus | Wall s | MB/s | 650 MB discs for a 2 GB game |"
  echo "|---|---:|---:|---:|---:|---:|"
  for choice in "${level_list[@]}"; do
    awk -v n="$choice" -v b="${level_bytes[$choice]}" -v c="$bytes" -v w="${level_wall[$choice]}" 'BEGIN {
      r = b / c; d = 2e9 * r / 681984000; discs = int(d); if (discs < d) discs++;
      sub(":", " ", n); printf "| %s | %d | %.2f%% | %.2f | %.0f | %d (%.2f) |\n", n, b, 100 * r, w, c / w / 1e6, discs, d }'
  done
fi
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
echo "extract, $cores decoders, against the libdeflate limit (limit cpu / extract wall): $(ratio "$dlimit_s" "${wall[discset extract]}")"
echo "extract --threads 1 against the libdeflate limit (limit cpu / extract wall):    $(ratio "$dlimit_s" "${wall[discset extract --threads 1]}")"
echo "extract, $cores decoders, over its own --threads 1 (wall):                     $(ratio "${wall[discset extract --threads 1]}" "${wall[discset extract]}")"
echo "extract on $disk_fs against tar xzf there (medians, wall / cpu):                  $(ratio "$tar_med" "$ext_med") / $(ratio "$tar_cpu_med" "$ext_cpu_med") (spread of the wall ratio $(ratio "$tar_min" "$ext_max")-$(ratio "$tar_max" "$ext_min"))"
for line in "${wine_lines[@]}"; do echo "$line"; done

# The chart: MB/s of the corpus for each program, the limits by their cpu.
{
  printf '"pack\\n1 thread" %s\n' "$(mb "${wall[pack, 1 thread]}")"
  printf '"pack\\n%s threads" %s\n' "$cores" "$(mb "${wall[pack, $cores threads]}")"
  printf '"pack zlib -6\\n2 threads" %s\n' "$(mb "${wall[pack, zlib -6, 2 threads]}")"
  printf '"extract\\n--threads 1" %s\n' "$(mb "${wall[discset extract --threads 1]}")"
  printf '"extract\\n%s decoders" %s\n' "$cores" "$(mb "${wall[discset extract]}")"
  printf '"extract\\n%s (median)" %s\n' "$disk_fs" "$(mb "$ext_med")"
  printf '"tar xzf" %s\n' "$(mb "${wall[tar xzf]}")"
  printf '"tar xzf\\n%s (median)" %s\n' "$disk_fs" "$(mb "$tar_med")"
  printf '"unzip" %s\n' "$(mb "${wall[unzip]}")"
  printf '"zlib limit\\n1 thread" %s\n' "$(mb "$limit_s")"
  printf '"libdeflate limit\\n1 thread" %s\n' "$(mb "$dlimit_s")"
} >"$work/chart.dat"
gnuplot <<GNUPLOT
set terminal svg size 900,420 font "sans,11" background "white"
set output "$chart"
set title "disc-set toolkit, $bytes-byte corpus, $cores cores (MB/s of the corpus; tmpfs unless marked)"
set style fill solid 0.8 border -1
set boxwidth 0.7
set ylabel "MB/s"
set yrange [0:*]
set grid ytics
set xtics font ",9"
unset key
plot "$work/chart.dat" using 0:2:xtic(1) with boxes lc rgb "#4477aa", \
     "" using 0:2:(sprintf("%.0f", \$2)) with labels offset 0,0.7 font ",9"
GNUPLOT
echo "chart: $chart"
