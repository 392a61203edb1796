// slk2msg: compiles the messages of a SYLK spreadsheet table into a message archive.
#pragma once

#include "common/shell.hpp"

namespace slk2msg {

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace slk2msg
