// The questions the programs ask in the same way: a yes/no answer, the name of an input file
// until one opens, and the name of an output file until one can be used.
#pragma once

#include <cstdio>
#include <optional>
#include <span>
#include <string>

#include "common/files.hpp"

namespace dialog {

// Prints `question` on `out` and reads one answer line. True when the answer starts with 'Y' or
// 'y'; any other answer, and the end of input, is no.
bool ask_yes_no(std::FILE* out, const std::string& question);

struct InputDialog {
  std::FILE* out;          // where the prompt goes
  const char* prompt;      // e.g. "\nconvert what file? "
  const char* what;        // "file name", for the line printed at the end of input
  int refused_status = 1;  // the exit status after an input that opens but cannot be used
};

// Opens `name` into `in`, asking for another name (on `dialog.out`) while it does not open; with
// `ask_first`, asks before the first try. An input that opens but cannot be used (a device, more
// than can be read) is not asked for again: one line on stderr names it and the problem. Returns
// nullopt once the input is open (it is then the subject of the shell's out-of-memory line), else
// the exit status: exit_status::kEndOfInput when standard input ended at the prompt, or
// `dialog.refused_status`.
std::optional<int> open_input(files::InputFile& in, std::string& name, const InputDialog& dialog,
                              bool ask_first = false);

// The output-name dialogue. Whatever the program, a name that denotes one of the inputs is never
// used, and a name typed at the prompt is used exactly as typed; the programs differ in what they
// say and ask on the way, as the options tell.
struct OutputDialog {
  std::FILE* out;      // where the questions go
  const char* prompt;  // asked for another name, e.g. "\noutput file? "
  const char* what;    // "name for the output file", for the line printed at the end of input
  // The line on stderr when the name is one of the inputs; then another name is asked for. (A
  // name that cannot be written gets a line with the system's reason.)
  const char* names_an_input = "that is an input file; give another name for the output";
  // An existing file is replaced only when the user says so to "\"NAME\" exists; replace it?
  // (Y/N) "; no (or the end of input) asks for another name.
  bool ask_replace = true;
  // The rest of the input line that a key was read from is dropped before the first prompt.
  bool drop_pending_line = false;

  // The dialogue of the programs that replace an existing file without a question.
  static OutputDialog replacing(std::FILE* out, const char* prompt, const char* what) {
    OutputDialog d{out, prompt, what};
    d.ask_replace = false;
    return d;
  }
};

// Chooses the name of an output file, starting from `name`; every name given goes through the same
// checks. With `file`, a name is taken only once `file` has been opened on it (the output file is
// started); else a name is taken when it can be created. nullopt when input ended at the name
// prompt (a line on stderr has said so).
std::optional<std::string> choose_output(std::string name, std::span<const std::string> inputs,
                                         const OutputDialog& dialog,
                                         files::AtomicFile* file = nullptr);

}  // namespace dialog
