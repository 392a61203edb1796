#!/usr/bin/env bash
# txt2msg: the compile loop in memory (Google Benchmark), then the whole program on a 32 MiB dump.
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -x "$build/bench/txt2msg/txt2msg_bench" ]; then
  "$build/bench/txt2msg/txt2msg_bench" --benchmark_min_time=1
fi
"$build/bench/txt2msg/txt2msg_make_dump" "$work/dump.txt" 32
bytes=$(stat -c %s "$work/dump.txt")
report_mbps "txt2msg end to end" "$bytes" "$build/bin/txt2msg" "$work/dump.txt"

# Lines that each open a tag that no later byte closes: every message looks for the same far-away
# ']'.
unclosed_tags() { repeat_lines '1\t[' "$@"; }
report_growth "txt2msg, an unclosed '[' on every line" unclosed_tags "$build/bin/txt2msg" /Q
