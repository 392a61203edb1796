#!/usr/bin/env bash
# Runs every tool on its bundled example. Usage: examples/demo.sh <folder of built programs>
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for demo in "$here"/*/demo.sh; do
  [ -f "$demo" ] || continue
  name=$(basename "$(dirname "$demo")")
  echo "=== $name ==="
  mkdir -p "$out/$name"
  cp -r "$(dirname "$demo")"/. "$out/$name/"
  (cd "$out/$name" && BIN="$bin" bash ./demo.sh)
  echo
done
