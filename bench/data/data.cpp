#include "data.hpp"

#include <random>
#include <stdexcept>

namespace benchdata {
namespace {

const char* const kWords[] = {
    "int",     "unsigned", "return", "if",    "else",   "for",    "while",   "static",  "const",
    "void",    "struct",   "sizeof", "break", "case",   "switch", "default", "actor",   "pos",
    "vel",     "frame",    "timer",  "state", "flags",  "count",  "index",   "buffer",  "size",
    "offset",  "next",     "prev",   "node",  "list",   "camera", "player",  "matrix",  "vertex",
    "color",   "alpha",    "scale",  "angle", "update", "draw",   "init",    "destroy", "spawn",
    "collide", "sound",    "play",   "=",     "==",     "!=",     "+=",      "->",      "&&",
    "||",      "<<",       "(",      ")",     "{",      "}",      ";",       ",",       "[",
    "]",       "0",        "1",      "NULL",  "0xFF",   "f32",    "s16",     "u8",      "s32",
};

// Repeats a recent stretch of the output, as real files repeat lines and idioms.
bool repeat_recent(Bytes& out, std::mt19937& rng, std::size_t len, std::size_t align) {
  if (out.size() < 4096) return false;
  const std::size_t from = out.size() - (len + rng() % (4000 - len)) / align * align;
  for (std::size_t i = 0; i < len; ++i) out.push_back(out[from + i]);
  return true;
}

void append_text(Bytes& out, std::mt19937& rng, std::size_t bytes) {
  const std::size_t end = out.size() + bytes;
  int depth = 0;
  while (out.size() < end) {
    if (rng() % 8 < 2 && repeat_recent(out, rng, 20 + rng() % 60, 1)) continue;
    for (int i = 0; i < depth * 4; ++i) out.push_back(' ');
    const int words = 2 + static_cast<int>(rng() % 9);
    for (int w = 0; w < words; ++w) {
      std::string word = kWords[rng() % std::size(kWords)];
      if (rng() % 16 == 0) word += std::to_string(rng() % 100);
      out.insert(out.end(), word.begin(), word.end());
      out.push_back(' ');
    }
    out.back() = rng() % 3 ? ';' : '{';
    if (out.back() == '{' && depth < 5) ++depth;
    if (rng() % 4 == 0 && depth > 0) --depth;
    out.push_back('\n');
  }
  out.resize(end);
}

void append_code(Bytes& out, std::mt19937& rng, std::size_t bytes) {
  // 32-bit big-endian instruction words: a few opcodes, favourite registers, small offsets.
  static const std::uint32_t kOps[] = {0x8C000000, 0xAC000000, 0x24000000, 0x3C000000,
                                       0x0C000000, 0x10000000, 0x14000000, 0x00000021,
                                       0x00000000, 0xC4000000, 0xE4000000, 0x27BD0000};
  const std::size_t end = out.size() + bytes;
  while (out.size() < end) {
    if (rng() % 16 < 3 && repeat_recent(out, rng, 4 * (2 + rng() % 12), 4)) continue;
    std::uint32_t w = kOps[rng() % std::size(kOps)];
    if (w != 0) {
      w |= (rng() % 4 + 2) << 21;
      w |= (rng() % 4 + 2) << 16;
      w |= rng() % 16 ? (rng() % 16) * 4 : rng() & 0xFFFF;
    }
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<std::uint8_t>(w >> s));
  }
  out.resize(end);
}

}  // namespace

Bytes make_data(const std::string& kind, std::size_t size) {
  Bytes out;
  out.reserve(size);
  std::mt19937 rng(2024);
  if (kind == "zeros") {
    out.assign(size, 0);
  } else if (kind == "random") {
    while (out.size() < size) out.push_back(static_cast<std::uint8_t>(rng() >> 7));
  } else if (kind == "mixed") {
    while (out.size() < size) {
      const std::size_t part = std::min<std::size_t>(size - out.size(), 4096 + rng() % 60000);
      if (rng() % 2) {
        append_text(out, rng, part);
      } else {
        append_code(out, rng, part);
      }
    }
  } else {
    throw std::invalid_argument("unknown data kind: " + kind);
  }
  return out;
}

}  // namespace benchdata
