# Converts the sample images, with the menu keys piped in. Sourced by examples/demo.sh (see
# lib.sh).
say "leaf.tga (16-bit grey with alpha), key 1: IA 8-bit"
run -i 1 greyconv leaf.tga
made leaf.bin
say "ramp.tga (8-bit grey, no footer), key 5: I 4-bit ('x' only shows the menu again)"
run -q -i x5 greyconv ramp.tga
made ramp.bin
say "A run-length encoded image is refused"
printf '\0\0\x0b\0\0\0\0\0\0\0\0\0\x08\0\x04\0\x08\0\x9f\x80' >packed.tga
run greyconv packed.tga
