#!/bin/sh
# Counts the reports that tools/valgrind-runner.sh left in a folder: one per program run, empty
# when memcheck found nothing.
dir="$1"
runs=$(find "$dir" -name '*.log' | wc -l)
dirty=$(find "$dir" -name '*.log' -size +0 | wc -l)
echo "valgrind: $runs program runs, $dirty with memcheck errors or leaks"
find "$dir" -name '*.log' -size +0 -exec sh -c 'echo "== $1"; head -n 40 "$1"' _ {} \;
[ "$dirty" -eq 0 ]
