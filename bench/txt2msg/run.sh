#!/usr/bin/env bash
# txt2msg: the compile loop in memory (Google Benchmark), then the whole program on a 32 MiB dump.
set -euo pipefail
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -x "$build/bench/txt2msg/txt2msg_bench" ]; then
  "$build/bench/txt2msg/txt2msg_bench" --benchmark_min_time=1
fi
"$build/bench/txt2msg/txt2msg_make_dump" "$work/dump.txt" 32
bytes=$(stat -c %s "$work/dump.txt")
best=""
for i in 1 2 3; do
  start=$(date +%s.%N)
  "$build/bin/txt2msg" "$work/dump.txt" </dev/null >/dev/null
  end=$(date +%s.%N)
  t=$(echo "$end - $start" | bc -l)
  if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
done
echo "txt2msg end to end: $bytes bytes in ${best}s = $(echo "$bytes / $best / 1048576" | bc -l | cut -c1-6) MB/s"
