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
# The message tools first, then the asset tools; any other example folder after them.
order="txt2msg slk2msg msg2txt msg2slk unyaz yaz greyconv romext romcrc bps"
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
