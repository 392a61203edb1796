#!/usr/bin/env bash
# tex2png and png2tex on a 4096 x 4096 RGBA16 texture (32 MiB of texels) each way, in MB/s of
# texels by processor time and by the clock (the best of the runs), and the PNG's size: a drawn
# texture and noise; the conversions alone below.
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
      scale = $5 == "ms" ? 1e3 : $5 == "us" ? 1e6 : $5 == "ns" ? 1e9 : 1
      mb = 32 * scale
      if (!(key in cpu) || mb / $4 > cpu[key]) cpu[key] = mb / $4
      if (!(key in wall) || mb / $3 > wall[key]) wall[key] = mb / $3
      if ($11 != "") size[key] = $11
      if (!(key in order)) { order[key] = ++n; keys[n] = key }
    }
    END {
      for (i = 1; i <= n; i++) {
        k = keys[i]
        printf "%-22s %5.0f MB/s of texels (processor), %5.0f (clock)", k, cpu[k], wall[k]
        if (k in size) printf ", PNG %.0f bytes", size[k]
        printf "\n"
      }
    }' |
  tr -d '"'
