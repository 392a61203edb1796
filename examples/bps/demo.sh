# Makes a patch between two made-up images, shows what it holds and applies it, also to a
# byteswapped copy of the original (bps --ips makes IPS patches the same way). Sourced by examples/demo.sh (see lib.sh).
bash ./make_images.sh
say "Two made-up 32 KiB images: the original and its translation"
made demo.z64 translated.z64
say "Make a BPS patch from the original to the translation"
run bps demo.z64 translated.z64 translation.bps
say "What the patch holds"
run bps --info translation.bps
say "Apply it to the original: the output is the patch's name with the original's extension"
run bps demo.z64 translation.bps
same translation.z64 translated.z64
say "The same patch on a 16-bit byteswapped copy of the original: its native-order copy is patched"
run bps demo.v64 translation.bps from-v64.z64
same from-v64.z64 translated.z64
