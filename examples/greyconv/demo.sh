#!/usr/bin/env bash
# greyconv on the sample images, with the menu keys piped in.
set -euo pipefail
show() { echo "--- $1 ($(wc -c < "$1") bytes)"; od -An -tx1 "$1"; }

echo "# leaf.tga (16-bit grey with alpha), key 1: IA 8-bit"
printf '1' | "$BIN/greyconv" leaf.tga
show leaf.bin

echo
echo "# leaf.tga again, key 2: IA 4-bit (replaces leaf.bin)"
printf '2' | "$BIN/greyconv" leaf.tga > /dev/null
show leaf.bin

echo
echo "# ramp.tga (8-bit grey, no footer), key 5: I 4-bit; 'x' only shows the menu again"
printf 'x5' | "$BIN/greyconv" ramp.tga > /dev/null
show ramp.bin

echo
echo "# space at the menu quits without writing anything"
rm ramp.bin
status=0
printf ' ' | "$BIN/greyconv" ramp.tga > /dev/null || status=$?
echo "status $status; ramp.bin written: $([ -e ramp.bin ] && echo yes || echo no)"

echo
echo "# a run-length encoded image is refused"
printf '\0\0\x0b\0\0\0\0\0\0\0\0\0\x08\0\x04\0\x08\0\x9f\x80' > packed.tga
status=0
"$BIN/greyconv" packed.tga < /dev/null || status=$?
echo
echo "status $status"
