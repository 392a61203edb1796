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
# 16 MiB, which stays flat when the cost is linear.
# Usage: report_growth <label> <make-input-command> <program and switches...>
# <make-input-command> is run as `<command> <MiB> <file>`.
report_growth() {
  local label=$1 make=$2
  shift 2
  local dir mb file best start end t
  dir=$(mktemp -d)
  for mb in 1 4 16; do
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
