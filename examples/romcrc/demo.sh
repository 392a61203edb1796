# Reports and fixes the boot check code of a made-up 2 MiB image in each byte order. Its boot area
# is no chip's boot code, so the chip is named with --cic. Sourced by examples/demo.sh (see
# lib.sh).
bash ./make_image.sh
say "The report of a native image: an unknown boot code, so nothing is computed (status 1)"
run romcrc demo.z64
say "The chip named: the stored check code (zero) is wrong (status 1)"
run romcrc --cic 6102 demo.z64
say "The fix to a second name, in the file's own 16-bit byteswapped order"
run romcrc --cic 6102 --fix demo.v64 fixed.v64
made fixed.v64
echo "  = $(cmp -l demo.v64 fixed.v64 | wc -l | tr -d ' ') bytes differ, all in 0x10..0x17:" \
  "$(cmp -l demo.v64 fixed.v64 | awk '{ printf "0x%X ", $1 - 1 }')"
say "A 32-bit byteswapped image fixed in place (/f), then checked again"
run romcrc --cic 6102 /f demo.n64
run romcrc --cic 6102 demo.n64
