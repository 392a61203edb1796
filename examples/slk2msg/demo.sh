#!/usr/bin/env bash
# Compiles a SYLK table saved by a spreadsheet program (line numbers in column 1, messages in 2).
set -euo pipefail
echo "\$ slk2msg translation.slk"
"$BIN/slk2msg" translation.slk </dev/null
echo "translation.bin:"; od -An -tx1 translation.bin
echo "translation.tbl:"; od -An -tx1 translation.tbl
