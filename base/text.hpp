// Small helpers for building the lines the programs print.
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace text {

// The pieces, one after the other.
inline std::string cat(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (const std::string_view piece : pieces) size += piece.size();
  std::string joined;
  joined.reserve(size);
  for (const std::string_view piece : pieces) joined += piece;
  return joined;
}

}  // namespace text
