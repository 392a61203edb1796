// A generated SYLK table for the benchmarks: line numbers in column 1, messages in column 2, with
// the records a spreadsheet program writes around them.
#pragma once

#include <random>
#include <string>

inline std::string generate_table(unsigned rows, unsigned seed = 1) {
  static const char* const kPieces[] = {
      "Hello there, traveller! ",
      "The harvest festival starts tomorrow. ",
      "Did you hear? ",
      "$h",
      "$n",
      "\\n",
      "$q",
      "$d",
      "{quoted}",
      "~",
      "#7F 1A#",
      "[player]",
      "[jump 1A2B]",
      "[color 255 128 0]",
      "[pause 30]",
      "[menu 10 11 12]",
      "[string 12]",
      "[CAPS]",
      " and ",
  };
  constexpr unsigned kCount = sizeof kPieces / sizeof kPieces[0];
  std::mt19937 rng(seed);
  std::string out = "ID;PBENCH;N;E\r\nP;PGeneral\r\nF;P0;DG0G8;M255\r\nB;Y" + std::to_string(rows) +
                    ";X2;D0 0 " + std::to_string(rows - 1) + " 1\r\n";
  for (unsigned row = 1; row <= rows; ++row) {
    out += "C;Y" + std::to_string(row) + ";X1;K" + std::to_string(row) + "\r\nC;X2;K\"";
    const unsigned pieces = 3 + rng() % 12;
    for (unsigned i = 0; i < pieces; ++i) out += kPieces[rng() % kCount];
    out += "\"\r\n";
  }
  out += "E\r\n";
  return out;
}
