// txt2msg: compiles a text dump into a message archive.
#pragma once

#include "common/shell.hpp"

namespace txt2msg {

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace txt2msg
