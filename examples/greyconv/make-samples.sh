#!/usr/bin/env bash
# Writes the sample images of the demo (run in this folder).
#   leaf.tga   8x2 greyscale with alpha (16 bits per pixel), top-left origin, TGA 2.0 footer
#   ramp.tga   8x4 8-bit greyscale ramp, no footer (as ImageMagick writes it)
set -euo pipefail
header() {  # type, bits per pixel, descriptor, width, height
  printf "\x00\x00\x$1\x00\x00\x00\x00\x00\x00\x00\x00\x00\x$4\x00\x$5\x00\x$2\x$3"
}
footer() { printf '\0\0\0\0\0\0\0\0TRUEVISION-XFILE.\0'; }
{
  header 03 10 28 08 02
  # intensity, alpha: a bright opaque leaf fading out towards the edges
  printf '\x20\x00\x60\x30\x90\x70\xC0\xB0\xF0\xFF\xC8\xB0\x80\x50\x40\x08'
  printf '\x10\x00\x50\x20\xA0\x90\xE0\xFF\xFF\xFF\xD0\xC0\x70\x40\x30\x00'
  footer
} > leaf.tga
{
  header 03 08 00 08 04
  for v in 00 08 10 18 20 29 31 39 41 4a 52 5a 62 6a 73 7b 83 8b 94 9c a4 ac b4 bd c5 cd d5 de e6 ee f6 ff; do
    printf "\x$v"
  done
} > ramp.tga
