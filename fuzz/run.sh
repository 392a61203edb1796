#!/usr/bin/env bash
# Runs the fuzz harnesses built in BUILD (default build-fuzz).
#   fuzz/run.sh [BUILD] [SECONDS] [harness...]
# Each harness first replays its seed corpus (fuzz/corpus/<harness>/) and its regression inputs
# (fuzz/regressions/<harness>/), then fuzzes for SECONDS (default 60; 0: replay only), growing a
# working corpus in BUILD/corpus/<harness>/. A crash, a leak, a time-out or a broken invariant
# leaves its input in BUILD/artifacts/<harness>/ and makes the run fail; the input then goes into
# fuzz/regressions/<harness>/ (with the fix), where every later run replays it.
set -uo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
build="$(cd "${1:-build-fuzz}" && pwd)"
seconds="${2:-60}"
shift $(( $# > 2 ? 2 : $# ))
harnesses=("$@")
if [ ${#harnesses[@]} -eq 0 ]; then
  for bin in "$build"/bin/fuzz_*; do harnesses+=("$(basename "$bin" | sed 's/^fuzz_//')"); done
fi

failed=()
summary=()
for h in "${harnesses[@]}"; do
  bin="$build/bin/fuzz_$h"
  if [ ! -x "$bin" ]; then echo "fuzz: no harness $bin" >&2; failed+=("$h"); continue; fi
  options=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=1024)
  case "$h" in
    tag | txt2msg | sylk) options+=(-dict="$here/dict/messages.dict") ;;
    msg2txt | msg2slk) options+=(-dict="$here/dict/archives.dict") ;;
  esac
  mkdir -p "$build/corpus/$h" "$build/artifacts/$h" "$build/logs" "$here/regressions/$h"
  log="$build/logs/$h.log"

  # The seeds (the harness's own, and folders of the examples and tests that it shares, listed by
  # the build) and every earlier finding, each input once.
  seeds=()
  [ -d "$here/corpus/$h" ] && seeds+=("$here/corpus/$h")
  if [ -f "$build/fuzz-seeds/$h" ]; then
    while IFS= read -r folder; do [ -n "$folder" ] && seeds+=("$folder"); done <"$build/fuzz-seeds/$h"
  fi
  mapfile -t inputs < <(find "${seeds[@]}" "$here/regressions/$h" -type f ! -name '*.md' | sort)
  if [ ${#inputs[@]} -gt 0 ]; then
    if ! "$bin" "${options[@]}" "${inputs[@]}" >"$log" 2>&1; then
      echo "fuzz: $h fails on a seed or regression input; see $log" >&2
      tail -n 30 "$log" >&2
      failed+=("$h")
      continue
    fi
  fi
  [ "$seconds" -gt 0 ] || { summary+=("$h: ${#inputs[@]} inputs replayed"); continue; }

  if ! "$bin" "${options[@]}" -max_total_time="$seconds" -print_final_stats=1 \
       -artifact_prefix="$build/artifacts/$h/" "$build/corpus/$h" "${seeds[@]}" \
       "$here/regressions/$h" >>"$log" 2>&1; then
    echo "fuzz: $h found a fault; the log is $log, the input:" >&2
    grep -E 'Test unit written to|invariant broken|ERROR:|SUMMARY:' "$log" | tail -n 6 >&2
    failed+=("$h")
    continue
  fi
  execs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | tail -n 1 | grep -o '[0-9]*$')
  cov=$(grep -Eo 'DONE +cov: [0-9]+ ft: [0-9]+' "$log" | tail -n 1 | sed 's/DONE *//')
  summary+=("$h: ${execs:-?} executions in ${seconds} s, ${cov:-cov ?}, ${#inputs[@]} inputs replayed")
done

printf 'fuzz: %s\n' "${summary[@]}"
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz: FAILED: ${failed[*]}" >&2
  exit 1
fi
