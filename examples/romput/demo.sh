# Edits one file of a made-up image and puts it back, first alone and then through the list
# romscan wrote; a file too large for its slot is refused with the command that puts it into the
# free area. Sourced by examples/demo.sh (see lib.sh).
bash "$here/romscan/make_image.sh"
"$BIN/romscan" --extract files game.z64 > /dev/null
cp game.z64 before.z64
say "One file edited and put back into its block's slot, compressed as the block was"
sed -i 's/lantern/candle/' files/00020000.bin
run romput game.z64 0x20000 files/00020000.bin
echo "  = $(cmp -l before.z64 game.z64 | wc -l | tr -d ' ') bytes changed, all in the slot at 0x20000"
say "Through the list: only the files that changed go back, all or none"
sed -i 's/ferry/barge/' files/00048004.bin
run romput game.z64 --list files/list.tsv
say "Too large for its slot: refused, with the command for the free area"
awk '{ print $0, NR * 7919 % 10007, NR * 104729 % 99991 }' shop.txt > shop-long.txt
run romput game.z64 0x20000 shop-long.txt
say "The free area takes it; the game's own file table must then point there"
run romput --yaz0 game.z64 end shop-long.txt
run -q romscan game.z64
"$BIN/romscan" game.z64 | sed -n '4,6p' | sed 's/^/  | /'
