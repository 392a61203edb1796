// Questions that several programs ask in the same way: a yes/no answer, and where an output goes
// when the name it would have is taken.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>

namespace dialog {

// Prints `question` on `out` and reads one answer line. True when the answer starts with 'Y' or
// 'y'; any other answer, and the end of input, is no.
bool ask_yes_no(std::FILE* out, const std::string& question);

struct OutputDialog {
  std::FILE* out;      // where the questions go
  const char* prompt;  // asked for another name, e.g. "\nOutput file name? "
  const char* what;    // "name for the output file", for the line printed at the end of input
};

// Chooses the name of an output file, starting from `name`:
// - a name that denotes one of `inputs` is never used: another name is asked for;
// - a name that cannot be created (a missing folder, say) gets one line on stderr and another
//   name is asked for;
// - an existing file is replaced only when the user says so to "\"NAME\" exists; replace it?
//   (Y/N) "; no (or the end of input) asks for another name.
// Every name given goes through the same checks. nullopt when input ended at the name prompt (a
// line on stderr has said so).
std::optional<std::string> choose_output(std::string name, std::span<const std::string> inputs,
                                         const OutputDialog& dialog);

}  // namespace dialog
