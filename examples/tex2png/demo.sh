# Shows the texels of a made-up block (make_texture.sh) as PNG and TGA images. Sourced by
# examples/demo.sh (see lib.sh).
bash ./make_texture.sh
say "The IA8 sign at offset 0x40 of block.bin, 32 texels wide and 16 high"
run tex2png --format ia8 --width 32 --height 16 --offset 0x40 block.bin sign.png
made sign.png
say "Browsing: the whole block as one strip of I4 texels, 32 wide (the height runs to the end)"
run tex2png --format i4 --width 32 block.bin strip.png
say "The CI4 stripes with the palette that lies in the same file at 0x240"
run tex2png --format ci4 --width 16 --offset 0x260 --palette block.bin@0x240 block.bin stripes.png
say "A TGA for greyconv, whose key 1 (IA 8-bit) makes the same texels again"
run tex2png --tga --format ia8 --width 32 --height 16 --offset 64 block.bin sign.tga
run -q -i 1 greyconv sign.tga
dd if=block.bin of=texels.bin bs=1 skip=64 count=512 2>/dev/null
same sign.bin texels.bin
say "Many textures in one run: a list of offset, format, width, height, name (tab-separated)"
printf '0x40\tia8\t32\t16\tlist-sign.png\n0x260\tia8\t16\t4\tlist-stripes.png\n0x40\tia9\t8\t8\tx.png\n' >list.txt
run tex2png --list list.txt block.bin
