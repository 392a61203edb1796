// The tag vocabulary: every tag name the message compilers know, with what it compiles to.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "msgcore/diagnostics.hpp"

namespace msg {

// How a tag is compiled, and so which arguments it reads.
// Every control sequence starts with this byte; the opcode follows it.
inline constexpr std::uint8_t kControlPrefix = 0x7F;
// The game's line break.
inline constexpr std::uint8_t kLineBreak = 0xCD;

enum class TagKind : std::uint8_t {
  character,     // one character code (`code`)
  control,       // 7F `code`, no arguments
  time,          // the fixed 21-byte date-and-time phrase
  pause,         // 7F 03 t
  jump,          // 7F 0E ID
  select,        // 7F op ID, op from the select number 1-6
  choice,        // 7F op ID ID [ID ...]: rand, menu, interject; `code` is the two-ID opcode
  range,         // 7F 63 ID ID
  string,        // 7F op, op from the string number 1-25
  small_number,  // 7F `code` n: size1, sound, size
  color,         // 7F 05 r g b, or 7F 50 r g b i
};

struct TagEntry {
  std::string_view name;
  TagKind kind;
  std::uint8_t code;  // character code or opcode
  Report status;      // the old report for a missing or bad argument
};

// The entry whose name equals `name` byte for byte, or nullptr.
const TagEntry* find_tag(std::string_view name);

// The whole vocabulary, in its order (the decompiler picks the first name that gives a sequence).
std::span<const TagEntry> vocabulary();

}  // namespace msg
