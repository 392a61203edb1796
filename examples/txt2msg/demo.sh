# Compiles a small dialogue dump (kana, escapes, hex runs, tags) into a message archive, in both
# index forms. Sourced by examples/demo.sh (see lib.sh).
say "A dump with a byte-order mark, line numbers and CRLF line ends: $(wc -l <dialogue.txt) messages"
sed -n 1,2p dialogue.txt | sed 's/^\xEF\xBB\xBF//; s/\r$//; s/^/    /'
run txt2msg dialogue.txt
made dialogue.bin dialogue.tbl
say "The same with /o: an offset file (message lengths) instead of the table (end offsets)"
run txt2msg /o dialogue.txt
made dialogue.off
