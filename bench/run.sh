#!/usr/bin/env bash
# Runs every benchmark. Usage: bench/run.sh <build folder>
set -euo pipefail
build=$(cd "${1:-build}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
for script in "$here"/*/run.sh; do
  [ -f "$script" ] || continue
  echo "=== $(basename "$(dirname "$script")") ==="
  BUILD="$build" bash "$script"
  echo
done
