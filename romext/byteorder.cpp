// The console texts.
#include <cstdio>
#include <cstring>

#include "romext/romext.hpp"

namespace romext {
namespace {

std::string format_int_pair(const char* format, unsigned a, unsigned b) {
  char text[160];
  std::snprintf(text, sizeof text, format, a, b);
  return text;
}

}  // namespace

std::uint32_t megabits(std::uint32_t length) { return length >> 17; }

std::string order_question(ByteOrder order) {
  const char* bits = order == ByteOrder::swapped16   ? "16"
                     : order == ByteOrder::swapped32 ? "32"
                                                     : nullptr;
  if (bits == nullptr) return {};
  return std::string("\a\nThe bugger is ") + bits +
         "bit byteswapped.\nShould I straighten it out? (Y/N)\t";
}

std::string extension_question(std::uint32_t length) {
  const std::uint32_t size = megabits(length);
  // Both figures fit easily: a 32-bit length is at most 32767 megabits.
  if (size > 256) {
    return format_int_pair(
        "\a\n512Mb is the normal maximum rom size.\nDo you want to kick it up from %uMb to %uMb? "
        "(Y/N)\t",
        size, size * 2);
  }
  return format_int_pair("\a\nShould I extend the rom from %uMb to %uMb? (Y/N)\t", size, size * 2);
}

std::string done_message(const std::string& output_name) {
  return "\a\nAll done.  The extended rom is at:\n\t" + output_name + "\nPress -Enter- to quit.";
}

}  // namespace romext
