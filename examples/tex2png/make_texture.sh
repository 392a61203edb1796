#!/usr/bin/env bash
# Makes block.bin: a made-up 64-byte header, then a 32 x 16 IA8 texture of a sign (a frame and
# the letters "HI", opaque; a soft grey field), then 16 rgba16 palette entries and a 16 x 8 ci4
# texture of stripes. Usage: make_texture.sh [folder]
set -euo pipefail
cd "${1:-.}"
LC_ALL=C awk 'BEGIN {
  for (i = 0; i < 64; i++) printf "%c", i < 8 ? 84 : 0
  split("1000100111|1000100010|1111100010|1000100010|1000100111", rows, "|")
  for (y = 0; y < 16; y++) for (x = 0; x < 32; x++) {
    frame = (x == 0 || x == 31 || y == 0 || y == 15)
    letter = (y >= 5 && y < 10 && x >= 11 && x < 21 && substr(rows[y - 4], x - 10, 1) == "1")
    if (frame || letter) v = 255; else v = (int(x / 4) + 4) * 16 + 8
    printf "%c", v
  }
  for (k = 0; k < 16; k++) { v = k * 2048 + (15 - k) * 2 + 1; printf "%c%c", int(v / 256), v % 256 }
  for (y = 0; y < 8; y++) for (x = 0; x < 8; x++) printf "%c", ((x + y) % 16) * 17
}' >block.bin
