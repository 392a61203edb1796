#!/usr/bin/env bash
# tex2png and png2tex on a 4096 x 4096 RGBA16 texture (32 MiB of texels) each way, in MB/s of
# texels: a drawn texture and noise; the conversions alone below.
# Usage: BUILD=<build folder> bench/tex2png/run.sh
set -euo pipefail
build=${BUILD:-build}
exe="$build/bench/tex2png/tex2png_bench"
if [ ! -x "$exe" ]; then
  echo "tex2png_bench not built (Google Benchmark missing?)"
  exit 0
fi
"$exe" --benchmark_format=csv --benchmark_min_time=1 --benchmark_repetitions=3 \
    --benchmark_report_aggregates_only=false 2>/dev/null |
  awk -F, '/^"BM_/ && $1 !~ /_(mean|median|stddev|cv)"/ {
      name = $1; gsub(/"|\/[0-9]+.*/, "", name); sub(/^BM_/, "", name)
      key = name " " $8
      if (!(key in best) || $6 > best[key]) best[key] = $6
      if (!(key in order)) { order[key] = ++n; keys[n] = key }
    }
    END { for (i = 1; i <= n; i++) printf "%-22s %7.0f MB/s of texels\n", keys[i], best[keys[i]] / 1048576 }' |
  tr -d '"'
