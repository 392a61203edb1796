// The program side of the two decompilers: reading the archive's two files, the names, the output
// dialogue and writing the source.
#pragma once

#include "common/shell.hpp"
#include "msgcore/decompile.hpp"

namespace msgapp {

// What a decompiling program is.
struct Decompiler {
  const char* usage;          // the help text, which /H prints
  const char* ending;         // ".txt"
  const char* output_prompt;  // asked for another output name
  const char* output_what;    // "name for the text file", for the end-of-input line
  msg::SourceForm form;
  msg::MessageCheck check;
  // The compiler's rule when the archive holds no messages: its empty source gives one empty
  // message, said on stderr.
  bool empty_source_gives_a_message;
};

// The whole program over its arguments; returns the exit status.
int run_decompiler(const Decompiler& program, const shell::Args& args);

}  // namespace msgapp
