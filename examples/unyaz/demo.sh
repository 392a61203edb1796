# Expands the sample files: lantern.szs (Yaz0), lantern.yay (Yay0, the same contents), marsh.cmp
# (another signature: the older 12-byte header) and cut.szs (a Yaz0 file cut short). Sourced by
# examples/demo.sh (see lib.sh).
say "Yaz0: the output is named after the input"
run unyaz lantern.szs
made "lantern new.bin"
echo "  text: $(head -c 60 "lantern new.bin" | tr '\n' ' ')..."
say "Yay0, with an output name"
run unyaz lantern.yay from-yay0.bin
same "lantern new.bin" from-yay0.bin
say "Another signature: the space bar decodes it anyway (any other key quits)"
run -i ' ' unyaz marsh.cmp
same "lantern new.bin" "marsh new.bin"
say "A file that ends early: the bytes produced so far are kept"
run unyaz cut.szs
made "cut new.bin"
