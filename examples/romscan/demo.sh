# Scans a made-up image (three compressed files, one of each format, and the zeros of a doubled
# image), then writes the files expanded with the list that romput reads back. Sourced by
# examples/demo.sh (see lib.sh).
bash ./make_image.sh
say "The blocks of the image, each checked by a trial decode, and the free area at its end"
run romscan game.z64
say "The same as tab-separated rows, for scripts and spreadsheets"
run romscan --tsv game.z64
say "Each block expanded into a folder, with the list romput --list reads back"
echo '$ romscan --extract files game.z64'
"$BIN/romscan" --extract files game.z64 < /dev/null 2>&1 | tail -n 1 | sed 's/^/  | (the report, then) /'
sed -n '2,3p' files/list.tsv | sed 's/^/  list.tsv: /'
same files/00020000.bin shop.txt
say "A byte-swapped copy gives the same offsets: those of the native image"
dd if=game.z64 of=game.v64 conv=swab status=none
run -q romscan game.v64
"$BIN/romscan" game.v64 | sed -n '1,2p' | sed 's/^/  | /'
