// romput: puts a file into an N64 ROM image, at an offset or into the free area at its end, in
// the form of the block that stands there (compressed, or as it is when it already is such a
// block), and puts back every changed file of a list that romscan --extract wrote; then the boot
// check code is computed afresh. The image keeps its byte order; no pointer of the game's own file
// table is changed.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "common/shell.hpp"
#include "scancore/put.hpp"

namespace romput {

struct Options {
  scancore::PutOptions put;
  bool fix_crc = true;  // --no-fix-crc: false
  bool relocate = false;
  std::optional<std::string> list;      // --list LIST
  std::optional<std::uint64_t> offset;  // nullopt: "end"
  std::string image;
  std::string file;                   // not in list mode
  std::optional<std::string> output;  // where the image goes instead of replacing ROM
  std::string problem;                // a line for the user when the arguments cannot be used
};

// ROM OFFSET FILE [OUTPUT], or ROM [OUTPUT] with --list LIST; the switches anywhere.
Options parse_arguments(const std::vector<std::string>& args);

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace romput
