#!/usr/bin/env bash
# Turns a message archive (village.bin and its table village.tbl) back into a text dump and compiles
# the dump again: the same bytes come back. The archive holds kana, symbols, tags, an empty
# message, and bytes no text names (a control byte, 0x80, an unknown control code and one cut
# short), which the dump keeps as hex runs. Env BIN = folder of the built programs.
set -euo pipefail
echo "\$ msg2txt village.bin"
"$BIN/msg2txt" village.bin </dev/null
cat village.txt
echo
echo "\$ txt2msg village.txt     # in another folder"
mkdir again && cp village.txt again/
(cd again && "$BIN/txt2msg" village.txt </dev/null)
cmp village.bin again/village.bin && cmp village.tbl again/village.tbl &&
  echo "again/village.bin and again/village.tbl: the same bytes as the archive"
echo
echo "\$ msg2txt village.bin     # once more: the dump exists, so it asks (answered n, then a name)"
printf 'n\nsecond.txt\n' | "$BIN/msg2txt" village.bin
echo
cmp village.txt second.txt && echo "second.txt is the same dump"
