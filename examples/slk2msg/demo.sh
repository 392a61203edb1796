# Compiles a SYLK table saved by a spreadsheet program (line numbers in column 1, messages in
# column 2). Sourced by examples/demo.sh (see lib.sh).
say "A table of $(grep -c '^C;X2;K"' translation.slk) messages, as a spreadsheet saved it"
grep '^C;X2;K"' translation.slk | sed -n 1,2p | sed 's/\r$//; s/^/    /'
run slk2msg translation.slk
made translation.bin translation.tbl
