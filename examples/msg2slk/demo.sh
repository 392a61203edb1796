#!/usr/bin/env bash
# Turns a message archive (shop.bin and its table shop.tbl) back into a SYLK table for a
# spreadsheet, then compiles the table again: the same bytes come back. Env BIN = folder of the
# built programs.
set -euo pipefail
echo "\$ msg2slk shop.bin"
"$BIN/msg2slk" shop.bin </dev/null
cat shop.slk
echo
echo "\$ slk2msg shop.slk     # in another folder"
mkdir again && cp shop.slk again/
(cd again && "$BIN/slk2msg" shop.slk </dev/null)
cmp shop.bin again/shop.bin && cmp shop.tbl again/shop.tbl &&
  echo "again/shop.bin and again/shop.tbl: the same bytes as the archive"
echo
echo "\$ msg2slk /L shop.bin     # texts in column 1, no numbers (shop.slk exists: answered y)"
printf 'y\n' | "$BIN/msg2slk" /L shop.bin
echo
head -n 4 shop.slk
(cd again && cp ../shop.slk texts.slk && "$BIN/slk2msg" /L texts.slk </dev/null)
cmp shop.bin again/texts.bin && echo "slk2msg /L gives the same bytes again"
