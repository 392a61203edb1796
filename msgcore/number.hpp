// Numbers in message sources (tag arguments, SYLK item numbers), read as C's strtol reads them.
#pragma once

#include <cstdint>
#include <string_view>

namespace msg {

// The number at the start of `word` in `base` (10 or 16): leading white space, an optional sign,
// for base 16 an optional 0x/0X, then digits up to the first other byte; no digits give 0. The
// value is clamped to the signed 32-bit range on every platform.
std::int32_t parse_number(std::string_view word, int base);

// The same, and whether the whole word is that number: nothing but an optional sign (and 0x), at
// least one digit and nothing after the digits.
struct Number {
  std::int32_t value = 0;
  bool whole = false;
};
Number read_number(std::string_view word, int base);

}  // namespace msg
