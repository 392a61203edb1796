// Asking for an input file until one opens: the same in every program.
#pragma once

#include <cstdio>
#include <optional>
#include <string>

#include "common/files.hpp"

namespace dialog {

struct InputDialog {
  std::FILE* out;          // where the prompt goes
  const char* prompt;      // e.g. "\nconvert what file? "
  const char* what;        // "file name", for the line printed at the end of input
  int refused_status = 1;  // the exit status after an input that opens but cannot be used
};

// Opens `name` into `in`, asking for another name (on `dialog.out`) while it does not open; with
// `ask_first`, asks before the first try. An input that opens but cannot be used (a device, more
// than can be read) is not asked for again: one line on stderr names it and the problem. Returns
// nullopt once the input is open, else the exit status: con::kExitEndOfInput when standard input
// ended at the prompt, or `dialog.refused_status`.
std::optional<int> open_input(files::InputFile& in, std::string& name, const InputDialog& dialog,
                              bool ask_first = false);

}  // namespace dialog
