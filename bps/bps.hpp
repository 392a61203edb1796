// The bps program: makes BPS (or IPS) patches, applies them, and tells what a patch holds. It
// knows the byte orders of N64 ROM images: a patch made for the native image applies to a
// byteswapped copy, and a byteswapped pair is straightened before a patch is made of it.
#pragma once

#include <string>
#include <vector>

#include "common/shell.hpp"

namespace bps {

struct Options {
  bool info = false;     // --info PATCH
  bool ips = false;      // --ips: make an IPS patch
  bool fix_crc = false;  // --fix-crc: repair the boot check code after applying
  bool make = false;     // --make: make a patch, also when MODIFIED looks like one
  bool native = false;   // --native: an IPS patch goes to a byteswapped original's native copy
  bool as_is = false;    // --as-is: ... or to the file as it is
  std::vector<std::string> names;
  std::string problem;  // a line for the user when the arguments cannot be used
};

// The switches anywhere among the names; every other argument is a name, but one that starts
// with '-' or '/' (and holds no second '/'), which is refused. Other "--" options are refused by
// the shell before the program runs.
Options parse_arguments(const std::vector<std::string>& args);

// The name an applied patch's output gets: the patch's name cut at its first dot, with the
// original's last extension ("fix.bps" and "game.rom.z64" give "fix.z64").
std::string default_output(const std::string& patch, const std::string& original);

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace bps
