#!/usr/bin/env bash
# Writes game.z64: a made-up 1 MiB N64 image (not a game: a header, a counting pattern for its
# boot area and code) holding three made-up text files, compressed with yaz into Yaz0 (at
# 0x20000), Yay0 (at 0x48004) and MIO0 (at 0x70000), each padded to 16 bytes, then doubled with
# zeros as romext does.
# Needs $BIN (the built programs). Also used by the romput demo.
set -euo pipefail

printf '\x80\x37\x12\x40\x00\x00\x00\x0f\x80\x00\x04\x00\x00\x00\x14\x4b' > game.z64
printf '\x00%.0s' $(seq 16) >> game.z64
printf 'ROMSCAN DEMO IMAGE  \x00\x00\x00\x00\x00\x00\x00NRDE\x00' >> game.z64
# The rest of the first megabyte: 16-byte lines of a counting pattern.
awk 'BEGIN { for (i = 0; i < 65532; i++) printf "line %06d ...\n", i }' >> game.z64

sign=(A B C D E F G H)
{
  for i in $(seq 120); do echo "${sign[i % 8]}: the lantern shop opens at $((i % 12 + 1)) o'clock"; done
} > shop.txt
{
  for i in $(seq 200); do echo "day $i: the ferry crosses the marsh, fare $((i * 7 % 40)) coins"; done
} > ferry.txt
{
  for i in $(seq 90); do echo "letter $i: dear friend, the bridge is mended at last"; done
} > letter.txt
"$BIN/yaz" shop.txt > /dev/null
"$BIN/yaz" /y ferry.txt > /dev/null
"$BIN/yaz" /m letter.txt > /dev/null
# Each file padded with zeros to a multiple of 16 bytes, as the files of a ROM image are.
for f in shop.yaz0 ferry.yay0 letter.mio0; do
  head -c $(((16 - $(wc -c < "$f") % 16) % 16)) /dev/zero >> "$f"
done
dd if=shop.yaz0 of=game.z64 bs=4 seek=$((0x20000 / 4)) conv=notrunc status=none
dd if=ferry.yay0 of=game.z64 bs=4 seek=$((0x48004 / 4)) conv=notrunc status=none
dd if=letter.mio0 of=game.z64 bs=4 seek=$((0x70000 / 4)) conv=notrunc status=none
head -c $((1 << 20)) /dev/zero >> game.z64
rm -f shop.yaz0 ferry.yay0 letter.mio0
