#!/usr/bin/env bash
# Conversion speed of greyconv for each menu key, in MB/s of image data (4096x4096, 16-bit).
# Usage: BUILD=<build folder> bench/greyconv/run.sh
set -euo pipefail
build=${BUILD:-build}
exe="$build/bench/greyconv/greyconv_bench"
if [ ! -x "$exe" ]; then
  echo "greyconv_bench not built (Google Benchmark missing?)"
  exit 0
fi
"$exe" --benchmark_format=csv --benchmark_min_time=0.5 2>/dev/null |
  awk -F, '/^"BM_Convert/ { printf "%-8s %8.0f MB/s   (target 500)\n", $8, $6 / 1e6 }' | tr -d '"'
