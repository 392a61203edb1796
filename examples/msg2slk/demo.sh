# Turns a message archive back into a SYLK table for a spreadsheet and compiles the table again:
# the same bytes come back. Sourced by examples/demo.sh (see lib.sh).
say "A shop's messages; a cell holds no ';' or kana: \$d is the game's semicolon, [h-ko] a kana"
made shop.bin shop.tbl
run msg2slk shop.bin
sed '1,2d; s/\r$//; s/^/    /' shop.slk
say "The table compiled again, in another folder: the same archive"
mkdir again && cp shop.slk again/
(cd again && run slk2msg shop.slk)
same shop.bin again/shop.bin
same shop.tbl again/shop.tbl
say "With /L the texts stand in column 1, without numbers (compile with slk2msg /L)"
run -i $'y\n' msg2slk /L shop.bin
sed -n 3p shop.slk | sed 's/\r$//; s/^/    /'
