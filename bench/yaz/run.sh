#!/usr/bin/env bash
# The yaz benchmark: whole runs of the program (reading the input, compressing, writing the file)
# on generated 64 MiB inputs (mixed text and machine code, all zeros, random bytes), both modes
# and both formats, best of three. Rates are MiB of input per second; the ratio is the output's
# size as a share of the input's. Env BUILD = build folder.
set -euo pipefail
build=$(cd "${BUILD:-build}" && pwd)
yaz="$build/bin/yaz"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Seconds (best of three) for one run; the output is removed first, so no question is asked.
best_time() {
  local best="" start end t
  for _ in 1 2 3; do
    rm -f "$work/out"
    start=$(date +%s%N)
    "$yaz" "$@" "$work/out" </dev/null >/dev/null
    end=$(date +%s%N)
    t=$(( end - start ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}

echo "whole process, 64 MiB of input:"
for kind in mixed zeros random; do
  "$build/bench/data/bench_mkdata" "$kind" 64 "$work/$kind.bin"
  for mode in best classic; do
    for format in yaz0 yay0; do
      switches=()
      [ "$mode" = classic ] && switches+=(/c)
      [ "$format" = yay0 ] && switches+=(/y)
      ns=$(best_time "${switches[@]}" "$work/$kind.bin")
      awk -v k="$kind" -v m="$mode" -v f="$format" -v ns="$ns" \
          -v out="$(wc -c < "$work/out")" 'BEGIN {
        printf "  %-7s %-8s %s %7.1f MiB/s  (%5.2f s, %.2f %%)\n", k, m, f, 64 / (ns / 1e9),
               ns / 1e9, 100 * out / (64 * 1048576) }'
    done
  done
done
