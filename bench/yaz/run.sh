#!/usr/bin/env bash
# The yaz benchmark: whole runs of the program (reading the input, compressing, writing the file),
# best of ROUNDS (3). Rates are MiB of input per second; the ratio is the output's size as a share
# of the input's. Env BUILD = build folder; BEFORE = another yaz program (an earlier build, say)
# timed in the same run, on the same inputs, for a before-and-after comparison.
#  1. the 64 MiB mixed file against the reference hash-chain encoder (bench/yaz/reference.cpp) at
#     its levels 1 to 9;
#  2. generated 64 MiB inputs (mixed text and machine code, all zeros, random bytes), both modes
#     and both formats;
#  3. inputs built against match finders (bench/yaz/mkhostile.cpp) at 16 and 64 MiB: the rate
#     stays the same when the time is linear.
set -euo pipefail
build=$(cd "${BUILD:-build}" && pwd)
rounds=${ROUNDS:-3}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
programs=("$build/bin/yaz")
[ -n "${BEFORE:-}" ] && programs+=("$(cd "$(dirname "$BEFORE")" && pwd)/$(basename "$BEFORE")")

# Nanoseconds (best of `rounds`) for one run; the output is removed first, so no question is asked.
best_time() {
  local best="" start end t
  for _ in $(seq "$rounds"); do
    rm -f "$work/out"
    start=$(date +%s%N)
    "$@" "$work/out" </dev/null >/dev/null
    end=$(date +%s%N)
    t=$(( end - start ))
    if [ -z "$best" ] || [ "$t" -lt "$best" ]; then best=$t; fi
  done
  echo "$best"
}

# report <label> <MiB> <ns>: the rate and the output's size.
report() {
  awk -v l="$1" -v mib="$2" -v ns="$3" -v out="$(wc -c < "$work/out")" 'BEGIN {
    printf "  %-34s %7.1f MiB/s  (%6.2f s, %11d bytes, %.2f %%)\n", l, mib / (ns / 1e9),
           ns / 1e9, out, 100 * out / (mib * 1048576) }'
}

label_of() { [ "$1" = "${programs[0]}" ] && echo "yaz" || echo "before"; }

"$build/bench/data/bench_mkdata" mixed 64 "$work/mixed.bin"
echo "64 MiB mixed, the reference encoder and yaz:"
for level in 1 2 3 4 5 6 7 8 9; do
  report "reference level $level" 64 "$(best_time "$build/bench/yaz/yaz_reference" "$level" "$work/mixed.bin")"
done
for yaz in "${programs[@]}"; do
  report "$(label_of "$yaz") classic (/c)" 64 "$(best_time "$yaz" /c "$work/mixed.bin")"
  report "$(label_of "$yaz") best" 64 "$(best_time "$yaz" "$work/mixed.bin")"
done

echo "whole process, 64 MiB of input:"
for kind in mixed zeros random; do
  [ -f "$work/$kind.bin" ] || "$build/bench/data/bench_mkdata" "$kind" 64 "$work/$kind.bin"
  for yaz in "${programs[@]}"; do
    for mode in best classic; do
      for format in yaz0 yay0; do
        switches=()
        [ "$mode" = classic ] && switches+=(/c)
        [ "$format" = yay0 ] && switches+=(/y)
        report "$(label_of "$yaz") $kind $mode $format" 64 \
          "$(best_time "$yaz" "${switches[@]}" "$work/$kind.bin")"
      done
    done
  done
  rm -f "$work/$kind.bin"
done

echo "inputs built against match finders (MB/s is MiB/s here):"
for kind in bucket prefix runs; do
  for mib in 16 64; do
    "$build/bench/yaz/yaz_mkhostile" "$kind" "$mib" "$work/$kind.bin"
    for yaz in "${programs[@]}"; do
      report "$(label_of "$yaz") $kind $mib MiB classic" "$mib" "$(best_time "$yaz" /c "$work/$kind.bin")"
      report "$(label_of "$yaz") $kind $mib MiB best" "$mib" "$(best_time "$yaz" "$work/$kind.bin")"
    done
    rm -f "$work/$kind.bin"
  done
done
