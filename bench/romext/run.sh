#!/usr/bin/env bash
# Times romext against cp and dd conv=swab on the same 64 MiB 16-bit-swapped image, side by side,
# and runs the straightening kernel benchmark. Env BUILD = build folder.
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
bench_setup romext
romext="$build/bin/romext"

size=$((64 << 20))
rounds=11
head -c "$size" /dev/urandom > image.v64
printf '\x37\x80\x40\x12' | dd of=image.v64 bs=4 count=1 conv=notrunc status=none
cat image.v64 > /dev/null  # into the page cache

run_cp() { cp image.v64 out.bin; }
run_dd() { dd if=image.v64 of=out.bin conv=swab bs=1M status=none; }
# The answers come through a pipe (bash passes a short here-string through one) without an extra
# process: y straightens, y extends, the empty line ends the final wait.
run_romext() { "$romext" image.v64 <<< $'y\ny\n' > /dev/null; }

# The three run in turn in every round, so a busy machine slows them alike; each keeps its fastest
# round. Outputs are removed between runs, outside the timing.
cp_us=0 dd_us=0 romext_us=0  # microseconds (bash 5 clock, no extra process)
keep_best() {  # keep_best <variable> <command>
  local start end took
  rm -f out.bin image-ext.n64
  start=${EPOCHREALTIME/./}
  "$2"
  end=${EPOCHREALTIME/./}
  took=$((end - start))
  if [ "${!1}" -eq 0 ] || [ "$took" -lt "${!1}" ]; then printf -v "$1" '%s' "$took"; fi
}
for _ in $(seq "$rounds"); do
  keep_best cp_us run_cp
  keep_best dd_us run_dd
  keep_best romext_us run_romext
done
[ "$(stat -c %s image-ext.n64 2>/dev/null || wc -c < image-ext.n64)" -eq $((2 * size)) ] || {
  echo "romext did not write the doubled image" >&2
  exit 1
}

mbps() { awk -v b="$size" -v us="$1" 'BEGIN { printf "%.0f", b / us }'; }
cp_rate=$(mbps "$cp_us")
dd_rate=$(mbps "$dd_us")
romext_rate=$(mbps "$romext_us")
echo "64 MiB 16-bit-swapped image, best of $rounds, MB/s of input (1 MB = 10^6 bytes):"
printf '  %-40s %6s MB/s\n' "cp" "$cp_rate" \
  "dd conv=swab bs=1M" "$dd_rate" \
  "romext (straighten + extend to 128 MiB)" "$romext_rate"
awk -v r="$romext_rate" -v c="$cp_rate" -v d="$dd_rate" 'BEGIN {
  printf "  romext / cp = %.2f (target >= 0.50), romext / dd = %.2f (target >= 1.00)\n", r / c, r / d
}'

if [ -x "$build/bench/romext/romext_bench" ]; then
  echo
  "$build/bench/romext/romext_bench" --benchmark_min_time=0.2
fi
