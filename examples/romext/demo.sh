#!/usr/bin/env bash
# Straightens and doubles a made-up 4 KiB image in each byte order, with piped answers.
set -euo pipefail
bash ./make_image.sh

show() {  # show <file>
  echo "  $1: $(wc -c < "$1") bytes, starts $(od -An -tx1 -N 16 "$1" | tr -s ' \n' ' ')"
}

echo "--- 16-bit byteswapped image: straighten (y), extend (y), Enter"
show fake.v64
printf 'y\ny\n\n' | "$BIN/romext" fake.v64 | tr '\a' ' '
echo
show fake-ext.n64
cmp -s fake-ext.n64 <(cat fake.n64; head -c 4096 /dev/zero) && echo "  = the native image followed by 4096 zero bytes"

echo
echo "--- 32-bit byteswapped image: straighten (y), do not extend (n)"
show fake.z64
printf 'y\nn\n\n' | "$BIN/romext" fake.z64 | tr '\a' ' '
echo
show fake-ext.n64
cmp -s fake-ext.n64 fake.n64 && echo "  = the native image"

echo
echo "--- native image: no byte-order question; end of input answers no"
"$BIN/romext" fake.n64 < /dev/null | tr '\a' ' '
echo
