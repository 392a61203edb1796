# Straightens and doubles a made-up 2 MiB image in two byte orders, with piped answers. Sourced
# by examples/demo.sh (see lib.sh).
bash ./make_image.sh
say "A 16-bit byteswapped image: straighten (y), extend (y), Enter"
made fake.v64
run -i $'y\ny\n\n' romext fake.v64
made fake-ext.n64
cmp -s fake-ext.n64 <(cat fake.n64; head -c 2097152 /dev/zero) &&
  echo "  = the native image followed by 2097152 zero bytes"
say "A 32-bit byteswapped image: straighten (y), do not extend (n)"
made fake.z64
run -i $'y\nn\n\n' romext fake.z64
same fake-ext.n64 fake.n64
