#!/usr/bin/env bash
# Runs every tool on its bundled example, in a scratch folder, and shows what each command made.
# Usage: examples/demo.sh <folder of built programs>
set -euo pipefail
BIN=$(cd "${1:-build/bin}" && pwd)
export BIN
here=$(cd "$(dirname "$0")" && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
seen=""
# The programs in the build's order (the list in the top CMakeLists.txt, written to programs.txt
# beside bin/); any other example folder after them.
order=$(cat "$BIN/../programs.txt")
for name in $order $(ls "$here"); do
  demo="$here/$name/demo.sh"
  [ -f "$demo" ] || continue
  case " $seen " in *" $name "*) continue ;; esac
  seen="$seen $name"
  echo "=== $name ==="
  mkdir -p "$out/$name"
  cp -r "$(dirname "$demo")"/. "$out/$name/"
  (cd "$out/$name" && . "$here/lib.sh" && . ./demo.sh)
  echo
done
echo "All examples ran. The programs are in $BIN; 'make install' puts them in /usr/local/bin."
