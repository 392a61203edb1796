#include "msgcore/number.hpp"

namespace msg {
namespace {

bool is_c_space(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

int digit_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'z') return c - 'a' + 10;
  if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
  return 99;
}

}  // namespace

std::int32_t parse_number(std::string_view word, int base) {
  std::size_t i = 0;
  while (i < word.size() && is_c_space(word[i])) ++i;
  bool negative = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
  if (base == 16 && i + 1 < word.size() && word[i] == '0' && (word[i + 1] | 0x20) == 'x') {
    i += 2;  // "0x" with no hex digit after it reads as 0 either way
  }
  constexpr std::uint64_t kCap = 0x80000001u;  // beyond every representable magnitude
  std::uint64_t magnitude = 0;
  for (; i < word.size(); ++i) {
    const int d = digit_value(word[i]);
    if (d >= base) break;
    magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(d);
    if (magnitude > kCap) magnitude = kCap;
  }
  if (negative) {
    return magnitude >= 0x80000000u ? INT32_MIN : -static_cast<std::int32_t>(magnitude);
  }
  return magnitude > 0x7FFFFFFFu ? INT32_MAX : static_cast<std::int32_t>(magnitude);
}

}  // namespace msg
