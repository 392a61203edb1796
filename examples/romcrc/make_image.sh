#!/usr/bin/env bash
# Writes a made-up 2 MiB ROM image (not a game, and no boot code of any: its boot area is a
# counting pattern) in the three byte orders: demo.z64 native, demo.v64 16-bit byteswapped,
# demo.n64 32-bit byteswapped. Its stored check code is zero.
set -euo pipefail

# Appends one 4-byte group (four numbers) to $out as printf escapes, in the order $order says
# (z, v or n).
put() {
  local a b c d
  printf -v a '\\x%02x' $(($1 & 255))
  printf -v b '\\x%02x' $(($2 & 255))
  printf -v c '\\x%02x' $(($3 & 255))
  printf -v d '\\x%02x' $(($4 & 255))
  case $order in
    z) out+="$a$b$c$d" ;;
    v) out+="$b$a$d$c" ;;
    n) out+="$d$c$b$a" ;;
  esac
}

# Text as groups of four characters (its length a multiple of 4).
put_text() {
  local text=$1 i b=()
  for ((i = 0; i < ${#text}; i++)); do printf -v 'b[i]' '%d' "'${text:i:1}"; done
  for ((i = 0; i < ${#text}; i += 4)); do put "${b[i]}" "${b[i + 1]}" "${b[i + 2]}" "${b[i + 3]}"; done
}

# The first 4 KiB: the header, then the boot area.
header() {
  put 0x80 0x37 0x12 0x40
  put 0 0 0 0x0f
  put 0x80 0 0x04 0  # entry point
  put 0 0 0x14 0x4b
  put 0 0 0 0  # the check code, not yet right
  put 0 0 0 0
  put 0 0 0 0
  put 0 0 0 0
  put_text "ROMCRC DEMO IMAGE   "  # the title, 20 bytes
  put 0 0 0 0
  put 0 0 0 0x4e  # then the game code NRDE and version 0
  put 0x52 0x44 0x45 0
  local i
  for ((i = 16; i < 1024; i++)); do put $((i >> 4)) $i 0xa5 $((i * 3)); done
}

# 4 KiB of made-up game data, repeated to fill the rest.
block() {
  local i
  for ((i = 0; i < 1024; i++)); do put $i $((i * 5)) $((i >> 2)) 0x3c; done
}

for order in z v n; do
  out=""
  header
  printf "$out" > "demo.${order}64"
  out=""
  block
  printf "$out" > data.bin
  for ((k = 0; k < 9; k++)); do cat data.bin data.bin > twice.bin && mv twice.bin data.bin; done
  head -c $(((2 << 20) - 4096)) data.bin >> "demo.${order}64"
  rm -f data.bin
done
