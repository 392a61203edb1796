#!/usr/bin/env bash
# Compiles a small dialogue dump (kana, escapes, hex runs, tags) into an archive, in both index forms.
set -euo pipefail
echo "\$ txt2msg dialogue.txt"
"$BIN/txt2msg" dialogue.txt </dev/null
echo "dialogue.bin:"; od -An -tx1 dialogue.bin
echo "dialogue.tbl (running end offsets, then 0):"; od -An -tx1 dialogue.tbl
echo "\$ txt2msg /o dialogue.txt"
"$BIN/txt2msg" /o dialogue.txt </dev/null
echo "dialogue.off (message lengths):"; od -An -tx1 dialogue.off
