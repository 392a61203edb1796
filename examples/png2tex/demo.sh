# Turns images that tex2png made back into texels, the same bytes. The made-up block is the one
# the tex2png demo made (examples/tex2png/make_texture.sh). Sourced by examples/demo.sh (see lib.sh).
bash ../tex2png/make_texture.sh .
B=$BIN
"$B/tex2png" --format ia8 --width 32 --height 16 --offset 64 block.bin sign.png >/dev/null
"$B/tex2png" --format ci4 --width 16 --offset 0x260 --palette block.bin@0x240 block.bin \
  stripes.png >/dev/null
dd if=block.bin of=sign-texels.bin bs=1 skip=64 count=512 2>/dev/null
dd if=block.bin of=stripes-texels.bin bs=1 skip=608 count=64 2>/dev/null
dd if=block.bin of=palette.bin bs=1 skip=576 count=32 2>/dev/null
say "The sign (made with: tex2png --format ia8 --width 32 --height 16 --offset 64 block.bin sign.png)"
run png2tex --format ia8 sign.png
same sign.bin sign-texels.bin
say "The stripes: without --palette the image's own palette comes back, in its order"
run png2tex --format ci4 --palette-out stripes.pal stripes.png
same stripes.bin stripes-texels.bin
same stripes.pal palette.bin
say "A colour the format cannot hold is rounded to the nearest one it holds, and counted"
run png2tex --format i4 stripes.png stripes-i4.bin
made stripes-i4.bin
say "The sign as CI4: its 9 colours become the palette, as the nearest RGBA16 entries"
run png2tex --format ci4 --palette-out sign.pal sign.png sign-ci4.bin
made sign-ci4.bin
