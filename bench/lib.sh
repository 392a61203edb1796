# Shared by the benchmark scripts: best-of-three wall time of a command, reported in MB/s.
# Usage: report_mbps <label> <bytes> <command...>
report_mbps() {
  local label=$1 bytes=$2
  shift 2
  local best="" start end t
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" </dev/null >/dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%s: %s bytes in %.3fs = %.1f MB/s\n' "$label" "$bytes" "$best" \
    "$(echo "$bytes / $best / 1048576" | bc -l)"
}

# Inputs built to hit slow paths: best-of-three seconds per MiB of input for inputs of 1, 4 and
# 16 MiB (env GROWTH_MIB: other sizes), which stays flat when the cost is linear.
# Usage: report_growth <label> <make-input-command> <program and switches...>
# <make-input-command> is run as `<command> <MiB> <file>`.
report_growth() {
  local label=$1 make=$2
  shift 2
  local dir mb file best start end t
  dir=$(mktemp -d)
  for mb in ${GROWTH_MIB:-1 4 16}; do
    file="$dir/input$mb"
    $make "$mb" "$file"
    best=""
    for _ in 1 2 3; do
      start=$(date +%s.%N)
      "$@" "$file" </dev/null >/dev/null 2>&1 || true
      end=$(date +%s.%N)
      t=$(echo "$end - $start" | bc -l)
      if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
    done
    printf '%s, %2d MiB: %.3fs = %.4f s/MB\n' "$label" "$mb" "$best" "$(echo "$best / $mb" | bc -l)"
  done
  rm -rf "$dir"
}

# Writes <MiB> MiB of `line` repeated: repeat_lines <line> <MiB> <file> (the line may hold \t).
repeat_lines() {
  awk -v line="$1" -v size=$(($2 << 20)) \
    'BEGIN { n = 0; while (n < size) { printf "%s\n", line; n += length(line) + 1 } }' >"$3"
}

# The start of a whole-program benchmark: `build` (absolute, from env BUILD) and a scratch folder
# `work`, removed at the end, as the current folder.
# Usage: bench_setup <name>
bench_setup() {
  build=$(cd "${BUILD:-build}" && pwd)
  work=$(mktemp -d "${TMPDIR:-/tmp}/$1-bench.XXXXXX")
  trap 'rm -rf "$work"' EXIT
  cd "$work"
}

# The fastest of <rounds> runs of a command in microseconds, in `best_us` (bash 5's clock, no
# extra process). out.bin and patch.bps are removed before each run, outside the timing; a status
# of 1 counts as a run (a checker's "wrong").
# Usage: fastest_us <rounds> <command...>
fastest_us() {
  local rounds=$1 start end took
  shift
  best_us=0
  for _ in $(seq "$rounds"); do
    rm -f out.bin patch.bps
    start=${EPOCHREALTIME/./}
    "$@" </dev/null >/dev/null || [ $? -eq 1 ]
    end=${EPOCHREALTIME/./}
    took=$((end - start))
    if [ "$best_us" -eq 0 ] || [ "$took" -lt "$best_us" ]; then best_us=$took; fi
  done
}
