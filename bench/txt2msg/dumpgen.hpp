// A generated text dump for the benchmarks: line numbers, ASCII prose, kana, shorthands, escape
// pairs, hex runs and tags of every family.
#pragma once

#include <cstdint>
#include <random>
#include <string>

inline std::string generate_dump(std::size_t target_bytes, unsigned seed = 1) {
  static const char* const kPieces[] = {
      "Hello there, traveller! ",
      "The harvest festival starts tomorrow. ",
      "Did you hear? ",
      "\xE3\x81\x93\xE3\x82\x93\xE3\x81\xAB\xE3\x81\xA1\xE3\x81\xAF",  // kana
      "\xE3\x82\xAB\xE3\x82\xBF\xE3\x82\xAB\xE3\x83\x8A\xE3\x80\x82",
      "$h",
      "$n",
      "\\n",
      "{quoted}",
      "~",
      "*",
      "#7F 1A#",
      "[player]",
      "[h-ka][k-n]",
      "[jump 1A2B]",
      "[color 255 128 0]",
      "[color #2 255 0 0]",
      "[pause 30]",
      "[menu 10 11 12 13 14]",
      "[select 3 2F0A]",
      "[string 12]",
      "[TIME]",
      "[CAPS]",
      "[sound 12]",
      "[heart]",
      "[newline]",
      "[rand 100 101 102]",
      "[`range 100 1FF]",
      " and ",
      "... ",
  };
  constexpr std::size_t kCount = sizeof kPieces / sizeof kPieces[0];
  std::mt19937 rng(seed);
  std::string out = "\xEF\xBB\xBF";
  out.reserve(target_bytes + 256);
  unsigned line = 1;
  while (out.size() < target_bytes) {
    out += std::to_string(line++);
    out += '\t';
    const unsigned pieces = 3 + rng() % 12;
    for (unsigned i = 0; i < pieces; ++i) out += kPieces[rng() % kCount];
    out += "\r\n";
  }
  return out;
}
