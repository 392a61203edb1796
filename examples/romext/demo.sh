# Straightens and doubles a made-up 4 KiB image in each byte order, with piped answers. Sourced
# by examples/demo.sh (see lib.sh).
bash ./make_image.sh
say "A 16-bit byteswapped image: straighten (y), extend (y), Enter"
made fake.v64
run -i $'y\ny\n\n' romext fake.v64
made fake-ext.n64
cmp -s fake-ext.n64 <(cat fake.n64; head -c 4096 /dev/zero) &&
  echo "  = the native image followed by 4096 zero bytes"
say "A 32-bit byteswapped image: straighten (y), do not extend (n)"
made fake.z64
run -i $'y\nn\n\n' romext fake.z64
same fake-ext.n64 fake.n64
say "A native image: no byte-order question; the end of input answers no"
run romext fake.n64
