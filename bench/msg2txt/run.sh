#!/usr/bin/env bash
# msg2txt and msg2slk: decompiling in memory (Google Benchmark), then both programs end to end on
# the archive compiled from the 32 MiB txt2msg benchmark dump. Rates are of body bytes.
set -euo pipefail
. "$(dirname "$0")/../lib.sh"
build=${BUILD:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if [ -x "$build/bench/msg2txt/msg2txt_bench" ]; then
  "$build/bench/msg2txt/msg2txt_bench" --benchmark_min_time=1
fi
build=$(cd "$build" && pwd)
"$build/bench/txt2msg/txt2msg_make_dump" "$work/dump.txt" 32
(cd "$work" && "$build/bin/txt2msg" dump.txt </dev/null && rm dump.txt)
bytes=$(stat -c %s "$work/dump.bin")
# Each run writes a new file: the old one is removed first, so that no run asks to replace it.
decompile() { (cd "$work" && rm -f dump.txt dump.slk && "$@" dump.bin); }
report_mbps "msg2txt end to end" "$bytes" decompile "$build/bin/msg2txt"
report_mbps "msg2slk end to end" "$bytes" decompile "$build/bin/msg2slk"
