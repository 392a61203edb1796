// The tag encoder: compiles one bracketed tag ("[jump 1A2B]", "[h-ka]", ...) of a message.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "msgcore/diagnostics.hpp"

namespace msg {

// Bytes of tag text that are looked at; the rest is ignored.
inline constexpr std::size_t kTagTextLimit = 50;

// Compiles one tag. `text` is everything between the '[' and the ']' that closes it, uncut (the
// encoder itself keeps the first 50 bytes, up to the first NUL). Appends the bytes the tag writes
// to `out` and returns the count by which the message grows. An unknown tag writes nothing and
// counts 2; the caller leaves those two bytes as a zero-filled gap. Argument problems are reported
// through `diag` (severity 0) and the tag is written with its default values.
std::uint32_t encode_tag(std::span<const std::uint8_t> text, std::vector<std::uint8_t>& out,
                         Diagnostics& diag);

}  // namespace msg
