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
