#!/usr/bin/env bash
# Writes two small made-up ROM images (not a game) for the bps demo:
#   demo.z64        native byte order: the native first word, a title, then a counting pattern
#   translated.z64  the same with a new title, some changed words and a 4 KiB block moved
#   demo.v64        demo.z64 16-bit byteswapped
set -euo pipefail

# image ORDER VERSION: the image's bytes; ORDER n (native) or v (16-bit byteswapped).
image() {
  LC_ALL=C awk -v order="$1" -v version="$2" 'BEGIN {
    for (c = 32; c < 127; c++) ascii = ascii sprintf("%c", c)
    word(128, 55, 18, 64)
    title = version == 1 ? "FAKE DEMO IMAGE " : "FAUX DEMO, TRAD."
    for (i = 0; i < 16; i += 4) word(code(title, i), code(title, i + 1), code(title, i + 2), code(title, i + 3))
    for (g = 5; g < 8192; g++) {
      # The translation moves groups 2048-3071 behind group 6143 and changes every 500th word.
      src = g
      if (version == 2 && g >= 2048 && g < 5120) src = g + 1024
      else if (version == 2 && g >= 5120 && g < 6144) src = g - 3072
      b3 = (version == 2 && g % 500 == 0) ? 255 : (src * 7) % 256
      word(int(src / 256) % 256, src % 256, 0, b3)
    }
  }
  function code(s, i) { return index(ascii, substr(s, i + 1, 1)) + 31 }
  function word(a, b, c, d) {
    if (order == "v") printf "%c%c%c%c", b, a, d, c
    else printf "%c%c%c%c", a, b, c, d
  }'
}

image n 1 >demo.z64
image n 2 >translated.z64
image v 1 >demo.v64
