#!/usr/bin/env bash
# Runs unyaz on the sample files (made with the test encoder in tests/unyaz): lantern.szs (Yaz0),
# lantern.yay (Yay0, same contents), marsh.cmp (another signature, forced layout) and cut.szs (a
# Yaz0 file cut short). Env BIN = folder of the built programs.
set -uo pipefail
unyaz="$BIN/unyaz"

step() { printf '\n$ %s\n' "$*"; }
status() { echo "(exit status $1)"; }

step unyaz lantern.szs
"$unyaz" lantern.szs; status $?
head -c 120 "lantern new.bin"; echo "..."
od -An -tx1 "lantern new.bin" | tail -n 3

step unyaz lantern.yay from-yay0.bin
"$unyaz" lantern.yay from-yay0.bin; status $?
cmp "lantern new.bin" from-yay0.bin && echo "same bytes as the Yaz0 file gave"

step "printf ' ' | unyaz marsh.cmp     # space bar: decode in the forced layout"
printf ' ' | "$unyaz" marsh.cmp; rc=$?; echo; status $rc
cmp "lantern new.bin" "marsh new.bin" && echo "same bytes again"

step "printf 'q' | unyaz marsh.cmp forced.bin     # any other key: quit, nothing written"
printf 'q' | "$unyaz" marsh.cmp forced.bin; rc=$?; echo; status $rc
ls forced.bin 2>/dev/null || echo "forced.bin was not made"

step "unyaz cut.szs     # the file ends early: the bytes produced so far are kept"
"$unyaz" cut.szs; status $?
echo "cut new.bin holds $(wc -c < "cut new.bin") bytes:"; head -c 60 "cut new.bin"; echo

step "printf 'lantern.szs\\nagain.bin\\n' | unyaz lantern.szs lantern.szs     # never over the input"
printf 'lantern.szs\nagain.bin\n' | "$unyaz" lantern.szs lantern.szs; status $?
cmp "lantern new.bin" again.bin && echo "again.bin written; lantern.szs untouched ($(wc -c < lantern.szs) bytes)"
