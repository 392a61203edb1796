// msg2txt: a message archive back into a text dump that txt2msg compiles to the same bytes.
#pragma once

#include "common/shell.hpp"

namespace msg2txt {

// The whole program; returns the exit status.
int run(const shell::Args& args);

extern const shell::Program kProgram;

}  // namespace msg2txt
