#!/usr/bin/env bash
# The bps benchmark: whole runs of the program on generated ROM-like pairs of 16 and 32 MiB
# (scattered edits, a moved 1 MiB block, a rebuilt 512 KiB block; see pair.hpp). For each pair:
# making the patch (best of three, and its peak memory), the patch's size beside the greedy
# longest-match comparator's (bps_greedy), and applying it beside a plain copy of the file (cat). Then the
# cost of making patches from inputs built to hit slow paths (all zeros, one repeated word, new
# data), which stays flat per MiB when it is linear; the 1000 small-edit pairs (bps_smalledit)
# against the same comparator; and the in-memory benchmark.
# Env BUILD = build folder.
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
bench_setup bps
bps="$build/bin/bps"

# Best wall time in seconds of three runs of a command (outputs removed first, outside the timing).
best_of_three() {
  fastest_us 3 "$@"
  awk -v us="$best_us" 'BEGIN { printf "%.3f", us / 1e6 }'
}

# Peak resident memory in MB of one run.
peak_mb() {
  rm -f out.bin patch.bps
  /usr/bin/time -f '%M' -o rss.txt "$@" </dev/null >/dev/null
  awk '{ printf "%.0f", $1 / 1024 }' rss.txt
}

# What applying is measured against: reading the same bytes and writing them to a new file.
copy_file() { cat modified.z64 >out.bin; }

for mb in 16 32; do
  "$build/bench/bps/bps_mkpair" "$mb" original.z64 modified.z64
  cat original.z64 modified.z64 >/dev/null  # into the page cache
  bytes=$((mb << 20))
  make_s=$(best_of_three "$bps" original.z64 modified.z64 patch.bps)
  make_mb=$(peak_mb "$bps" original.z64 modified.z64 patch.bps)
  ours=$(wc -c <patch.bps)
  read -r greedy greedy_min < <("$build/bench/bps/bps_greedy" original.z64 modified.z64 greedy.bps)
  cp patch.bps keep.bps
  apply_s=$(best_of_three "$bps" original.z64 keep.bps out.bin)
  cp_s=$(best_of_three copy_file)
  apply_mb=$(peak_mb "$bps" original.z64 keep.bps out.bin)
  cmp -s out.bin modified.z64 || { echo "bps: the applied patch differs from the modified file" >&2; exit 1; }
  awk -v mb="$mb" -v b="$bytes" -v ms="$make_s" -v mm="$make_mb" -v o="$ours" -v g="$greedy" \
      -v gm="$greedy_min" -v as="$apply_s" -v am="$apply_mb" -v cs="$cp_s" 'BEGIN {
    printf "%d MiB pair:\n", mb
    printf "  make:   %.3f s = %6.1f MB/s, peak %s MB (targets: under 2 s and 150 MB)\n", ms, b / ms / 1e6, mm
    printf "  patch:  %d bytes; greedy longest match (best minimum length, %d): %d bytes; ours %+.2f %%\n",
           o, gm, g, 100 * (o - g) / g
    printf "  apply:  %.3f s = %6.1f MB/s, peak %s MB; cat of the file: %.3f s = %6.1f MB/s (ratio %.2f)\n",
           as, b / as / 1e6, am, cs, b / cs / 1e6, cs / as
  }'
done

# Inputs that could make a maker slow: seconds per MiB at 1, 4 and 16 MiB.
echo "making from inputs that hit slow paths, seconds per MiB (flat when linear):"
for kind in zeros words fresh; do
  line="  $kind:"
  for mb in 1 4 16; do
    size=$((mb << 20))
    case $kind in
      zeros) head -c "$size" /dev/zero >a.bin; head -c "$size" /dev/zero >b.bin ;;
      words)
        : >a.bin
        printf '\x27\xbd\xff\xe8' >b.bin
        while [ "$(wc -c <b.bin)" -lt "$size" ]; do cat b.bin b.bin >w.bin && mv w.bin b.bin; done
        ;;
      fresh) "$build/bench/data/bench_mkdata" mixed "$mb" a.bin; head -c "$size" /dev/urandom >b.bin ;;
    esac
    s=$(best_of_three "$bps" a.bin b.bin patch.bps)
    line="$line $(awk -v s="$s" -v mb="$mb" 'BEGIN { printf "%2d MiB %.4f s/MiB;", mb, s / mb }')"
  done
  echo "$line"
done

# Small-edit pairs of 1-2 MiB against the greedy comparator (env BPS_PAIRS: how many).
echo
"$build/bench/bps/bps_smalledit" "${BPS_PAIRS:-1000}"

if [ -x "$build/bench/bps/bps_bench" ]; then
  echo
  "$build/bench/bps/bps_bench" --benchmark_min_time=0.2
fi
