#!/usr/bin/env bash
# Writes a small made-up ROM image (not a game) in the three byte orders:
#   fake.n64 native, fake.v64 16-bit byteswapped, fake.z64 32-bit byteswapped.
# The image is 2 MiB: the native first word, a title text and a counting pattern in its first
# 4 KiB, which the rest repeats.
set -euo pipefail

# One 4-byte group as printf escapes, in the order given by $order (n, v or z).
group() {
  local a=$1 b=$2 c=$3 d=$4
  case $order in
    n) printf "\\x$a\\x$b\\x$c\\x$d" ;;
    v) printf "\\x$b\\x$a\\x$d\\x$c" ;;
    z) printf "\\x$d\\x$c\\x$b\\x$a" ;;
  esac
}

write_image() {
  group 80 37 12 40
  local title="FAKE DEMO IMAGE " i bytes=()
  for ((i = 0; i < ${#title}; i++)); do bytes+=("$(printf '%02x' "'${title:i:1}")"); done
  for ((i = 0; i < ${#bytes[@]}; i += 4)); do
    group "${bytes[i]}" "${bytes[i + 1]}" "${bytes[i + 2]}" "${bytes[i + 3]}"
  done
  for ((i = 5; i < 1024; i++)); do
    group "$(printf '%02x' $((i >> 8)))" "$(printf '%02x' $((i & 255)))" 00 "$(printf '%02x' $((i * 7 & 255)))"
  done
}

for order in n v z; do
  write_image > "fake.${order}64"
  for _ in 1 2 3 4 5 6 7 8 9; do  # 4 KiB doubled nine times
    cat "fake.${order}64" "fake.${order}64" > doubled && mv doubled "fake.${order}64"
  done
done
