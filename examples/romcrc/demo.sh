# Reports and fixes the boot check code of a made-up 2 MiB image in each byte order. Its boot area
# is no chip's boot code, so the chip is named with --cic (without it, nothing is computed).
# Sourced by examples/demo.sh (see lib.sh).
bash ./make_image.sh
say "The report of a native image, with the chip named: the stored check code (zero) is wrong"
run romcrc --cic 6102 demo.z64
say "The fix to a second name, in the file's own 16-bit byteswapped order (the report's end)"
run -t 1 romcrc --cic 6102 --fix demo.v64 fixed.v64
echo "  = $(cmp -l demo.v64 fixed.v64 | wc -l | tr -d ' ') bytes differ, all in 0x10..0x17:" \
  "$(cmp -l demo.v64 fixed.v64 | awk '{ printf "0x%X ", $1 - 1 }')"
say "A 32-bit byteswapped image fixed in place (/f), then checked again"
run -t 1 romcrc --cic 6102 /f demo.n64
run -t 1 romcrc --cic 6102 demo.n64
