# Turns a message archive back into a text dump and compiles the dump again: the same bytes come
# back. Sourced by examples/demo.sh (see lib.sh).
say "An archive with kana, symbols, tags, an empty message, and bytes that no text names"
made village.bin village.tbl
run msg2txt village.bin
sed 's/^\xEF\xBB\xBF//; s/\r$//; s/^/    /' village.txt
say "The dump compiled again, in another folder: the same archive"
mkdir again && cp village.txt again/
(cd again && run txt2msg village.txt)
same village.bin again/village.bin
same village.tbl again/village.tbl
say "Once more: the dump exists now, so msg2txt asks before it replaces it"
run -i $'n\nsecond.txt\n' msg2txt village.bin
same village.txt second.txt
