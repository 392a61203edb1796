#!/usr/bin/env bash
# The unyaz benchmarks: the decode loop alone (Google Benchmark), then whole unyaz runs (reading
# the file, decoding, writing the output) on generated 64 MiB files, best of five. The whole
# run depends on the kernel's page cache: on a busy machine its figures spread widely.
# Env BUILD = build folder. Rates are MiB of output per second.
set -euo pipefail
build=$(cd "${BUILD:-build}" && pwd)
bench="$build/bench/unyaz"

if [ -x "$bench/unyaz_bench" ]; then
  "$bench/unyaz_bench"
else
  echo "(Google Benchmark not found: decode-loop benchmark not built)"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo
echo "whole process, 64 MiB of output:"
for kind in mixed zeros random; do
  "$bench/unyaz_mkdata" "$kind" 64 yaz0 "$work/$kind.szs" 2>/dev/null
  best=0
  for _ in 1 2 3 4 5; do
    rm -f "$work/$kind.out"  # a new output each time, as in most runs
    start=$(date +%s%N)
    "$build/bin/unyaz" "$work/$kind.szs" "$work/$kind.out"
    took=$(( $(date +%s%N) - start ))
    if [ "$best" -eq 0 ] || [ "$took" -lt "$best" ]; then best=$took; fi
  done
  rm -f "$work/$kind.out"
  awk -v k="$kind" -v ns="$best" -v in_size="$(wc -c < "$work/$kind.szs")" 'BEGIN {
    printf "  %-7s %8.1f MiB/s  (%.0f ms, ratio %.2f:1)\n", k, 64 / (ns / 1e9), ns / 1e6,
           64 * 1048576 / in_size }'
done
