#!/usr/bin/env bash
# clang-tidy (configured by .clang-tidy) over the sources of the tree.
#   tools/tidy.sh JOBS BUILD... (folders with a compile_commands.json)
# Each source file is checked once, with the flags of the first build that compiles it. Any finding
# fails the run (WarningsAsErrors).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$1"
shift
tidy="$(command -v clang-tidy-14 || command -v clang-tidy)"
seen=()
status=0
for build in "$@"; do
  db="$build/compile_commands.json"
  mapfile -t files < <(python3 - "$db" "$root" "${seen[@]}" <<'PY'
import json, sys
db, root, seen = sys.argv[1], sys.argv[2], set(sys.argv[3:])
for f in sorted({e["file"] for e in json.load(open(db))}):
    if f.startswith(root + "/") and "/build" not in f[len(root):] and f not in seen:
        print(f)
PY
)
  [ ${#files[@]} -gt 0 ] || continue
  seen+=("${files[@]}")
  printf '%s\n' "${files[@]}" | xargs -P "$jobs" -n 4 "$tidy" -p "$build" --quiet || status=1
done
[ "$status" -eq 0 ] && echo "tidy: ${#seen[@]} files clean"
exit "$status"
