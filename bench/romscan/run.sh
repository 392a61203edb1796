#!/usr/bin/env bash
# The romscan benchmarks: the scan alone in memory (Google Benchmark), then whole romscan runs on
# a made-up 64 MiB image with 2,000 blocks (target: under 1 s) and on 64 MiB of random bytes with
# a header that is no block at every 16th byte, best of five; then images of headers that decode
# for long, 1 to 64 MiB (seconds per MiB: flat when the cost is linear). Env BUILD = build folder.
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
bench_setup romscan
tools="$build/bench/romscan"

if [ -x "$tools/romscan_bench" ]; then
  "$tools/romscan_bench" --benchmark_min_time=0.5
else
  echo "(Google Benchmark not found: the in-memory benchmark not built)"
fi

"$tools/romscan_mkimage" blocks 64 2000 blocks.z64
"$tools/romscan_mkimage" fakes 64 fakes.bin
cat blocks.z64 fakes.bin > /dev/null  # into the page cache
echo
echo "whole process, 64 MiB, best of 5 (1 MB = 10^6 bytes):"
for image in blocks.z64 fakes.bin; do
  fastest_us 5 "$build/bin/romscan" "$image"
  awk -v label="$image" -v b=$((64 << 20)) -v us="$best_us" \
    'BEGIN { printf "  %-12s %7.1f ms %8.0f MB/s\n", label, us / 1000, b / us }'
done
"$build/bin/romscan" blocks.z64 | tail -n 3 | sed 's/^/  /'
echo
echo "headers that decode for long, whole process, best of 3:"
for kind in padding yay0 mio0; do
  GROWTH_MIB="1 4 16 64" report_growth "  $kind" "$tools/romscan_mkimage $kind" "$build/bin/romscan"
done
