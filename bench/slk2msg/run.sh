#!/usr/bin/env bash
# slk2msg: the table reader in memory (Google Benchmark), then the whole program on a
# 100,000-row table.
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -x "$build/bench/slk2msg/slk2msg_bench" ]; then
  "$build/bench/slk2msg/slk2msg_bench" --benchmark_min_time=1
fi
"$build/bench/slk2msg/slk2msg_make_table" "$work/table.slk" 100000
bytes=$(stat -c %s "$work/table.slk")
report_mbps "slk2msg end to end" "$bytes" "$build/bin/slk2msg" "$work/table.slk"

# Values that each look for the same far-away quotation mark or ']'.
number_cells() { repeat_lines 'C;X2;K1' "$@"; }
open_tags() { repeat_lines 'C;X2;K"[x"' "$@"; }
report_growth "slk2msg, number cells without a quoted text" number_cells "$build/bin/slk2msg"
report_growth "slk2msg, text cells with an unclosed '['" open_tags "$build/bin/slk2msg"
