// The yaz program: compresses one file into Yaz0, Yay0 or MIO0.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "common/shell.hpp"
#include "yazcore/encode.hpp"

namespace yaz {

struct Options {
  yazcore::Format format = yazcore::Format::yaz0;  // /y: Yay0, /m: MIO0
  yazcore::Mode mode = yazcore::Mode::best;        // /c: classic
  bool help = false;                               // /H, /h, -H
  std::optional<std::string> input;
  std::optional<std::string> output;
  std::string problem;  // a line for the user when the arguments cannot be used
};

// Switches are '/' or '-' and one letter, in either case, anywhere among the names (an argument
// that starts with '/' and holds another '/' is an absolute path, not a switch). The first name
// is the input, the second the output.
Options parse_arguments(const std::vector<std::string>& args);

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace yaz
